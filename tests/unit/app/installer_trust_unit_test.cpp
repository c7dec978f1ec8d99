#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/headless/headless_window.h"
#include "app/installer_trust.h"

namespace tavrel::app {
namespace {

namespace fs = std::filesystem;

class InstallerRefusal : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.Install();
    dir_ = fs::temp_directory_path() /
           ("tavrel-trust-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  Text Make(const std::string& name, const std::string& bytes) {
    fs::path file = dir_ / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
  }

  headless::HeadlessWindow window_;
  fs::path dir_;
};

// Whatever the platform can or cannot check, a file that does not prove its
// signer is never started: it is removed and the user is told once.
TEST_F(InstallerRefusal, AFileWithoutAProvenSignerIsRemovedAndReported) {
  struct Row {
    const char* name;
    std::string bytes;
  };
  const Row rows[] = {
      {"jdk-8u271-windows-x64.exe", std::string("MZ") + std::string(4096, '\x90')},
      {"empty.exe", ""},
      {"text.exe", "echo not a program"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    window_.ClearMessageBoxes();
    Text path = Make(row.name, row.bytes);
    EXPECT_EQ(StartVerifiedInstaller(path), InstallerCheck::Refused);
    EXPECT_FALSE(fs::exists(path));
    auto boxes = window_.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].message, "安装程序签名校验失败，未启动");
    EXPECT_EQ(boxes[0].flags, 16u | 0x2000u);  // task-modal added
    EXPECT_EQ(boxes[0].title, "信息：");
    EXPECT_EQ(boxes[0].owner, 0u);
  }
}

// A file that is not there was never reported before the check existed (a
// failing start is silent), and nothing is removed.
TEST_F(InstallerRefusal, AMissingFileIsNeitherStartedNorReported) {
  for (Text path : {(dir_ / "absent.exe").string(), (dir_ / "no folder" / "absent.exe").string(), Text()}) {
    EXPECT_EQ(StartVerifiedInstaller(path), InstallerCheck::Missing) << path;
  }
  EXPECT_TRUE(window_.MessageBoxes().empty());
}

}  // namespace
}  // namespace tavrel::app

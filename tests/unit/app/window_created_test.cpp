#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "app/handlers.h"
#include "app/headless/headless_window.h"
#include "app/main_window_ids.h"
#include "runtime/program_end.h"
#include "runtime/system.h"
#include "sysinfo/os_name.h"
#include "tests/support/fake_version_resources.h"
#include "tests/support/fake_wininet.h"
#include "tests/support/scoped_windows.h"

namespace tavrel::app {
namespace {

using tavrel::testing::FakeVersionResources;
using tavrel::testing::FakeWinInet;
using tavrel::testing::ScopedVersionResources;
using tavrel::testing::ScopedWindows;
using tavrel::testing::ScopedWinInet;

class FixedFolderShell final : public ShellHost {
 public:
  std::vector<Text> opened;
  Text ExecutableDirectory() override { return "C:\\Tavrel"; }
  bool StartProcess(const Text&, std::int32_t, bool) override { return false; }
  void OpenWithShell(const Text& address) override { opened.push_back(address); }
};

// A started program on a machine of the given kind whose update service
// answers "answer".
struct StartedProgram {
  explicit StartedProgram(ScopedWindows::Kind kind, const std::string& answer = "0") : windows(kind) {
    web.body = answer;
    window.Install();
  }
  ScopedWindows windows;
  FakeVersionResources versions;
  FakeWinInet web;
  FixedFolderShell shell;
  ScopedSeam<g_shellHostSeam> installedShell{shell};
  ScopedSeam<g_versionResourceSeam> installedVersions{versions};
  ScopedSeam<g_winInetSeam> installedWeb{web};
  headless::HeadlessWindow window;
};

Text ExpectedOsText() {
  std::int32_t major = 0, minor = 0;
  return sysinfo::GetOsDisplayName(major, minor, 1, std::nullopt, std::nullopt, 1);
}

TEST(WindowCreated, FillsTheWindowForTheMachine) {
  struct Row {
    ScopedWindows::Kind kind;
    Text systemType;
    std::vector<Text> releases;
  };
  const Row rows[] = {
      {ScopedWindows::Kind::k64, "64位", {"Java 8u271", "Java 11.0.9"}},
      {ScopedWindows::Kind::k32, "32位", {"Java 8u271"}},
  };
  for (const auto& row : rows) {
    StartedProgram program(row.kind);
    program.windows.ImportJdk8();
    program.window.Create();  // fires the created event

    const Text os = program.window.Caption(ctl::kOsText);
    EXPECT_EQ(os, ExpectedOsText());
    EXPECT_THAT(os, ::testing::EndsWith(" (Build:7601)"));
    EXPECT_THAT(os, ::testing::Not(::testing::HasSubstr(" x64")));
    EXPECT_EQ(program.window.Caption(ctl::kSystemType), row.systemType);
    EXPECT_EQ(program.window.ComboItems(ctl::kReleaseBox), row.releases);
    EXPECT_EQ(program.window.Int(ctl::kReleaseBox, prop::kComboSelection), -1);
    EXPECT_EQ(program.window.Caption(ctl::kJavaVersion), "1.8");
    EXPECT_EQ(program.window.Caption(ctl::kSuperButton), "一键配置");
    EXPECT_TRUE(program.window.MessageBoxes().empty());
    EXPECT_TRUE(program.shell.opened.empty());
    ASSERT_TRUE(program.web.WaitForExchangeEnd());
    EXPECT_EQ(program.web.openRequests.size(), 1u);  // the update check ran
  }
}

TEST(WindowCreated, UpdateServiceUnreachableStillFillsTheWindow) {
  StartedProgram program(ScopedWindows::Kind::k64, "1");
  program.web.failSend = true;
  program.window.Create();
  EXPECT_EQ(program.window.Caption(ctl::kSystemType), "64位");
  EXPECT_EQ(program.window.Caption(ctl::kJavaVersion), "Java未安装");
  EXPECT_EQ(program.window.Caption(ctl::kSuperButton), "刷新");
  EXPECT_TRUE(program.window.MessageBoxes().empty());
  EXPECT_TRUE(program.web.WaitForExchangeEnd());
}

// Reports, on the way out, whether any label had been filled.
StartedProgram* g_program = nullptr;
void ReportLabels(std::int32_t) {
  std::fprintf(stderr, "labels at exit: [%s][%s][%zu]\n", g_program->window.Caption(ctl::kSystemType).c_str(),
               g_program->window.Caption(ctl::kJavaVersion).c_str(),
               g_program->window.ComboItems(ctl::kReleaseBox).size());
}

void StartWithNewerVersion() {
  static StartedProgram program(ScopedWindows::Kind::k64, "1");
  g_program = &program;
  OnProgramEnd(&ReportLabels);
  program.window.Create();
  std::fprintf(stderr, "created returned\n");
}

TEST(WindowCreatedDeathTest, NewerVersionEndsBeforeAnyLabelIsFilled) {
  EXPECT_EXIT(StartWithNewerVersion(), ::testing::ExitedWithCode(0), ::testing::HasSubstr("labels at exit: [][][0]"));
}

}  // namespace
}  // namespace tavrel::app

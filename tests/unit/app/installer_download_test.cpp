#include "app/installer_download.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/handlers.h"
#include "app/headless/headless_window.h"
#include "app/main_window_ids.h"
#include "app/settings/loopback_ports.h"
#include "runtime/system.h"
#include "tests/support/download_fixture.h"
#include "tests/support/fake_system_facts.h"
#include "tests/support/loopback_http_server.h"

namespace tavrel::app {
namespace {

using testing::HttpRequest;
using testing::LoopbackHttpServer;
using testing::ServerConnection;

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

class RecordingShell final : public ShellHost {
 public:
  explicit RecordingShell(Text dir) : dir_(std::move(dir)) {}
  Text ExecutableDirectory() override { return dir_; }
  bool StartProcess(const Text& commandLine, std::int32_t, bool) override {
    std::lock_guard guard(lock_);
    started_.push_back(commandLine);
    return true;
  }
  void OpenWithShell(const Text&) override {}
  std::vector<Text> Started() {
    std::lock_guard guard(lock_);
    return started_;
  }

 private:
  Text dir_;
  std::mutex lock_;
  std::vector<Text> started_;
};

// The installer server: a loopback host on a free port, content per path.
class InstallerDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Text folder = testing::FreshTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    runDir = folder.substr(0, folder.size() - 1);
    shell = std::make_unique<RecordingShell>(runDir);
    g_shellHostSeam.Install(shell.get());
    g_systemFactsSeam.Install(&facts);
    CreateProgramState();
    window.Install();
    window.Create(false);
    window.ComboInsertItem(kMainWindow, ctl::kReleaseBox, 0, "Java 8u271", 0);
    window.ComboInsertItem(kMainWindow, ctl::kReleaseBox, 1, "Java 11.0.9", 0);
  }
  void TearDown() override {
    // The clean-up that ends the program: no task may outlive the test.
    ReleaseProgramState(0);
    SetLoopbackDownloadPort(0);
    g_systemFactsSeam.Install(nullptr);
    g_shellHostSeam.Install(nullptr);
  }

  // The server outlives the test body (the task may still connect until
  // TearDown ends it), so a handler keeps copies, never references to locals.
  void Serve(std::function<void(const HttpRequest&, ServerConnection&)> handler) {
    server = std::make_unique<LoopbackHttpServer>(std::move(handler));
    ASSERT_TRUE(server->Listening());
    SetLoopbackDownloadPort(server->Port());
  }

  // Ticks as the one-second timer would, faster, until it stops.
  bool TickUntilTimerStops(int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
      if (!window.Tick(ctl::kTimer)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  Text Local(const char* name) { return runDir + kSep + "download" + kSep + name; }

  // The whole file is in place before the tick that hands it to the check.
  bool WaitForContent(const Text& path, const std::string& content, int timeoutMs = 20000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
      if (testing::ReadWholeFile(path) == std::optional<std::string>(content)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // The served bytes are no installer signed by the expected signer, so at
  // 100% the check refuses them: the file is removed, nothing is started and
  // the refusal is the last message.
  void ExpectRefusedAtCompletion(const Text& file) {
    auto boxes = window.MessageBoxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().message, "安装程序签名校验失败，未启动");
    EXPECT_EQ(boxes.back().flags, 0x2010u);
    EXPECT_EQ(boxes.back().title, "信息：");
    EXPECT_TRUE(shell->Started().empty());
    EXPECT_FALSE(std::filesystem::exists(file));
  }

  testing::ScopedRetrySettings retries{20};
  testing::FakeSystemFacts facts = testing::FakeSystemFacts::Windows64();
  Text runDir;
  std::unique_ptr<RecordingShell> shell;
  headless::HeadlessWindow window;
  std::unique_ptr<LoopbackHttpServer> server;
};

TEST(ChooseInstaller, TheInstallerTable) {
  struct Row {
    std::int32_t selection;
    bool system64;
    bool chosen;
    const char* serverPath;
    const char* localName;
  };
  const Row rows[] = {
      {0, true, true, "/jdk-8u271-windows-x64.exe", "jdk-8u271-windows-x64.exe"},
      {0, false, true, "/jdk-8u271-windows-i586.exe", "jdk-8u271-windows-x64.exe"},
      {1, true, true, "/jdk-11.0.9_windows-x64_bin.exe", "jdk-11.0.9_windows-x64_bin.exe"},
      {1, false, true, "/jdk-11.0.9_windows-x64_bin.exe", "jdk-11.0.9_windows-x64_bin.exe"},
      {-1, true, false, nullptr, nullptr},
      {2, true, false, nullptr, nullptr},
  };
  for (const Row& r : rows) {
    InstallerRow got{};
    ASSERT_EQ(ChooseInstaller(r.selection, r.system64, &got), r.chosen) << r.selection;
    if (!r.chosen) continue;
    EXPECT_STREQ(got.serverPath, r.serverPath);
    EXPECT_STREQ(got.localName, r.localName);
  }
}

struct FlowCase {
  const char* name;
  bool system64;
  std::int32_t selection;
  const char* requested;
  const char* stored;
};

void PrintTo(const FlowCase& c, std::ostream* os) { *os << c.name; }

class InstallFlow : public InstallerDownloadTest, public ::testing::WithParamInterface<FlowCase> {};

// The click downloads the chosen installer into the download folder (made
// when missing), the ticks show the percentage, and at 100% the file that
// was downloaded goes to the signature check (which starts a genuine one;
// the Windows tests serve signed installers).
TEST_P(InstallFlow, DownloadsShowsProgressAndChecksTheInstaller) {
  const FlowCase& c = GetParam();
  facts = c.system64 ? testing::FakeSystemFacts::Windows64() : testing::FakeSystemFacts::Windows32();
  const std::string content = testing::TestContent(300000, 7);
  Serve([content](const HttpRequest& r, ServerConnection& conn) { testing::ServeContent(content, r, conn); });

  window.SelectItem(ctl::kReleaseBox, c.selection);
  window.Click(ctl::kInstallButton);
  EXPECT_EQ(window.Int(ctl::kProgressBar, prop::kProgressVisible), 1);
  EXPECT_EQ(window.Int(ctl::kTimer, prop::kTimerInterval), 1000);
  // Changing the release during the download does not change what is checked.
  window.SelectItem(ctl::kReleaseBox, 1 - c.selection);
  EXPECT_TRUE(WaitForContent(Local(c.stored), content));
  ASSERT_TRUE(TickUntilTimerStops());

  EXPECT_EQ(window.Caption(ctl::kPercentLabel), "100%");
  EXPECT_EQ(window.Int(ctl::kProgressBar, prop::kProgressPosition), 100);
  EXPECT_EQ(window.MessageBoxes().size(), 1u);
  ExpectRefusedAtCompletion(Local(c.stored));
  ASSERT_FALSE(server->Requests().empty());
  EXPECT_EQ(server->Requests()[0].target, c.requested);
  EXPECT_EQ(server->Requests()[0].Header("Host"), "127.0.0.1:" + std::to_string(server->Port()));
}

INSTANTIATE_TEST_SUITE_P(
    Releases, InstallFlow,
    ::testing::Values(FlowCase{"Jdk8On64Bit", true, 0, "/jdk-8u271-windows-x64.exe", "jdk-8u271-windows-x64.exe"},
                      FlowCase{"Jdk8On32Bit", false, 0, "/jdk-8u271-windows-i586.exe", "jdk-8u271-windows-x64.exe"},
                      FlowCase{"Jdk11", true, 1, "/jdk-11.0.9_windows-x64_bin.exe", "jdk-11.0.9_windows-x64_bin.exe"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallerDownloadTest, NoSelectionOnlyShowsTheEmptyBar) {
  window.Click(ctl::kInstallButton);
  EXPECT_EQ(window.Int(ctl::kProgressBar, prop::kProgressVisible), 1);
  EXPECT_EQ(window.Int(ctl::kTimer, prop::kTimerInterval), 0);
  EXPECT_TRUE(window.MessageBoxes().empty());
  EXPECT_FALSE(std::filesystem::exists(runDir + kSep + "download"));
}

// A download that cannot finish ends in "下载失败" with the timer stopped,
// and leaves no part of an installer behind to be started or to block the
// next try.
TEST_F(InstallerDownloadTest, AFailedDownloadIsReportedAndLeavesNoFile) {
  const std::string content = testing::TestContent(300000, 3);
  Serve([content](const HttpRequest& r, ServerConnection& conn) {
    if (r.index == 0) {
      auto reply = testing::ReplyFor(content, r);
      conn.Send(reply.head);
      conn.Send(std::string_view(reply.body).substr(0, 50000));  // then the server goes away
      return;
    }
    conn.Send(testing::ResponseHead(403, "Content-Length: 0\r\n"));
  });
  window.SelectItem(ctl::kReleaseBox, 0);
  window.Click(ctl::kInstallButton);
  ASSERT_TRUE(TickUntilTimerStops());
  auto boxes = window.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].message, "下载失败");
  EXPECT_EQ(boxes[0].title, "信息：");
  EXPECT_TRUE(shell->Started().empty());
  EXPECT_FALSE(std::filesystem::exists(Local("jdk-8u271-windows-x64.exe")));
}

// An installer already in the folder is reported and kept as it is; it is
// not overwritten and not started.
TEST_F(InstallerDownloadTest, AnExistingFileIsReportedAndKept) {
  std::filesystem::create_directory(runDir + kSep + "download");
  { std::ofstream(Local("jdk-11.0.9_windows-x64_bin.exe")) << "already here"; }
  const std::string content = testing::TestContent(100000, 5);
  Serve([content](const HttpRequest& r, ServerConnection& conn) { testing::ServeContent(content, r, conn); });
  window.SelectItem(ctl::kReleaseBox, 1);
  window.Click(ctl::kInstallButton);
  ASSERT_TRUE(TickUntilTimerStops());
  auto boxes = window.MessageBoxes();
  ASSERT_GE(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].message, "本地目录已有此文件  ");
  EXPECT_EQ(boxes[0].title, "友情提醒");
  EXPECT_EQ(boxes[0].flags, 0x2030u);
  EXPECT_EQ(testing::ReadWholeFile(Local("jdk-11.0.9_windows-x64_bin.exe")),
            std::optional<std::string>("already here"));
  EXPECT_TRUE(shell->Started().empty());
  EXPECT_EQ(window.Caption(ctl::kPercentLabel), "0%");
}

// A task that ends on "a file already there" right after another task ended
// with a size of its own is judged on its own events: the file is kept.
TEST_F(InstallerDownloadTest, AnExistingFileIsKeptAfterAnotherTaskEnded) {
  const std::string content = testing::TestContent(100000, 4);
  Serve([content](const HttpRequest& r, ServerConnection& conn) { testing::ServeContent(content, r, conn); });
  window.SelectItem(ctl::kReleaseBox, 0);
  window.Click(ctl::kInstallButton);
  ASSERT_TRUE(TickUntilTimerStops());
  { std::ofstream(Local("jdk-11.0.9_windows-x64_bin.exe")) << "already here"; }
  window.SelectItem(ctl::kReleaseBox, 1);
  window.Click(ctl::kInstallButton);
  ASSERT_TRUE(TickUntilTimerStops());
  EXPECT_EQ(window.MessageBoxes().size(), 3u);  // refused, already there, failed
  EXPECT_EQ(testing::ReadWholeFile(Local("jdk-11.0.9_windows-x64_bin.exe")),
            std::optional<std::string>("already here"));
}

TEST_F(InstallerDownloadTest, AClickWhileDownloadingFailsAndTheRunningTaskGoesOn) {
  const std::string content = testing::TestContent(200000, 9);
  Serve([content](const HttpRequest& r, ServerConnection& conn) {
    auto reply = testing::ReplyFor(content, r);
    conn.Send(reply.head);
    conn.SendPaced(reply.body, 20000, 30);
  });
  window.SelectItem(ctl::kReleaseBox, 0);
  window.Click(ctl::kInstallButton);
  window.Click(ctl::kInstallButton);
  auto boxes = window.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].message, "下载失败");
  EXPECT_TRUE(WaitForContent(Local("jdk-8u271-windows-x64.exe"), content));
  ASSERT_TRUE(TickUntilTimerStops());
  EXPECT_EQ(window.MessageBoxes().size(), 2u);
  ExpectRefusedAtCompletion(Local("jdk-8u271-windows-x64.exe"));
}

// Ending the program during a download stops the task and removes the part
// of the installer it had written.
TEST_F(InstallerDownloadTest, ProgramEndDuringADownloadRemovesThePartialFile) {
  const std::string content = testing::TestContent(400000, 11);
  Serve([content](const HttpRequest& r, ServerConnection& conn) {
    auto reply = testing::ReplyFor(content, r);
    conn.Send(reply.head);
    // Block 0 comes whole; the others stall, so the download cannot finish.
    if (r.index == 0) conn.Send(std::string_view(reply.body).substr(0, 80000));
    conn.WaitForClientClose(20000);
  });
  window.SelectItem(ctl::kReleaseBox, 0);
  window.Click(ctl::kInstallButton);
  for (int i = 0; i < 1000 && DownloadPercent() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(DownloadPercent(), 20);
  ReleaseProgramState(0);
  EXPECT_FALSE(std::filesystem::exists(Local("jdk-8u271-windows-x64.exe")));
  EXPECT_TRUE(shell->Started().empty());
}

// The end of the program does not wait for a FileExists box the user has
// not closed; when it closes later, the routine finds its state intact.
TEST_F(InstallerDownloadTest, ProgramEndDoesNotWaitForAnOpenFileExistsBox) {
  std::filesystem::create_directory(runDir + kSep + "download");
  { std::ofstream(Local("jdk-11.0.9_windows-x64_bin.exe")) << "already here"; }
  std::mutex lock;
  std::condition_variable changed;
  bool open = false, closed = false, answered = false;
  window.AnswerMessageBoxesWith([&](const headless::MessageBoxCall&) {
    std::unique_lock guard(lock);
    open = true;
    changed.notify_all();
    changed.wait(guard, [&] { return closed; });
    answered = true;
    changed.notify_all();
    return 1;
  });
  const std::string content = testing::TestContent(100000, 5);
  Serve([content](const HttpRequest& r, ServerConnection& conn) { testing::ServeContent(content, r, conn); });
  window.SelectItem(ctl::kReleaseBox, 1);
  window.Click(ctl::kInstallButton);
  {
    std::unique_lock guard(lock);
    ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(20), [&] { return open; }));
  }
  ReleaseProgramState(0);  // returns with the box still open
  std::unique_lock guard(lock);
  closed = true;
  changed.notify_all();
  // The routine answers into the state kept for it; the task ends on its own.
  ASSERT_TRUE(changed.wait_for(guard, std::chrono::seconds(20), [&] { return answered; }));
  EXPECT_EQ(testing::ReadWholeFile(Local("jdk-11.0.9_windows-x64_bin.exe")),
            std::optional<std::string>("already here"));
}

}  // namespace
}  // namespace tavrel::app

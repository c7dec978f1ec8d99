#include "app/update_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/settings.h"
#include "app/settings/loopback_ports.h"

#include <cstdio>

#include "app/handlers.h"
#include "app/headless/headless_window.h"
#include "app/main_window_ids.h"
#include "runtime/system.h"
#include "tests/support/fake_version_resources.h"
#include "tests/support/fake_wininet.h"

namespace tavrel::app {
namespace {

using tavrel::testing::FakeVersionResources;
using tavrel::testing::FakeWinInet;
using tavrel::testing::ScopedVersionResources;
using tavrel::testing::ScopedWinInet;

// The program's folder is C:\Tavrel; opened addresses are recorded, and
// written to stderr too for the runs that end the process.
class RecordingShell final : public ShellHost {
 public:
  std::vector<Text> opened;
  bool report = false;
  Text ExecutableDirectory() override { return "C:\\Tavrel"; }
  bool StartProcess(const Text&, std::int32_t, bool) override { return false; }
  void OpenWithShell(const Text& address) override {
    opened.push_back(address);
    if (report) std::fprintf(stderr, "opened <%s>\n", address.c_str());
  }
};

using ScopedShell = ScopedSeam<g_shellHostSeam>;

void GiveOwnVersion(FakeVersionResources& versions, const Text& version) {
  auto& file = versions.files["C:\\Tavrel\\Tavrel.exe"];
  file.translations = {0x04b00804};
  file.strings["\\StringFileInfo\\080404b0\\FileVersion"] = version;
}

TEST(UpdateCheck, AnswersThatMeanANewerVersion) {
  const std::pair<ByteSet, bool> rows[] = {
      {{'1'}, true},
      {{'1', '.', '0'}, true},
      {{'1', '.', '0', '0', '0', '0', '0', '0', '0', '1'}, true},
      {{0xA3, 0xB1}, true},  // full-width digit one
      {{'1', 'a', 'b', 'c'}, true},
      {{'1', 0, '9'}, true},  // read up to the first zero byte
      {{'0'}, false},
      {{'2'}, false},
      {{'t', 'r', 'u', 'e'}, false},
      {{'o', 'k'}, false},
      {{'v', '1'}, false},
      {{}, false},
      {{0, '1'}, false},
      {{'1', '.', '0', '0', '0', '0', '1'}, false},  // 1e-5 off
      {{'-', '1'}, false},
  };
  for (const auto& [body, newer] : rows) {
    EXPECT_EQ(IsNewerVersionAnswer(body), newer) << std::string(body.begin(), body.end());
  }
}

TEST(UpdateCheck, RequestCarriesTheOwnFileVersion) {
  struct Row {
    const char* what;
    std::optional<Text> version;  // nullopt: no Tavrel.exe beside the program
    Text object;
  };
  const Row rows[] = {
      {"own version", "1.5.0.5", "/api/update/checkupdate?version=1.5.0.5"},
      {"not encoded", "1.5 beta&x", "/api/update/checkupdate?version=1.5 beta&x"},
      {"no executable", std::nullopt, "/api/update/checkupdate?version="},
  };
  for (const auto& row : rows) {
    FakeVersionResources versions;
    if (row.version) GiveOwnVersion(versions, *row.version);
    FakeWinInet web;
    web.body = "0";
    RecordingShell shell;
    ScopedShell shellScope(shell);
    ScopedVersionResources versionScope(versions);
    ScopedWinInet webScope(web);

    EXPECT_FALSE(NewerVersionAvailable("127.0.0.1:8443")) << row.what;
    ASSERT_TRUE(web.WaitForExchangeEnd()) << row.what;
    EXPECT_EQ(versions.loads, std::vector<Text>{"C:\\Tavrel\\Tavrel.exe"}) << row.what;
    ASSERT_EQ(web.openRequests.size(), 1u) << row.what;
    EXPECT_EQ(web.connects[0].host, "127.0.0.1");
    EXPECT_EQ(web.connects[0].port, 8443);
    EXPECT_EQ(web.openRequests[0].verb, "GET");
    EXPECT_EQ(web.openRequests[0].object, row.object) << row.what;
    EXPECT_EQ(web.openRequests[0].flags & 0x800000u, 0x800000u) << "secure";
    EXPECT_EQ(web.openRequests[0].flags & 0x80000u, 0u) << "cookies left to WinINet";
    // A silent service cannot keep the window empty: 5 s for each phase.
    EXPECT_EQ(web.options.size(), 4u);
    for (const auto& option : web.options) EXPECT_EQ(option.value, option.option == 3 ? 1u : 5000u);
  }
}

TEST(UpdateCheck, NoServerOrNoAnswerMeansNoNewerVersion) {
  FakeVersionResources versions;
  GiveOwnVersion(versions, "1.5.0.5");
  RecordingShell shell;
  ScopedShell shellScope(shell);
  ScopedVersionResources versionScope(versions);
  for (int failure = 0; failure < 3; ++failure) {
    FakeWinInet web;
    web.body = std::string(1, '1');  // not a literal: GCC 12 warns falsely of an overlap
    web.failOpen = failure == 0;
    web.failConnect = failure == 1;
    web.failSend = failure == 2;
    ScopedWinInet webScope(web);
    EXPECT_FALSE(NewerVersionAvailable("127.0.0.1:1")) << failure;
    EXPECT_TRUE(web.WaitForExchangeEnd()) << failure;
  }
}

// The service is asked at its host and port, the product's port unsaid.
TEST(UpdateCheck, NoNewerVersionReturnsQuietly) {
  struct Row {
    std::uint16_t port;  // 0: the product's
    std::uint16_t reached;
  };
  for (const Row& row : {Row{0, kUpdatePort}, Row{8443, 8443}}) {
    FakeVersionResources versions;
    GiveOwnVersion(versions, "1.5.0.5");
    FakeWinInet web;
    web.body = "0";
    RecordingShell shell;
    headless::HeadlessWindow window;
    window.Install();
    ScopedShell shellScope(shell);
    ScopedVersionResources versionScope(versions);
    ScopedWinInet webScope(web);
    SetLoopbackUpdatePort(row.port);
    const Text address = UpdateServiceAddress();
    CheckForUpdate();
    SetLoopbackUpdatePort(0);
    ASSERT_TRUE(web.WaitForExchangeEnd());
    EXPECT_TRUE(window.MessageBoxes().empty());
    EXPECT_TRUE(shell.opened.empty());
    ASSERT_EQ(web.connects.size(), 1u);
    EXPECT_EQ(web.connects[0].host, UpdateHost());
    EXPECT_EQ(web.connects[0].port, row.reached);
    EXPECT_EQ(address.find(':') == Text::npos, row.port == 0) << address;
  }
}

// Reports the message box on stderr, where the test of a run that ends the
// process can see it.
class ReportingMessages final : public MessageHost {
 public:
  std::int32_t MessageBox(const Text& message, std::uint32_t flags, const Text& title, WindowHandle owner) override {
    const bool expected = message == "发现新版本，请到官方网站下载！" && title == "信息：" && owner == 0;
    std::fprintf(stderr, "box flags=%u %s\n", flags, expected ? "text-and-title-ok" : "unexpected");
    return 1;
  }
  void ProcessEvents() override {}
};

void RunCheckAnsweredWithOne() {
  static FakeVersionResources versions;
  GiveOwnVersion(versions, "1.5.0.5");
  static FakeWinInet web;
  web.body = "1";
  static RecordingShell shell;
  shell.report = true;
  static ReportingMessages messages;
  g_shellHostSeam.Install(&shell);
  g_messageHostSeam.Install(&messages);
  g_versionResourceSeam.Install(&versions);
  g_winInetSeam.Install(&web);
  CheckForUpdate();
  std::fprintf(stderr, "returned\n");
}

TEST(UpdateCheckDeathTest, NewerVersionShowsMessageOpensSiteAndEnds) {
  const std::string opened = "box flags=8256 text-and-title-ok\nopened <https://" + std::string(SiteHost()) + ">\n";
  EXPECT_EXIT(RunCheckAnsweredWithOne(), ::testing::ExitedWithCode(0), ::testing::HasSubstr(opened));
}

TEST(OpenSiteClicked, OpensTheSiteOverHttpFromAnyPartOfTheStatusBar) {
  RecordingShell shell;
  ScopedShell shellScope(shell);
  headless::HeadlessWindow window;
  window.Install();
  window.Create(false);
  window.PressLeftButton(ctl::kStatusBar);
  OpenSiteClicked();
  const Text site = Text("http://") + SiteHost();
  EXPECT_EQ(shell.opened, (std::vector<Text>{site, site}));
  EXPECT_TRUE(window.MessageBoxes().empty());
}

}  // namespace
}  // namespace tavrel::app

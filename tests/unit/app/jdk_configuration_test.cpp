#include <gtest/gtest.h>

#include <functional>

#include "app/handlers.h"
#include "app/headless/headless_window.h"
#include "app/jdk_locations.h"
#include "app/main_window_ids.h"
#include "tests/support/scoped_windows.h"

namespace tavrel::app {
namespace {

using testing::ScopedWindows;
using View = MemoryRegistry::View;

constexpr const char* kNotInstalled = "Java未安装";
constexpr const char* kConfigure = "一键配置";
constexpr const char* kRefresh = "刷新";
constexpr const char* kSuccess = "JDK环境变量配置成功";
constexpr const char* kFailure = "JDK环境变量配置失败";
constexpr const char* kUserSuccess = "JDK环境变量配置成功（当前用户）";
constexpr const char* kAskForUserSet = "无法写入系统环境变量（需要管理员权限），是否改为当前用户配置？";
constexpr const char* kAdoptium = "SOFTWARE\\Eclipse Adoptium\\JDK";
constexpr const char* kMicrosoft = "SOFTWARE\\Microsoft\\JDK";
constexpr std::uint32_t kSuccessFlags = 64 | 0x2000;  // information icon, task-modal
constexpr std::uint32_t kFailureFlags = 16 | 0x2000;  // stop icon, task-modal
constexpr const char* kSuffix = ";%JAVA_HOME%\\bin;%JAVA_HOME%\\jre\\bin";
constexpr const char* kClassPath = ".;%JAVA_HOME%\\lib\\dt.jar;%JAVA_HOME%\\lib\\tools.jar";
constexpr const char* kHome8 = "C:\\Program Files\\Java\\jdk1.8.0_271";
constexpr const char* kHome11 = "C:\\Program Files\\Java\\jdk-11.0.9";

#ifdef _WIN32
// On Windows the environment store may reach the real system set; the
// Windows suite configures under Wine instead.
#define HOST_ONLY() GTEST_SKIP() << "configuration is tested end to end in the Windows suite"
#else
#define HOST_ONLY() (void)0
#endif

class JdkWindowTest : public ::testing::Test {
 protected:
  explicit JdkWindowTest(ScopedWindows::Kind kind = ScopedWindows::Kind::k64) : windows(kind) {
    window.Install();
    window.Create(/*fireCreated=*/false);
  }
  Text Label() { return window.Caption(ctl::kJavaVersion); }
  Text Button() { return window.Caption(ctl::kSuperButton); }

  ScopedWindows windows;
  headless::HeadlessWindow window;
};

TEST(JdkDetection, LabelAndButtonFromTheRegistry) {
  struct Row {
    const char* what;
    ScopedWindows::Kind kind;
    std::function<void(ScopedWindows&)> setUp;
    const char* label;
    const char* button;
  };
  using K = ScopedWindows::Kind;
  const Row rows[] = {
      {"both releases: the first key wins", K::k64,
       [](ScopedWindows& w) {
         w.ImportJdk11();
         w.ImportJdk8();
       },
       "1.8", kConfigure},
      {"only the JDK key", K::k64, [](ScopedWindows& w) { w.ImportJdk11(); }, "11.0.9", kConfigure},
      {"nothing installed", K::k64, [](ScopedWindows&) {}, kNotInstalled, kRefresh},
      {"registered only in the 32-bit view", K::k64, [](ScopedWindows& w) { w.ImportJdk8(kHome8, View::k32); },
       kNotInstalled, kRefresh},
      {"32-bit Windows", K::k32, [](ScopedWindows& w) { w.ImportJdk8(); }, "1.8", kConfigure},
      {"key without CurrentVersion", K::k64,
       [](ScopedWindows& w) { w.registry.AddKey(kHkeyLocalMachine, "SOFTWARE\\JavaSoft\\JDK", View::k64); }, "",
       kConfigure},
      {"another release shown as it is", K::k64,
       [](ScopedWindows& w) {
         w.registry.SetText(kHkeyLocalMachine, "SOFTWARE\\JavaSoft\\JDK", "CurrentVersion", "17", regtype::kSz,
                            View::k64);
       },
       "17", kConfigure},
      {"a key a standard user can only read is found", K::k64,
       [](ScopedWindows& w) {
         w.ImportJdk8();
         w.ImportJdk11();
         w.registry.SetReadOnly(kHkeyLocalMachine, "SOFTWARE\\JavaSoft", true, View::k64);
       },
       "1.8", kConfigure},
      {"only an Adoptium JDK", K::k64, [](ScopedWindows& w) { w.ImportOtherJdk(kAdoptium, "17.0.9.9", "C:\\a"); },
       "17.0.9.9", kConfigure},
      {"only a Microsoft JDK", K::k64, [](ScopedWindows& w) { w.ImportOtherJdk(kMicrosoft, "21.0.1", "C:\\m"); },
       "21.0.1", kConfigure},
      {"the newest by number, across distributions, leftovers skipped", K::k64,
       [](ScopedWindows& w) {
         w.ImportOtherJdk(kAdoptium, "17.0.9.9", "C:\\a9");
         w.ImportOtherJdk(kAdoptium, "17.0.10.7", "C:\\a10");
         w.ImportOtherJdk(kAdoptium, "21.0.2.13", nullptr);
         w.ImportOtherJdk(kMicrosoft, "11.0.21", "C:\\m");
         w.registry.SetReadOnly(kHkeyLocalMachine, kAdoptium, true, View::k64);
       },
       "17.0.10.7", kConfigure},
      {"JavaSoft wins over another distribution", K::k64,
       [](ScopedWindows& w) {
         w.ImportOtherJdk(kMicrosoft, "21.0.1", "C:\\m");
         w.ImportJdk11();
       },
       "11.0.9", kConfigure},
      {"another distribution only in the 32-bit view", K::k64,
       [](ScopedWindows& w) { w.ImportOtherJdk(kAdoptium, "17.0.9.9", "C:\\a", View::k32); }, kNotInstalled, kRefresh},
  };
  for (const auto& r : rows) {
    ScopedWindows windows(r.kind);
    r.setUp(windows);
    headless::HeadlessWindow window;
    window.Install();
    window.Create(false);
    DetectInstalledJdk();
    EXPECT_EQ(window.Caption(ctl::kJavaVersion), r.label) << r.what;
    EXPECT_EQ(window.Caption(ctl::kSuperButton), r.button) << r.what;
    EXPECT_TRUE(window.MessageBoxes().empty()) << r.what;
    EXPECT_EQ(windows.registry.OpenHandleCount(), 0u) << r.what;
  }
}

TEST_F(JdkWindowTest, RefreshUntilAJdkAppearsThenConfigure) {
  HOST_ONLY();
  window.Click(ctl::kSuperButton);  // the label is empty before detection: nothing to configure, and it says so
  ASSERT_EQ(window.MessageBoxes().size(), 1u);
  EXPECT_EQ(window.MessageBoxes()[0].message, kFailure);
  window.ClearMessageBoxes();

  DetectInstalledJdk();
  ASSERT_EQ(Label(), kNotInstalled);
  window.Click(ctl::kSuperButton);
  EXPECT_EQ(Label(), kNotInstalled);
  EXPECT_EQ(Button(), kRefresh);
  EXPECT_TRUE(window.MessageBoxes().empty()) << "a refresh shows no message";

  windows.ImportJdk8();
  windows.SetSystemPath("%SystemRoot%\\system32");
  window.Click(ctl::kSuperButton);
  EXPECT_EQ(Label(), "1.8");
  EXPECT_EQ(Button(), kConfigure);
  EXPECT_TRUE(window.MessageBoxes().empty());
  EXPECT_FALSE(windows.SystemVariable("JAVA_HOME")) << "detection configures nothing";

  window.Click(ctl::kSuperButton);
  ASSERT_EQ(window.MessageBoxes().size(), 1u);
  EXPECT_EQ(window.MessageBoxes()[0].message, kSuccess);
  EXPECT_EQ(Label(), "1.8") << "configuring leaves the detection as it was";
}

struct ConfigureRow {
  const char* what;
  std::function<void(ScopedWindows&)> setUp;
  const char* caption;
  // Expected afterwards; nullptr: not written.
  const char* javaHome;
  std::optional<Text> path;
  std::uint32_t pathType;
  const char* message;  // nullptr: no message
};

TEST(ConfigureEnvironment, WritesTheThreeVariablesOrNothing) {
  HOST_ONLY();
  const Text base = "%SystemRoot%\\system32;%SystemRoot%;C:\\Tools";
  auto jdks = [](ScopedWindows& w) {
    w.ImportJdk8();
    w.ImportJdk11();
  };
  auto withPath = [&](Text path, std::uint32_t type = regtype::kExpandSz) {
    return [=](ScopedWindows& w) {
      w.ImportJdk8();
      w.ImportJdk11();
      w.SetSystemPath(path, type);
    };
  };
  const ConfigureRow rows[] = {
      {"release 1.8", withPath(base), "1.8", kHome8, base + kSuffix, regtype::kExpandSz, kSuccess},
      {"release 11.0.9", withPath(base), "11.0.9", kHome11, base + kSuffix, regtype::kExpandSz, kSuccess},
      {"a caption matching no release", withPath(base), "1.8.0_271", nullptr, base, regtype::kExpandSz, kFailure},
      {"release 11 by a shorter caption", withPath(base), "11", nullptr, base, regtype::kExpandSz, kFailure},
      {"empty caption", withPath(base), "", nullptr, base, regtype::kExpandSz, kFailure},
      {"JDK 17 under the JDK key",
       [&](ScopedWindows& w) {
         w.ImportJdk11();
         w.registry.SetText(kHkeyLocalMachine, "SOFTWARE\\JavaSoft\\JDK", "CurrentVersion", "17", regtype::kSz,
                            View::k64);
         w.registry.SetText(kHkeyLocalMachine, "SOFTWARE\\JavaSoft\\JDK\\17", "JavaHome", "C:\\jdk-17", regtype::kSz,
                            View::k64);
         w.SetSystemPath(base);
       },
       "17", "C:\\jdk-17", base + kSuffix, regtype::kExpandSz, kSuccess},
      {"a release another distribution registered",
       [&](ScopedWindows& w) {
         w.ImportOtherJdk(kMicrosoft, "21.0.1", "C:\\ms-21");
         w.SetSystemPath(base);
       },
       "21.0.1", "C:\\ms-21", base + kSuffix, regtype::kExpandSz, kSuccess},
      {"a release the registry no longer holds",
       [&](ScopedWindows& w) {
         w.ImportOtherJdk(kMicrosoft, "21.0.1", "C:\\ms-21");
         w.SetSystemPath(base);
       },
       "17.0.9.9", nullptr, base, regtype::kExpandSz, kFailure},
      {"no key for the release",
       [&](ScopedWindows& w) {
         w.ImportJdk11();
         w.SetSystemPath(base);
       },
       "1.8", nullptr, base, regtype::kExpandSz, kFailure},
      {"empty JavaHome",
       [&](ScopedWindows& w) {
         w.ImportJdk8("");
         w.SetSystemPath(base);
       },
       "1.8", nullptr, base, regtype::kExpandSz, kFailure},
      {"no stored system path", jdks, "1.8", nullptr, std::nullopt, 0, kFailure},
      {"a path stored as REG_SZ becomes expandable", withPath("C:\\windows\\system32", regtype::kSz), "1.8", kHome8,
       Text("C:\\windows\\system32") + kSuffix, regtype::kExpandSz, kSuccess},
      {"a trailing semicolon is kept", withPath("C:\\a;"), "1.8", kHome8, Text("C:\\a;") + kSuffix, regtype::kExpandSz,
       kSuccess},
      {"an empty path", withPath(""), "1.8", kHome8, Text(kSuffix), regtype::kExpandSz, kSuccess},
      {"entries already there, in another case and with a backslash",
       withPath("C:\\a;%java_home%\\BIN\\;%JAVA_HOME%\\jre\\bin"), "1.8", kHome8,
       Text("C:\\a;%java_home%\\BIN\\;%JAVA_HOME%\\jre\\bin"), regtype::kExpandSz, kSuccess},
      {"one entry already there", withPath("%JAVA_HOME%\\bin;C:\\a"), "1.8", kHome8,
       Text("%JAVA_HOME%\\bin;C:\\a;%JAVA_HOME%\\jre\\bin"), regtype::kExpandSz, kSuccess},
      {"a similar entry is not the same", withPath("%JAVA_HOME%\\bin2"), "1.8", kHome8,
       Text("%JAVA_HOME%\\bin2") + kSuffix, regtype::kExpandSz, kSuccess},
  };
  for (const auto& r : rows) {
    ScopedWindows windows;
    r.setUp(windows);
    headless::HeadlessWindow window;
    window.Install();
    window.Create(false);
    SetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption, r.caption);
    window.Click(ctl::kSuperButton);

    auto javaHome = windows.SystemVariable("JAVA_HOME");
    auto classPath = windows.SystemVariable("CLASSPATH");
    auto path = windows.SystemVariable("Path");
    if (r.javaHome) {
      ASSERT_TRUE(javaHome && classPath) << r.what;
      EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "JAVA_HOME"), r.javaHome)
          << r.what;
      EXPECT_EQ(javaHome->type, regtype::kSz) << r.what;
      EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "CLASSPATH"), kClassPath)
          << r.what;
      EXPECT_EQ(classPath->type, regtype::kExpandSz) << r.what;
    } else {
      EXPECT_FALSE(javaHome) << r.what;
      EXPECT_FALSE(classPath) << r.what;
    }
    EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "Path"), r.path) << r.what;
    if (path) {
      EXPECT_EQ(path->type, r.pathType) << r.what;
    }

    auto boxes = window.MessageBoxes();
    if (r.message) {
      ASSERT_EQ(boxes.size(), 1u) << r.what;
      EXPECT_EQ(boxes[0].message, r.message) << r.what;
      EXPECT_EQ(boxes[0].flags, r.message == kSuccess ? kSuccessFlags : kFailureFlags) << r.what;
      EXPECT_EQ(boxes[0].title, "信息：") << r.what;
      EXPECT_EQ(boxes[0].owner, 0u) << r.what;
    } else {
      EXPECT_TRUE(boxes.empty()) << r.what;
    }
    EXPECT_EQ(windows.broadcast.count, r.javaHome ? 1 : 0) << r.what << ": one announcement for the three writes";
    EXPECT_EQ(windows.registry.OpenHandleCount(), 0u) << r.what;
  }
}

// A system set this process cannot write: the user is asked first, before
// anything is written, and his answer decides.
TEST(ConfigureEnvironment, AReadOnlySystemSetOffersTheUsersOwn) {
  HOST_ONLY();
  constexpr std::int32_t kIdYes = 6, kIdNo = 7;
  const Text entries = "%JAVA_HOME%\\bin;%JAVA_HOME%\\jre\\bin";
  struct Row {
    const char* what;
    std::int32_t answer;
    std::optional<Text> userPath;  // stored before (REG_SZ); nullopt: none
    std::optional<Text> expectedPath;
    const char* message;
  };
  const Row rows[] = {
      {"yes, a user path of his own", kIdYes, Text("C:\\u;"), Text("C:\\u;") + kSuffix, kUserSuccess},
      {"yes, no user path yet", kIdYes, std::nullopt, entries, kUserSuccess},
      {"yes, entries already there", kIdYes, Text("%JAVA_HOME%\\bin;%JAVA_HOME%\\jre\\bin\\"),
       Text("%JAVA_HOME%\\bin;%JAVA_HOME%\\jre\\bin\\"), kUserSuccess},
      {"no", kIdNo, Text("C:\\u"), Text("C:\\u"), kFailure},
  };
  for (const auto& r : rows) {
    ScopedWindows windows;
    windows.ImportJdk8();
    windows.SetSystemPath("C:\\sys");
    windows.registry.SetReadOnly(kHkeyLocalMachine, testing::kSystemEnvironmentKey);
    if (r.userPath) windows.registry.SetText(kHkeyCurrentUser, testing::kUserEnvironmentKey, "Path", *r.userPath);
    headless::HeadlessWindow window;
    window.Install();
    window.Create(false);
    window.AnswerMessageBoxesWith([&](const headless::MessageBoxCall&) { return r.answer; });
    DetectInstalledJdk();
    window.Click(ctl::kSuperButton);

    auto boxes = window.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u) << r.what;
    EXPECT_EQ(boxes[0].message, kAskForUserSet) << r.what;
    EXPECT_EQ(boxes[0].flags, 4u | 32u | 0x2000u) << r.what << ": yes/no, question icon, task-modal";
    EXPECT_EQ(boxes[0].title, "信息：") << r.what;
    EXPECT_EQ(boxes[1].message, r.message) << r.what;
    EXPECT_EQ(boxes[1].flags, r.message == kFailure ? kFailureFlags : kSuccessFlags) << r.what;
    const bool yes = r.answer == kIdYes;
    EXPECT_EQ(windows.registry.TextValue(kHkeyCurrentUser, testing::kUserEnvironmentKey, "JAVA_HOME"),
              yes ? std::optional<Text>(kHome8) : std::nullopt)
        << r.what;
    EXPECT_EQ(windows.registry.TextValue(kHkeyCurrentUser, testing::kUserEnvironmentKey, "CLASSPATH"),
              yes ? std::optional<Text>(kClassPath) : std::nullopt)
        << r.what;
    EXPECT_EQ(windows.registry.TextValue(kHkeyCurrentUser, testing::kUserEnvironmentKey, "Path"), r.expectedPath)
        << r.what;
    if (yes) {
      EXPECT_EQ(windows.UserVariable("Path")->type, regtype::kExpandSz) << r.what;
    }
    EXPECT_FALSE(windows.SystemVariable("JAVA_HOME") || windows.SystemVariable("CLASSPATH")) << r.what;
    EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "Path"), "C:\\sys")
        << r.what;
    EXPECT_EQ(windows.broadcast.count, yes ? 1 : 0) << r.what;
    EXPECT_EQ(windows.registry.OpenHandleCount(), 0u) << r.what;
  }
}

TEST(JdkVersions, NewerByNumber) {
  const struct {
    const char* a;
    const char* b;
    bool newer;
  } rows[] = {{"17.0.10.7", "17.0.9.9", true}, {"17.0.9.9", "17.0.10.7", false}, {"21", "17.0.9.9", true},
              {"17.0.1", "17.0", true},        {"17.0", "17.0", false},          {"1.8.0_392", "1.8.0_65", true}};
  for (const auto& r : rows) EXPECT_EQ(IsNewerVersion(r.a, r.b), r.newer) << r.a << " vs " << r.b;
}

TEST_F(JdkWindowTest, RepeatedClicksDoNotGrowALongPath) {
  HOST_ONLY();
  // Longer than any fixed buffer the path could have been read into, with
  // references that only the stored (unexpanded) form keeps.
  Text longPath;
  for (int i = 0; longPath.size() <= 4096; ++i) longPath += "%SystemRoot%\\system32\\Tool" + std::to_string(i) + ";";
  longPath += "C:\\last";
  windows.SetSystemPath(longPath);
  windows.ImportJdk8();
  DetectInstalledJdk();
  for (int click = 0; click < 3; ++click) {
    windows.registry.SetText(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "JAVA_HOME", "stale");
    window.Click(ctl::kSuperButton);
    EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "Path"), longPath + kSuffix)
        << "click " << click;
    EXPECT_EQ(windows.SystemVariable("Path")->type, regtype::kExpandSz);
    EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "JAVA_HOME"), kHome8)
        << "JAVA_HOME is overwritten each time";
  }
  auto boxes = window.MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  for (const auto& box : boxes) EXPECT_EQ(box.message, kSuccess);
}

}  // namespace
}  // namespace tavrel::app

#include <gtest/gtest.h>

#include <functional>

#include "app/handlers.h"
#include "app/headless/headless_window.h"
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
      {"both releases: the first key wins", K::k64, [](ScopedWindows& w) { w.ImportJdk11(); w.ImportJdk8(); }, "1.8",
       kConfigure},
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
      {"a key that cannot be opened for full access counts as absent", K::k64,
       [](ScopedWindows& w) {
         w.ImportJdk8();
         w.ImportJdk11();
         w.registry.SetReadOnly(kHkeyLocalMachine, "SOFTWARE\\JavaSoft\\Java Development Kit", true, View::k64);
       },
       "11.0.9", kConfigure},
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
  window.Click(ctl::kSuperButton);  // the label is empty before detection: configure, which does nothing
  EXPECT_TRUE(window.MessageBoxes().empty());

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
      {"a caption matching no release", withPath(base), "1.8.0_271", nullptr, base, regtype::kExpandSz, nullptr},
      {"release 11 by a shorter caption", withPath(base), "11", nullptr, base, regtype::kExpandSz, nullptr},
      {"empty caption", withPath(base), "", nullptr, base, regtype::kExpandSz, nullptr},
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
      {"a trailing semicolon is kept", withPath("C:\\a;"), "1.8", kHome8, Text("C:\\a;") + kSuffix,
       regtype::kExpandSz, kSuccess},
      {"an empty path", withPath(""), "1.8", kHome8, Text(kSuffix), regtype::kExpandSz, kSuccess},
      {"entries already there, in another case and with a backslash",
       withPath("C:\\a;%java_home%\\BIN\\;%JAVA_HOME%\\jre\\bin"), "1.8", kHome8,
       Text("C:\\a;%java_home%\\BIN\\;%JAVA_HOME%\\jre\\bin"), regtype::kExpandSz, kSuccess},
      {"one entry already there", withPath("%JAVA_HOME%\\bin;C:\\a"), "1.8", kHome8,
       Text("%JAVA_HOME%\\bin;C:\\a;%JAVA_HOME%\\jre\\bin"), regtype::kExpandSz, kSuccess},
      {"a similar entry is not the same", withPath("%JAVA_HOME%\\bin2"), "1.8", kHome8,
       Text("%JAVA_HOME%\\bin2") + kSuffix, regtype::kExpandSz, kSuccess},
      {"a read-only system set",
       [&](ScopedWindows& w) {
         w.ImportJdk8();
         w.SetSystemPath(base);
         w.registry.SetReadOnly(kHkeyLocalMachine, testing::kSystemEnvironmentKey);
       },
       "1.8", nullptr, base, regtype::kExpandSz, kFailure},
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
      EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "CLASSPATH"),
                kClassPath)
          << r.what;
      EXPECT_EQ(classPath->type, regtype::kExpandSz) << r.what;
    } else {
      EXPECT_FALSE(javaHome) << r.what;
      EXPECT_FALSE(classPath) << r.what;
    }
    EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "Path"), r.path)
        << r.what;
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

TEST_F(JdkWindowTest, RepeatedClicksDoNotGrowALongPath) {
  HOST_ONLY();
  // Longer than any fixed buffer the path could have been read into, with
  // references that only the stored (unexpanded) form keeps.
  Text longPath;
  for (int i = 0; longPath.size() <= 4096; ++i)
    longPath += "%SystemRoot%\\system32\\Tool" + std::to_string(i) + ";";
  longPath += "C:\\last";
  windows.SetSystemPath(longPath);
  windows.ImportJdk8();
  DetectInstalledJdk();
  for (int click = 0; click < 3; ++click) {
    windows.registry.SetText(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "JAVA_HOME", "stale");
    window.Click(ctl::kSuperButton);
    EXPECT_EQ(windows.registry.TextValue(kHkeyLocalMachine, testing::kSystemEnvironmentKey, "Path"),
              longPath + kSuffix)
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

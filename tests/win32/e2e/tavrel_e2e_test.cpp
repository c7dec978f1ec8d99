// Tavrel.exe itself, driven from outside as a user would, against stand-ins
// of the maker's update service, download server and web browser.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/main_window_ids.h"
#include "tests/support/test_paths.h"
#include "tests/support/test_socket.h"
#include "tests/support/win32/maker_services.h"
#include "tests/support/win32/tavrel_driver.h"
#include "tests/support/win32/test_root_store.h"

namespace tavrel {
namespace {

using testing::MakerServices;
using testing::ScopedRegistryValue;
using testing::TavrelDriver;
namespace ctl = app::ctl;

constexpr DWORD kStartMs = 30000;
constexpr DWORD kFillMs = 20000;
constexpr const char* kJdk8Key = "SOFTWARE\\JavaSoft\\Java Development Kit";
constexpr const char* kJdk11Key = "SOFTWARE\\JavaSoft\\JDK";
constexpr const char* kEnvironmentKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr const char* kUpdateRequest = "GET /api/update/checkupdate?version=1.5.0.5";

bool KeyExists64(const char* subkey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

std::wstring SystemTypeText() { return testing::WindowsIs64Bit() ? L"64位" : L"32位"; }

std::vector<std::wstring> ExpectedReleases() {
  if (testing::WindowsIs64Bit()) return {L"Java 8u271", L"Java 11.0.9"};
  return {L"Java 8u271"};
}

// Where the build put the test PKI's root and the signed stand-in installers.
std::string TrustFile(const std::string& name) {
  std::string path = "Z:" + testing::BinaryDir() + "/tests/trust/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Starts Tavrel.exe and waits until its window has been filled (the Java
// label is the last thing the created sequence writes).
void StartAndWaitForFill(TavrelDriver& tavrel) {
  ASSERT_TRUE(tavrel.Started()) << "Tavrel.exe could not be copied or started";
  ASSERT_NE(tavrel.WaitForMainWindow(kStartMs), nullptr) << "the main window did not appear";
  ASSERT_TRUE(tavrel.WaitForNonEmptyCaption(ctl::kJavaVersion, kFillMs)) << "the window was not filled";
}

TEST(EndToEnd, NoNewerVersionFillsTheWindowAndRefreshFindsANewJdk) {
  MakerServices services("0", testing::NoDownloads());
  ASSERT_TRUE(services.Ready()) << "the stand-in services did not start";
  ASSERT_FALSE(KeyExists64(kJdk8Key) || KeyExists64(kJdk11Key)) << "this Wine prefix already has JDK keys";

  // A JDK registered only in the 32-bit view of a 64-bit Windows is not
  // the machine's JDK (on a 32-bit Windows both names reach the one view,
  // so the key is left out there).
  std::optional<ScopedRegistryValue> only32;
  if (testing::WindowsIs64Bit()) {
    only32.emplace(HKEY_LOCAL_MACHINE, kJdk8Key, "CurrentVersion", KEY_WOW64_32KEY);
    ASSERT_TRUE(only32->SetText("1.8"));
    ASSERT_FALSE(KeyExists64(kJdk8Key)) << "the two views are one";
  }

  TavrelDriver tavrel(testing::FreshTestFolder("e2e-fill"));
  StartAndWaitForFill(tavrel);
  EXPECT_EQ(tavrel.Caption(ctl::kJavaVersion), L"Java未安装");
  EXPECT_EQ(tavrel.Caption(ctl::kSuperButton), L"刷新");
  EXPECT_FALSE(tavrel.Caption(ctl::kOsText).empty());
  EXPECT_EQ(tavrel.Caption(ctl::kSystemType), SystemTypeText());
  EXPECT_EQ(tavrel.ReleaseItems(), ExpectedReleases());
  EXPECT_EQ(tavrel.ReleaseSelection(), CB_ERR);
  EXPECT_FALSE(tavrel.Visible(ctl::kProgressBar));
  EXPECT_EQ(tavrel.Caption(ctl::kPercentLabel), L"");
  EXPECT_EQ(services.Update().RequestLines(), std::vector<std::string>{kUpdateRequest});

  // A JDK installed while the window is open is found by the refresh.
  ScopedRegistryValue current(HKEY_LOCAL_MACHINE, kJdk8Key, "CurrentVersion", KEY_WOW64_64KEY);
  ASSERT_TRUE(current.SetText("1.8"));
  tavrel.Click(ctl::kSuperButton);
  EXPECT_TRUE(tavrel.WaitForCaption(ctl::kJavaVersion, L"1.8", kFillMs)) << "refresh did not detect the JDK";
  EXPECT_TRUE(tavrel.WaitForCaption(ctl::kSuperButton, L"一键配置", kFillMs));
  // Filled once: nothing is added by the refresh.
  EXPECT_EQ(tavrel.ReleaseCount(), static_cast<int>(ExpectedReleases().size()));

  EXPECT_TRUE(tavrel.Dialogs().empty());
  EXPECT_EQ(tavrel.Close(kStartMs), std::optional<DWORD>(0));
}

TEST(EndToEnd, NewerVersionSaysSoOpensTheSiteAndEnds) {
  MakerServices services("1", testing::NoDownloads());
  ASSERT_TRUE(services.Ready()) << "the stand-in services did not start";
  const std::string folder = testing::FreshTestFolder("e2e-newer");
  testing::OpenedAddressRecorder browser("https", folder + "opened.txt");
  ASSERT_TRUE(browser.Installed());

  // The box stays up for a while, so the window can be looked at behind it.
  TavrelDriver tavrel(folder, /*answerDelayMs=*/1500);
  ASSERT_TRUE(tavrel.Started());
  ASSERT_NE(tavrel.WaitForMainWindow(kStartMs), nullptr);
  ASSERT_TRUE(tavrel.WaitForDialogs(1, kFillMs)) << "no message appeared";
  EXPECT_EQ(tavrel.Caption(ctl::kOsText), L"");
  EXPECT_EQ(tavrel.Caption(ctl::kSystemType), L"");
  EXPECT_EQ(tavrel.Caption(ctl::kJavaVersion), L"");
  EXPECT_EQ(tavrel.ReleaseCount(), 0);

  EXPECT_EQ(tavrel.WaitForExit(kStartMs), std::optional<DWORD>(0));
  const auto dialogs = tavrel.Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, L"信息：");
  EXPECT_EQ(dialogs[0].text, L"发现新版本，请到官方网站下载！");
  EXPECT_EQ(browser.WaitForAddresses(1, 10000), std::vector<std::string>{"https://127.0.0.1"});
  EXPECT_EQ(services.Update().RequestLines(), std::vector<std::string>{kUpdateRequest});
  EXPECT_TRUE(services.Download().Requests().empty());
}

// An update service that takes the connection and never answers: the
// request gives up on its own and the window is filled as after "no newer
// version".
TEST(EndToEnd, ASilentUpdateServiceStillLetsTheWindowFill) {
  std::uint16_t port = 0;
  const testing::sock::Handle silent = testing::sock::ListenLoopback(port);  // never accepts, never answers
  ASSERT_NE(silent, testing::sock::kInvalid);
  testing::ChildPorts ports(0, port);
  TavrelDriver tavrel(testing::FreshTestFolder("e2e-silent-update"));
  ASSERT_TRUE(tavrel.Started());
  // The window answers only once the request has given up.
  ASSERT_NE(tavrel.WaitForMainWindow(60000), nullptr) << "the window never answered";
  EXPECT_TRUE(tavrel.WaitForNonEmptyCaption(ctl::kJavaVersion, kFillMs)) << "the window stayed empty";
  EXPECT_FALSE(tavrel.Caption(ctl::kOsText).empty());
  EXPECT_EQ(tavrel.ReleaseItems(), ExpectedReleases());
  EXPECT_TRUE(tavrel.Dialogs().empty());
  EXPECT_EQ(tavrel.Close(kStartMs), std::optional<DWORD>(0));
  testing::sock::Close(silent);
}

TEST(EndToEnd, StatusBarClickOpensTheSite) {
  MakerServices services("0", testing::NoDownloads());
  ASSERT_TRUE(services.Ready()) << "the stand-in services did not start";
  const std::string folder = testing::FreshTestFolder("e2e-site");
  testing::OpenedAddressRecorder browser("http", folder + "opened.txt");
  // Under Wine 8 a 32-bit process gets ERROR_INVALID_HANDLE creating the
  // machine's http class key, so only the 64-bit build can stand in a browser.
  if (!browser.Installed() && sizeof(void*) == 4) GTEST_SKIP() << "the stand-in browser cannot be registered";
  ASSERT_TRUE(browser.Installed());

  TavrelDriver tavrel(folder);
  StartAndWaitForFill(tavrel);
  // Every part is the link, not only the one that shows the address.
  const std::pair<const char*, int> parts[] = {{"官方网站", 40}, {"address", 170}, {"Version", 300}, {"v0.5", 500}};
  std::vector<std::string> expected;
  for (const auto& [part, x] : parts) {
    tavrel.ClickStatusBar(x);
    expected.push_back("http://127.0.0.1");
    EXPECT_EQ(browser.WaitForAddresses(expected.size(), 10000), expected) << part;
  }
  // One site per click.
  ::Sleep(500);
  EXPECT_EQ(browser.WaitForAddresses(expected.size(), 0), expected);
  EXPECT_TRUE(tavrel.Dialogs().empty());
  EXPECT_EQ(tavrel.Close(kStartMs), std::optional<DWORD>(0));
}

// The install button, from the click to the started installer. The
// stand-in installers are signed by the test signer whose root the test
// trusts; a download that does not match its signature is never started.
TEST(EndToEnd, InstallDownloadsTheInstallerAndStartsOnlyAGenuineOneOnce) {
  // The order every test takes them in: trusted roots, then the ports.
  testing::RootStoreLock rootStore;
  ASSERT_TRUE(rootStore.Held());
  testing::TrustedRoot trusted(testing::ReadCertificate(TrustFile("root.cer")));
  ASSERT_TRUE(trusted.Trusted()) << "the build makes the test PKI in " << TrustFile("");
  // A 32-bit system fetches the i586 installer and stores it under the x64 name.
  const std::string served = testing::WindowsIs64Bit() ? "/jdk-8u271-windows-x64.exe" : "/jdk-8u271-windows-i586.exe";

  struct Row {
    const char* installer;
    bool genuine;
  };
  for (const Row& row : {Row{"good", true}, Row{"overlay-changed", false}}) {
    SCOPED_TRACE(row.installer);
    const auto installer = testing::ReadWholeFile(TrustFile(std::string("installers/") + row.installer + ".exe"));
    ASSERT_TRUE(installer && !installer->empty()) << "the stand-in installer was not made";
    MakerServices services("0", [&](const testing::HttpRequest& request, testing::ServerConnection& connection) {
      if (request.target == served)
        testing::ServeContent(*installer, request, connection);
      else
        connection.Send(testing::ResponseHead(404, "Content-Length: 0\r\n"));
    });
    ASSERT_TRUE(services.Ready()) << "the stand-in services did not start";

    const std::string folder = testing::FreshTestFolder(std::string("e2e-install-") + row.installer);
    const std::string stored = folder + "download\\jdk-8u271-windows-x64.exe";
    const std::string marker = stored + ".started";
    TavrelDriver tavrel(folder);
    StartAndWaitForFill(tavrel);
    ASSERT_TRUE(tavrel.SelectRelease(0));
    EXPECT_EQ(tavrel.ReleaseSelection(), 0);
    EXPECT_FALSE(tavrel.Visible(ctl::kProgressBar));
    tavrel.Click(ctl::kInstallButton);

    ASSERT_TRUE(tavrel.WaitForCaption(ctl::kPercentLabel, L"100%", 30000))
        << "the percentage stopped at " << ::testing::PrintToString(tavrel.Caption(ctl::kPercentLabel));
    EXPECT_TRUE(tavrel.Visible(ctl::kProgressBar));
    const auto requests = services.Download().Requests();
    ASSERT_FALSE(requests.empty());
    for (const auto& request : requests) EXPECT_EQ(request.target, served);

    if (row.genuine) {
      ASSERT_TRUE(testing::WaitForFile(marker, 10000)) << "the installer was not started";
      EXPECT_TRUE(testing::ReadWholeFile(stored) == installer) << "the stored installer differs from the served one";
      // Started by its full path, quoted.
      ::Sleep(100);
      EXPECT_EQ(Lower(testing::ReadWholeFile(marker).value_or("")), Lower("\"" + stored + "\""));
      EXPECT_TRUE(tavrel.Dialogs().empty());
    } else {
      ASSERT_TRUE(tavrel.WaitForDialogs(1, 10000)) << "the refusal was not shown";
      EXPECT_EQ(tavrel.Dialogs()[0].title, L"信息：");
      EXPECT_EQ(tavrel.Dialogs()[0].text, L"安装程序签名校验失败，未启动");
      EXPECT_FALSE(testing::ReadWholeFile(stored)) << "the refused download was left in place";
    }
    // The timer has stopped: more ticks would start the installer again.
    ::DeleteFileA(marker.c_str());
    ::Sleep(2500);
    EXPECT_EQ(tavrel.Caption(ctl::kPercentLabel), L"100%");
    EXPECT_FALSE(testing::ReadWholeFile(marker)) << "the installer was started again";
    EXPECT_EQ(tavrel.Dialogs().size(), row.genuine ? 0u : 1u);
    EXPECT_EQ(tavrel.Close(kStartMs), std::optional<DWORD>(0));
  }
}

// Installs that cannot complete: each says so in a box, and no installer
// is ever started.
TEST(EndToEnd, InstallThatCannotCompleteSaysSoAndStartsNothing) {
  const std::string served = testing::WindowsIs64Bit() ? "/jdk-8u271-windows-x64.exe" : "/jdk-8u271-windows-i586.exe";
  const std::string content = testing::TestContent(300000);
  struct Row {
    const char* name;
    bool fileThere;                                            // a file of that name already in the download folder
    int status;                                                // the server's answer
    std::vector<std::pair<std::wstring, std::wstring>> boxes;  // title, text
  };
  const Row rows[] = {
      {"already-there", true, 200, {{L"友情提醒", L"本地目录已有此文件  "}, {L"信息：", L"下载失败"}}},
      {"not-found", false, 404, {{L"信息：", L"下载失败"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MakerServices services("0", [&](const testing::HttpRequest& request, testing::ServerConnection& connection) {
      if (row.status == 200 && request.target == served)
        testing::ServeContent(content, request, connection);
      else
        connection.Send(testing::ResponseHead(row.status, "Content-Length: 0\r\n"));
    });
    ASSERT_TRUE(services.Ready()) << "the stand-in services did not start";

    const std::string folder = testing::FreshTestFolder(std::string("e2e-install-") + row.name);
    const std::string stored = folder + "download\\jdk-8u271-windows-x64.exe";
    const std::string earlier = "an installer downloaded before";
    if (row.fileThere) {
      ASSERT_TRUE(::CreateDirectoryA((folder + "download").c_str(), nullptr));
      std::FILE* f = std::fopen(stored.c_str(), "wb");
      ASSERT_NE(f, nullptr);
      std::fwrite(earlier.data(), 1, earlier.size(), f);
      std::fclose(f);
    }
    TavrelDriver tavrel(folder);
    StartAndWaitForFill(tavrel);

    // Nothing chosen yet: the click only shows the empty progress bar.
    tavrel.Click(ctl::kInstallButton);
    ASSERT_TRUE(testing::WaitUntil([&] { return tavrel.Visible(ctl::kProgressBar); }, 5000));
    ::Sleep(1500);
    EXPECT_TRUE(services.Download().Requests().empty());
    EXPECT_EQ(tavrel.Caption(ctl::kPercentLabel), L"");

    ASSERT_TRUE(tavrel.SelectRelease(0));
    tavrel.Click(ctl::kInstallButton);
    ASSERT_TRUE(tavrel.WaitForDialogs(row.boxes.size(), 15000)) << "expected " << row.boxes.size() << " boxes";
    // Ticks that went on would show more boxes.
    ::Sleep(2500);
    const auto dialogs = tavrel.Dialogs();
    ASSERT_EQ(dialogs.size(), row.boxes.size());
    for (std::size_t i = 0; i < dialogs.size(); ++i) {
      EXPECT_EQ(dialogs[i].title, row.boxes[i].first) << i;
      EXPECT_EQ(dialogs[i].text, row.boxes[i].second) << i;
    }
    EXPECT_EQ(tavrel.Caption(ctl::kPercentLabel), L"0%");
    EXPECT_FALSE(testing::ReadWholeFile(stored + ".started"));
    if (row.fileThere)
      EXPECT_EQ(testing::ReadWholeFile(stored), earlier) << "the file already there was changed";
    else
      EXPECT_FALSE(testing::ReadWholeFile(stored)) << "a failed download left a file";
    EXPECT_EQ(tavrel.Close(kStartMs), std::optional<DWORD>(0));
  }
}

bool AnsiFileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A program folder named in Chinese (GBK, the system's code page here): the
// download folder is made in it, a failed download's file is removed from it,
// and the next click downloads and starts the installer. With the download
// folder missing and already there.
TEST(EndToEnd, InstallFromAFolderNamedInChineseFailsThenCompletes) {
  testing::RootStoreLock rootStore;
  ASSERT_TRUE(rootStore.Held());
  testing::TrustedRoot trusted(testing::ReadCertificate(TrustFile("root.cer")));
  ASSERT_TRUE(trusted.Trusted()) << "the build makes the test PKI in " << TrustFile("");
  ASSERT_EQ(::GetACP(), 936u) << "the prefix was not made under the Chinese locale";
  const std::string served = testing::WindowsIs64Bit() ? "/jdk-8u271-windows-x64.exe" : "/jdk-8u271-windows-i586.exe";
  const auto installer = testing::ReadWholeFile(TrustFile("installers/good.exe"));
  ASSERT_TRUE(installer && !installer->empty()) << "the stand-in installer was not made";

  for (bool folderThere : {false, true}) {
    SCOPED_TRACE(folderThere ? "download folder there" : "no download folder");
    std::atomic<bool> whole{false};
    MakerServices services("0", [&](const testing::HttpRequest& request, testing::ServerConnection& connection) {
      if (request.target != served) {
        connection.Send(testing::ResponseHead(404, "Content-Length: 0\r\n"));
      } else if (whole) {
        testing::ServeContent(*installer, request, connection);
      } else if (request.index == 0) {
        auto reply = testing::ReplyFor(*installer, request);
        connection.Send(reply.head);
        connection.Send(std::string_view(reply.body).substr(0, reply.body.size() / 2));  // then goes away
      } else {
        connection.Send(testing::ResponseHead(403, "Content-Length: 0\r\n"));
      }
    });
    ASSERT_TRUE(services.Ready()) << "the stand-in services did not start";

    const std::string folder =
        testing::FreshTestFolder(folderThere ? "e2e-chinese-there" : "e2e-chinese") + "中文目录\\";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    if (folderThere) {
      ASSERT_TRUE(::CreateDirectoryA((folder + "download").c_str(), nullptr));
    }
    const std::string stored = folder + "download\\jdk-8u271-windows-x64.exe";
    TavrelDriver tavrel(folder);
    StartAndWaitForFill(tavrel);
    ASSERT_TRUE(tavrel.SelectRelease(0));

    tavrel.Click(ctl::kInstallButton);
    ASSERT_TRUE(tavrel.WaitForDialogs(1, 30000)) << "the failed download was not reported";
    EXPECT_EQ(tavrel.Dialogs()[0].text, L"下载失败");
    EXPECT_TRUE(AnsiFileExists(folder + "download")) << "the download folder was not made";
    EXPECT_FALSE(AnsiFileExists(stored)) << "the unfinished installer was left";

    whole = true;
    tavrel.Click(ctl::kInstallButton);
    ASSERT_TRUE(testing::WaitForFile(stored + ".started", 30000))
        << "the retry did not start the installer; the percentage shows "
        << ::testing::PrintToString(tavrel.Caption(ctl::kPercentLabel));
    EXPECT_EQ(tavrel.Caption(ctl::kPercentLabel), L"100%");
    EXPECT_EQ(tavrel.Dialogs().size(), 1u);
    EXPECT_EQ(tavrel.Close(kStartMs), std::optional<DWORD>(0));
  }
}

// A system path far longer than any fixed buffer, of entries the program
// must leave unexpanded.
std::string LongSystemPath() {
  std::string path = "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem";
  for (int i = 0; path.size() <= 2100; ++i) path += ";C:\\Tools\\long-path-entry-" + std::to_string(i) + "\\bin";
  return path;
}

TEST(EndToEnd, ConfigureWritesTheSystemEnvironmentOnce) {
  struct Row {
    const char* key;      // the first JDK key that opens
    const char* release;  // its CurrentVersion, shown in the label
    const char* home;
    bool longPath;  // the prefix's own system path otherwise
  };
  const Row rows[] = {
      {kJdk8Key, "1.8", "C:\\Program Files\\Java\\jdk1.8.0_271", false},
      {kJdk11Key, "11.0.9", "C:\\Program Files\\Java\\jdk-11.0.9", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.release);
    MakerServices services("0", testing::NoDownloads());
    ASSERT_TRUE(services.Ready()) << "the stand-in services did not start";
    ASSERT_FALSE(KeyExists64(kJdk8Key) || KeyExists64(kJdk11Key)) << "this Wine prefix already has JDK keys";

    ScopedRegistryValue current(HKEY_LOCAL_MACHINE, row.key, "CurrentVersion", KEY_WOW64_64KEY);
    ASSERT_TRUE(current.SetText(row.release));
    ScopedRegistryValue javaHomeKey(HKEY_LOCAL_MACHINE, std::string(row.key) + "\\" + row.release, "JavaHome",
                                    KEY_WOW64_64KEY);
    ASSERT_TRUE(javaHomeKey.SetText(row.home));

    ScopedRegistryValue javaHome(HKEY_LOCAL_MACHINE, kEnvironmentKey, "JAVA_HOME");
    ScopedRegistryValue classPath(HKEY_LOCAL_MACHINE, kEnvironmentKey, "CLASSPATH");
    ScopedRegistryValue path(HKEY_LOCAL_MACHINE, kEnvironmentKey, "Path");
    ASSERT_TRUE(javaHome.Remove() && classPath.Remove());
    ASSERT_TRUE(path.Original()) << "the prefix has no system path";
    if (row.longPath) {
      ASSERT_TRUE(path.SetText(LongSystemPath(), REG_EXPAND_SZ));
    }
    const std::string before = row.longPath ? LongSystemPath() : path.Original()->Text();
    ASSERT_EQ(before.find("%JAVA_HOME%"), std::string::npos) << "a previous run left its entries: " << before;

    TavrelDriver tavrel(testing::FreshTestFolder(std::string("e2e-configure-") + row.release));
    StartAndWaitForFill(tavrel);
    EXPECT_EQ(tavrel.Caption(ctl::kJavaVersion), std::wstring(row.release, row.release + std::strlen(row.release)));
    EXPECT_EQ(tavrel.Caption(ctl::kSuperButton), L"一键配置");

    const std::string expectedPath = before + ";%JAVA_HOME%\\bin;%JAVA_HOME%\\jre\\bin";
    // The second click finds the entries there and adds nothing.
    for (std::size_t click = 1; click <= 2; ++click) {
      tavrel.Click(ctl::kSuperButton);
      ASSERT_TRUE(tavrel.WaitForDialogs(click, kFillMs)) << "no message after click " << click;
      const auto dialog = tavrel.Dialogs()[click - 1];
      EXPECT_EQ(dialog.title, L"信息：");
      EXPECT_EQ(dialog.text, L"JDK环境变量配置成功");

      auto storedHome = testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEnvironmentKey, "JAVA_HOME", 0);
      auto storedClassPath = testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEnvironmentKey, "CLASSPATH", 0);
      auto storedPath = testing::ReadRegistryValue(HKEY_LOCAL_MACHINE, kEnvironmentKey, "Path", 0);
      ASSERT_TRUE(storedHome && storedClassPath && storedPath);
      EXPECT_EQ(storedHome->Text(), row.home);
      EXPECT_EQ(storedHome->type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(storedClassPath->Text(), ".;%JAVA_HOME%\\lib\\dt.jar;%JAVA_HOME%\\lib\\tools.jar");
      EXPECT_EQ(storedClassPath->type, static_cast<DWORD>(REG_EXPAND_SZ));
      EXPECT_EQ(storedPath->Text(), expectedPath) << "after click " << click;
      EXPECT_EQ(storedPath->type, static_cast<DWORD>(REG_EXPAND_SZ));
    }
    EXPECT_EQ(tavrel.Dialogs().size(), 2u);
    EXPECT_EQ(tavrel.Close(kStartMs), std::optional<DWORD>(0));
  }
}

}  // namespace
}  // namespace tavrel

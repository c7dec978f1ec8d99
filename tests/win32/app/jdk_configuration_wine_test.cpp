// Detection, refresh and the configure click end to end: JDK keys in the
// registry, the real window, the real message box (answered as a user
// would), the system environment read back from the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <memory>
#include <mutex>

#include "app/handlers.h"
#include "app/main_window_ids.h"
#include "app/win32/main_window.h"
#include "runtime/registry_api.h"
#include "runtime/system.h"
#include "tests/support/win32/dialog_watcher.h"
#include "tests/support/win32/registry_sandbox.h"

namespace tavrel::app {
namespace {

using testing::ReadRaw;
using testing::ReadRawText;
using testing::WindowText;

constexpr const char* kSystemKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr const char* kSuffix = ";%JAVA_HOME%\\bin;%JAVA_HOME%\\jre\\bin";
constexpr const char* kHome8 = "C:\\Program Files\\Java\\jdk1.8.0_271";
constexpr const char* kHome11 = "C:\\Program Files\\Java\\jdk-11.0.9";
constexpr const char* kAdoptiumKey = "SOFTWARE\\Eclipse Adoptium";

// Records what reaches the platform's message box, which still shows it.
class RecordingMessages final : public MessageHost {
 public:
  std::int32_t MessageBox(const Text& message, std::uint32_t flags, const Text& title, WindowHandle owner) override {
    {
      std::lock_guard lock(mutex);
      calls.push_back({message, flags, title, owner});
    }
    return platform::DefaultMessageHost().MessageBox(message, flags, title, owner);
  }
  void ProcessEvents() override { platform::DefaultMessageHost().ProcessEvents(); }

  struct Call {
    Text message;
    std::uint32_t flags;
    Text title;
    WindowHandle owner;
  };
  std::mutex mutex;
  std::vector<Call> calls;

 private:
  ScopedSeam<g_messageHostSeam> installed_{*this};
};

// The registry as it is, except that the system set refuses changes, as it
// does for a user without administrator rights: Wine runs every program as
// an administrator.
class SystemSetDenied final : public RegistryApi {
 public:
  std::int32_t OpenCurrentUser(std::uint32_t sam, RegKey* result) override {
    return real_.OpenCurrentUser(sam, result);
  }
  std::int32_t OpenKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam,
                         RegKey* result) override {
    return Denied(parent, subKey, sam) ? ERROR_ACCESS_DENIED : real_.OpenKeyEx(parent, subKey, options, sam, result);
  }
  std::int32_t CreateKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam, RegKey* result,
                           std::uint32_t* disposition) override {
    return Denied(parent, subKey, sam) ? ERROR_ACCESS_DENIED
                                       : real_.CreateKeyEx(parent, subKey, options, sam, result, disposition);
  }
  std::int32_t QueryValueEx(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) override {
    return real_.QueryValueEx(key, name, type, data, size);
  }
  std::int32_t SetValueEx(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) override {
    return real_.SetValueEx(key, name, type, data, size);
  }
  std::int32_t EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) override {
    return real_.EnumKey(key, index, name, nameSize);
  }
  std::int32_t EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize, std::uint32_t* type,
                         std::uint8_t* data, std::uint32_t* dataSize) override {
    return real_.EnumValue(key, index, name, nameSize, type, data, dataSize);
  }
  std::int32_t DeleteValue(RegKey key, const char* name) override { return real_.DeleteValue(key, name); }
  std::int32_t DeleteKey(RegKey key, const char* subKey) override { return real_.DeleteKey(key, subKey); }
  std::int32_t CloseKey(RegKey key) override { return real_.CloseKey(key); }
  Text ExpandEnvironmentStrings(const Text& text) override { return real_.ExpandEnvironmentStrings(text); }

 private:
  static bool Denied(RegKey parent, const char* subKey, std::uint32_t sam) {
    return parent == RootKey(kHkeyLocalMachine) && subKey && _stricmp(subKey, kSystemKey) == 0 &&
           (sam & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
  }
  RegistryApi& real_ = platform::DefaultRegistryApi();
  ScopedSeam<g_registrySeam> installed_{*this};
};

// The window as described, without the created sequence (which reaches the
// network): the tests run the detection themselves, as that sequence would.
WindowDescription WithoutCreated() {
  WindowDescription d = MainWindowDescription();
  d.events = {};
  return d;
}

void ImportJdk(const char* key, const char* release, const char* home) {
  // A 64-bit JDK registers in the 64-bit view, the only one on 32-bit Windows.
  testing::WriteRawText(HKEY_LOCAL_MACHINE, key, "CurrentVersion", release, REG_SZ, KEY_WOW64_64KEY);
  testing::WriteRawText(HKEY_LOCAL_MACHINE, std::string(key) + "\\" + release, "JavaHome", home, REG_SZ,
                        KEY_WOW64_64KEY);
}

class ConfigureWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveJdks();
    ASSERT_TRUE(original.Original()) << "the prefix has a system path";
    originalPath = std::string(original.Original()->data.begin(), original.Original()->data.end());
    originalPath = originalPath.substr(0, originalPath.find('\0'));
    DrainQuit();
    ASSERT_TRUE(window->Create(::GetModuleHandleW(nullptr)));
    g_uiHostSeam.Install(window.get());
  }
  void TearDown() override {
    g_uiHostSeam.Install(nullptr);
    window.reset();
    DrainQuit();
    RemoveJdks();
  }
  // A closed main window ends the message loop with WM_QUIT; left in the
  // queue, it would end the next message box at once.
  static void DrainQuit() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
  }
  static void RemoveJdks() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
      for (const char* key : {"SOFTWARE\\JavaSoft", kAdoptiumKey}) testing::DeleteTree(HKEY_LOCAL_MACHINE, key, view);
  }

  HWND Control(ControlId id) {
    const auto& controls = description.controls;
    for (std::size_t i = 0; i < controls.size(); ++i)
      if (controls[i].id == id) return ::GetDlgItem(window->Handle(), static_cast<int>(100 + i));
    return nullptr;
  }
  // A click as the button reports it to the window.
  void ClickSuperButton() {
    HWND button = Control(ctl::kSuperButton);
    ::SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
  }
  std::wstring Label() { return WindowText(Control(ctl::kJavaVersion)); }
  std::wstring Button() { return WindowText(Control(ctl::kSuperButton)); }

  testing::SavedValue original{HKEY_LOCAL_MACHINE, kSystemKey, "Path"};
  testing::SavedValue javaHome{HKEY_LOCAL_MACHINE, kSystemKey, "JAVA_HOME"};
  testing::SavedValue classPath{HKEY_LOCAL_MACHINE, kSystemKey, "CLASSPATH"};
  std::string originalPath;
  WindowDescription description = WithoutCreated();
  std::unique_ptr<win32::MainWindow> window = std::make_unique<win32::MainWindow>(description);
  RecordingMessages messages;
};

TEST_F(ConfigureWineTest, RefreshUntilDetectedThenConfigure) {
  DetectInstalledJdk();
  EXPECT_EQ(Label(), L"Java未安装");
  EXPECT_EQ(Button(), L"刷新");
  ClickSuperButton();
  EXPECT_EQ(Label(), L"Java未安装");

  ImportJdk("SOFTWARE\\JavaSoft\\JDK", "11.0.9", kHome11);
  ImportJdk("SOFTWARE\\JavaSoft\\Java Development Kit", "1.8", kHome8);
  ClickSuperButton();
  EXPECT_EQ(Label(), L"1.8");
  EXPECT_EQ(Button(), L"一键配置");
  EXPECT_TRUE(messages.calls.empty()) << "detecting shows no message";

  testing::DialogWatcher user(::GetCurrentProcessId(), IDOK);
  ClickSuperButton();  // returns once the box is dismissed
  ASSERT_TRUE(user.WaitFor(1, 5000));
  auto seen = user.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, L"信息：");
  EXPECT_EQ(seen[0].text, L"JDK环境变量配置成功");
  ASSERT_EQ(messages.calls.size(), 1u);
  EXPECT_EQ(messages.calls[0].flags, 64u | MB_TASKMODAL);
  EXPECT_EQ(messages.calls[0].owner, 0u);

  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kSystemKey, "JAVA_HOME")->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "JAVA_HOME"), kHome8);
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kSystemKey, "CLASSPATH")->type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "CLASSPATH"),
            ".;%JAVA_HOME%\\lib\\dt.jar;%JAVA_HOME%\\lib\\tools.jar");
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kSystemKey, "Path")->type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "Path"), originalPath + kSuffix);
}

TEST_F(ConfigureWineTest, Release11AndALongPathThatSurvives) {
  ImportJdk("SOFTWARE\\JavaSoft\\JDK", "11.0.9", kHome11);
  // Longer than the 2048-character buffers a path could be cut at, with
  // references only the stored form keeps; the prefix's own entries first,
  // so the prefix stays usable whatever happens.
  std::string longPath = originalPath;
  for (int i = 0; longPath.size() <= 3000; ++i) longPath += ";%SystemRoot%\\Tavrel" + std::to_string(i);
  ASSERT_TRUE(testing::WriteRawText(HKEY_LOCAL_MACHINE, kSystemKey, "Path", longPath, REG_EXPAND_SZ));

  DetectInstalledJdk();
  ASSERT_EQ(Label(), L"11.0.9");
  testing::DialogWatcher user(::GetCurrentProcessId(), IDOK);
  for (int click = 1; click <= 2; ++click) {
    ClickSuperButton();
    ASSERT_TRUE(user.WaitFor(click, 5000));
    EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "Path"), longPath + kSuffix) << "click " << click;
    EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kSystemKey, "Path")->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "JAVA_HOME"), kHome11);
  }
  for (const auto& seen : user.Seen()) EXPECT_EQ(seen.text, L"JDK环境变量配置成功");
}

TEST_F(ConfigureWineTest, AMissingJavaHomeWritesNothingAndSaysSo) {
  testing::WriteRawText(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Development Kit", "CurrentVersion", "1.8", REG_SZ,
                        KEY_WOW64_64KEY);
  testing::DeleteRawValue(HKEY_LOCAL_MACHINE, kSystemKey, "JAVA_HOME");
  DetectInstalledJdk();
  ASSERT_EQ(Label(), L"1.8");
  testing::DialogWatcher user(::GetCurrentProcessId(), IDOK);
  ClickSuperButton();
  ASSERT_TRUE(user.WaitFor(1, 5000));
  EXPECT_EQ(user.Seen()[0].text, L"JDK环境变量配置失败");
  ASSERT_EQ(messages.calls.size(), 1u);
  EXPECT_EQ(messages.calls[0].flags, 16u | MB_TASKMODAL);
  EXPECT_FALSE(ReadRaw(HKEY_LOCAL_MACHINE, kSystemKey, "JAVA_HOME"));
  EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "Path"), originalPath);
}

// A top-level window of another thread that counts the environment
// announcements it is sent, and may sit in the first one until released.
class SettingsListener {
 public:
  explicit SettingsListener(bool blocks) : blocks_(blocks), release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] { Run(); });
    while (!ready_) ::Sleep(10);
  }
  ~SettingsListener() {
    ::SetEvent(release_);
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    thread_.join();
    ::CloseHandle(release_);
  }
  int Count() const { return count_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<SettingsListener*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // A Unicode window gets the ANSI broadcast's text as a wide one.
    if (message == WM_SETTINGCHANGE && self && lParam &&
        std::wstring(reinterpret_cast<const wchar_t*>(lParam)) == L"Environment") {
      ++self->count_;
      if (self->blocks_) ::WaitForSingleObject(self->release_, INFINITE);
      return 0;
    }
    if (message == WM_CLOSE) {
      ::DestroyWindow(hwnd);
      ::PostQuitMessage(0);
      return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
  void Run() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TavrelSettingsListener";
    ::RegisterClassW(&wc);
    hwnd_ =
        ::CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready_ = true;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  }

  const bool blocks_;
  HANDLE release_;
  HWND hwnd_ = nullptr;
  std::atomic<bool> ready_{false};
  std::atomic<int> count_{0};
  std::thread thread_;
};

// Running programs are told once for the click's three writes, and a
// program that sits in the announcement does not keep the click waiting.
TEST_F(ConfigureWineTest, OneAnnouncementThatNoBusyWindowHolds) {
  ImportJdk("SOFTWARE\\JavaSoft\\Java Development Kit", "1.8", kHome8);
  DetectInstalledJdk();
  ASSERT_EQ(Label(), L"1.8");
  testing::DialogWatcher user(::GetCurrentProcessId(), IDOK);
  for (bool blocks : {false, true}) {
    SCOPED_TRACE(blocks ? "a window that sits in it" : "a window that answers");
    SettingsListener listener(blocks);
    ClickSuperButton();  // returns once the box is dismissed
    EXPECT_EQ(listener.Count(), 1);
  }
  for (const auto& seen : user.Seen()) EXPECT_EQ(seen.text, L"JDK环境变量配置成功");
}

// A machine whose only JDK came from another distribution: found by its
// version subkey, configured from its folder value.
TEST_F(ConfigureWineTest, AnotherDistributionsJdkIsShownAndConfigured) {
  for (auto [version, home] : {std::pair{"17.0.9.9", "C:\\older\\"}, std::pair{"17.0.10.7", "C:\\newer\\"}})
    ASSERT_TRUE(testing::WriteRawText(HKEY_LOCAL_MACHINE,
                                      std::string(kAdoptiumKey) + "\\JDK\\" + version + "\\hotspot\\MSI", "Path", home,
                                      REG_SZ, KEY_WOW64_64KEY));
  DetectInstalledJdk();
  ASSERT_EQ(Label(), L"17.0.10.7");
  EXPECT_EQ(Button(), L"一键配置");
  testing::DialogWatcher user(::GetCurrentProcessId(), IDOK);
  ClickSuperButton();
  ASSERT_TRUE(user.WaitFor(1, 5000));
  EXPECT_EQ(user.Seen()[0].text, L"JDK环境变量配置成功");
  EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "JAVA_HOME"), "C:\\newer\\");
  EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "Path"), originalPath + kSuffix);
}

// A user who cannot write the system set is asked, and his answer decides
// whether his own set gets the variables; the system set is never touched.
TEST_F(ConfigureWineTest, AStandardUserIsAskedAndConfiguresHisOwnSet) {
  ImportJdk("SOFTWARE\\JavaSoft\\Java Development Kit", "1.8", kHome8);
  for (int answer : {IDYES, IDNO}) {
    SCOPED_TRACE(answer == IDYES ? "yes" : "no");
    testing::SavedValue userHome{HKEY_CURRENT_USER, "Environment", "JAVA_HOME"};
    testing::SavedValue userClassPath{HKEY_CURRENT_USER, "Environment", "CLASSPATH"};
    testing::SavedValue userPath{HKEY_CURRENT_USER, "Environment", "Path"};
    ASSERT_TRUE(testing::WriteRawText(HKEY_CURRENT_USER, "Environment", "Path", "C:\\tavrel-user", REG_SZ));
    testing::DeleteRawValue(HKEY_CURRENT_USER, "Environment", "JAVA_HOME");
    messages.calls.clear();
    SystemSetDenied standardUser;
    DetectInstalledJdk();
    ASSERT_EQ(Label(), L"1.8");

    testing::DialogWatcher user(::GetCurrentProcessId(), answer);
    ClickSuperButton();  // returns once both boxes are dismissed
    ASSERT_TRUE(user.WaitFor(2, 5000));
    auto seen = user.Seen();
    EXPECT_EQ(seen[0].title, L"信息：");
    EXPECT_EQ(seen[0].text, L"无法写入系统环境变量（需要管理员权限），是否改为当前用户配置？");
    EXPECT_EQ(seen[1].text, answer == IDYES ? L"JDK环境变量配置成功（当前用户）" : L"JDK环境变量配置失败");
    ASSERT_EQ(messages.calls.size(), 2u);
    EXPECT_EQ(messages.calls[0].flags, static_cast<std::uint32_t>(MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL));
    EXPECT_EQ(messages.calls[1].flags, (answer == IDYES ? 64u : 16u) | MB_TASKMODAL);

    if (answer == IDYES) {
      EXPECT_EQ(ReadRawText(HKEY_CURRENT_USER, "Environment", "JAVA_HOME"), kHome8);
      EXPECT_EQ(ReadRawText(HKEY_CURRENT_USER, "Environment", "CLASSPATH"),
                ".;%JAVA_HOME%\\lib\\dt.jar;%JAVA_HOME%\\lib\\tools.jar");
      EXPECT_EQ(ReadRawText(HKEY_CURRENT_USER, "Environment", "Path"), std::string("C:\\tavrel-user") + kSuffix);
      EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, "Environment", "Path")->type, static_cast<DWORD>(REG_EXPAND_SZ));
    } else {
      EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, "Environment", "JAVA_HOME"));
      EXPECT_EQ(ReadRawText(HKEY_CURRENT_USER, "Environment", "Path"), "C:\\tavrel-user");
    }
    EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, kSystemKey, "JAVA_HOME"), javaHome.Original());
    EXPECT_EQ(ReadRawText(HKEY_LOCAL_MACHINE, kSystemKey, "Path"), originalPath);
  }
}

TEST_F(ConfigureWineTest, AJdkOnlyInThe32BitViewIsNotFoundOn64BitWindows) {
  testing::WriteRawText(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft\\Java Development Kit", "CurrentVersion", "1.8", REG_SZ,
                        KEY_WOW64_32KEY);
  DetectInstalledJdk();
  EXPECT_EQ(Label(), testing::NativeSystemIs64Bit() ? L"Java未安装" : L"1.8");
}

}  // namespace
}  // namespace tavrel::app

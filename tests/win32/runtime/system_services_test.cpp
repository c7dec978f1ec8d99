#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "runtime/registry_api.h"
#include "runtime/system.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/test_paths.h"
#include "tests/support/win32/child_process.h"
#include "tests/support/win32/dialog_watcher.h"
#include "tests/support/win32/tavrel_driver.h"

namespace tavrel {
namespace {

using testing::TempPath;
using testing::TestProgram;

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(RunProgram, WithWaitReturnsAfterTheProcessEnded) {
  std::string marker = TempPath("wait.marker");
  std::remove(marker.c_str());
  EXPECT_EQ(RunProgram(TestProgram("runtime_child") + " sleep 300 " + marker, 1), 1);
  EXPECT_TRUE(Exists(marker));
}

TEST(RunProgram, WithoutWaitReturnsWhileTheProcessRuns) {
  std::string marker = TempPath("nowait.marker");
  std::remove(marker.c_str());
  EXPECT_EQ(RunProgram(TestProgram("runtime_child") + " sleep 3000 " + marker), 1);
  EXPECT_FALSE(Exists(marker));  // a console child never becomes idle: at most 1 s was waited
  for (int i = 0; i < 100 && !Exists(marker); ++i) ::Sleep(100);
  EXPECT_TRUE(Exists(marker));
}

TEST(RunProgram, FailsForAMissingProgram) {
  EXPECT_EQ(RunProgram("Z:\\no\\such\\program.exe"), 0);
  EXPECT_EQ(RunProgram(""), 0);
}

TEST(RunDirectory, IsTheExecutablesFolderWithoutTrailingBackslash) {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string expected(path);
  expected.resize(expected.find_last_of('\\'));
  EXPECT_EQ(RunDirectory(), expected);
}

// Starts a host program by its Unix command line; Wine does not wait for it.
bool RunHostCommand(const std::string& commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// A program at a drive root starts in that root, not in whatever directory
// the drive had last ("C:" alone means the latter).
TEST(StartRuntime, AProgramAtADriveRootStartsInTheRoot) {
  testing::FreshTestFolder("drive-root");
  // Wine's drives are links in the prefix's dosdevices folder.
  char prefix[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH), 0u) << "runs under Wine only";
  const std::string link = std::string(prefix) + "/dosdevices/t:";
  ASSERT_TRUE(RunHostCommand("/bin/ln -sfn " + testing::BinaryDir() + "/test-files/drive-root " + link));
  ASSERT_TRUE(testing::WaitUntil([] { return Exists("T:\\"); }, 10000)) << "drive T: did not appear";
  ASSERT_TRUE(::CreateDirectoryA("T:\\elsewhere", nullptr));
  ASSERT_TRUE(::CopyFileA(TestProgram("runtime_child").c_str(), "T:\\child.exe", FALSE));
  // The drive's last directory, as the child inherits it.
  ASSERT_TRUE(::SetEnvironmentVariableA("=T:", "T:\\elsewhere"));
  const std::string marker = TempPath("drive-root.marker");
  EXPECT_EQ(RunProgram("T:\\child.exe current-directory " + marker, 1), 1);
  ::SetEnvironmentVariableA("=T:", nullptr);
  RunHostCommand("/bin/rm -f " + link);
  std::ifstream in(marker);
  std::string directory;
  std::getline(in, directory);
  EXPECT_EQ(directory, "T:\\");
}

TEST(ShowMessageBox, ReturnsTheButtonNumberAndIsTaskModal) {
  struct Row {
    UINT flags;
    int button;
    std::int32_t expected;
  };
  for (Row r : {Row{0, IDOK, 0}, Row{MB_OKCANCEL, IDCANCEL, 1}, Row{MB_YESNO | 64, IDYES, 5}, Row{MB_YESNO, IDNO, 6}}) {
    testing::DialogWatcher watcher(::GetCurrentProcessId(), r.button);
    EXPECT_EQ(ShowMessageBox("发现新版本，请到官方网站下载！", r.flags), r.expected);
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"信息：");
    EXPECT_EQ(seen[0].text, L"发现新版本，请到官方网站下载！");
  }
}

class RegistryTextTest : public ::testing::Test {
 protected:
  static constexpr const char* kKey = "Software\\TavrelTest\\RegistryText";
  void SetUp() override {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    auto set = [&](const char* name, DWORD type, const void* data, DWORD size) {
      ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    };
    set("plain", REG_SZ, "C:\\Java\\jdk", 12);
    set("expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15);
    DWORD number = 7;
    set("number", REG_DWORD, &number, 4);
    set("\xD6\xD0", REG_SZ, "gbk name", 9);  // a value named with a GBK character
    ::RegCloseKey(key);
  }
  void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\TavrelTest"); }
};

TEST_F(RegistryTextTest, ReadsTextValuesByRootCode) {
  char root[MAX_PATH] = {};
  ::GetEnvironmentVariableA("SystemRoot", root, MAX_PATH);
  const std::string base = std::string(kKey) + "\\";
  struct Row {
    std::int32_t rootCode;
    std::string path;
    std::optional<TextView> fallback;
    std::string expected;
  };
  const Row rows[] = {
      {3, base + "plain", std::nullopt, "C:\\Java\\jdk"},
      {9, base + "plain", std::nullopt, "C:\\Java\\jdk"},  // any other code is the current user
      {3, base + "expand", std::nullopt, std::string(root) + "\\x"},
      {3, base + "number", std::nullopt, ""},
      {3, base + "number", TextView("dflt"), "dflt"},
      {3, base + "missing", std::nullopt, ""},
      {3, base + "missing", TextView("dflt"), "dflt"},
      {4, base + "plain", std::nullopt, ""},  // not under the local machine
      {3, base + "\xD6\xD0", std::nullopt, "gbk name"},
  };
  for (const Row& r : rows) EXPECT_EQ(ReadRegistryText(r.rootCode, r.path, r.fallback), r.expected) << r.path;

  // An expansion past the 32 K the function can make comes back whole or
  // unexpanded, never empty.
  const std::string part(20000, 'a');
  ASSERT_TRUE(::SetEnvironmentVariableA("TAVREL_LONG_PART", part.c_str()));
  for (const std::string stored : {"%TAVREL_LONG_PART%", "%TAVREL_LONG_PART%%TAVREL_LONG_PART%"}) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key), 0);
    ::RegSetValueExA(key, "long", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(stored.c_str()),
                     static_cast<DWORD>(stored.size() + 1));
    ::RegCloseKey(key);
    const Text read = ReadRegistryText(3, base + "long");
    const std::string expanded = stored.size() > 20 ? part + part : part;
    EXPECT_TRUE(read == expanded || read == stored) << stored << " read as " << read.size() << " bytes";
  }
  ::SetEnvironmentVariableA("TAVREL_LONG_PART", nullptr);
  EXPECT_NE(ReadRegistryText(4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuild"), "");
}

}  // namespace
}  // namespace tavrel

namespace tavrel {
namespace {

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) ++*reinterpret_cast<int*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(ProcessEvents, DispatchesWaitingMessagesAndLeavesQuit) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &CountingProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TavrelProcessEventsTest";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(hwnd, nullptr);
  int count = 0;
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&count));
  ::PostMessageW(hwnd, WM_APP, 0, 0);
  ::PostMessageW(hwnd, WM_APP, 0, 0);
  ProcessEvents();
  EXPECT_EQ(count, 2);

  ::PostQuitMessage(5);
  ::PostMessageW(hwnd, WM_APP, 0, 0);
  ProcessEvents();
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // still there for the loop
  EXPECT_EQ(msg.wParam, 5u);
  ::DestroyWindow(hwnd);
}

TEST(FatalError, OutOfMemoryShowsTheSizeInTheErrorBox) {
  // A request too large for any heap, and a heap used up to its last byte
  // while the end-of-program list's lock is held: the fatal path may then
  // neither allocate nor take that lock.
  for (const char* mode : {"out-of-memory", "out-of-memory-in-end-list"}) {
    SCOPED_TRACE(mode);
#if !defined(__i386__)
    if (std::string(mode) == "out-of-memory-in-end-list") continue;  // no 64-bit address space can be used up
#endif
    std::remove(TempPath("oom.marker").c_str());
    testing::ChildProcess child(TestProgram("runtime_child") + " " + mode + " " + TempPath("oom.marker"));
    ASSERT_TRUE(child.Valid());
    testing::DialogWatcher watcher(child.Id());
    auto code = child.Wait(20000);
    if (!code) child.Kill();
    EXPECT_EQ(code, std::optional<DWORD>(0xFFFFFFFFu));
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"错误");
    EXPECT_EQ(seen[0].text.rfind(L"运行时出错!分配 ", 0), 0u);
    EXPECT_NE(seen[0].text.find(L" 字节内存失败!"), std::wstring::npos);
    EXPECT_FALSE(Exists(TempPath("oom.marker"))) << "no end-of-program routine ran";
  }
}

}  // namespace
}  // namespace tavrel

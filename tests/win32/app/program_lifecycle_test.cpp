#include <gtest/gtest.h>

#include "tests/support/test_paths.h"
#include "tests/support/win32/child_process.h"
#include "tests/support/win32/dialog_watcher.h"

namespace tavrel {
namespace {

// The program built against loopback servers, so that its start-up never
// reaches out of this machine.
std::string ProductPath() {
  std::string path = "Z:" + testing::BinaryDir() + "/e2e/Tavrel.exe";
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

struct FindMain {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param) {
  auto* find = reinterpret_cast<FindMain*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == find->processId && testing::WindowText(hwnd) == L"Tavrel - Orvane出品") {
    find->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Closing the main window ends the program with exit code 0.
TEST(Program, ClosingTheWindowEndsWithZero) {
  testing::ChildProcess tavrel(ProductPath());
  ASSERT_TRUE(tavrel.Valid());
  testing::DialogWatcher answerEveryBox(tavrel.Id());
  FindMain find{tavrel.Id(), nullptr};
  for (int i = 0; i < 300 && !find.found; ++i) {
    ::EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&find));
    if (!find.found) ::Sleep(100);
  }
  ASSERT_NE(find.found, nullptr) << "the main window did not appear";
  ::PostMessageW(find.found, WM_CLOSE, 0, 0);
  auto code = tavrel.Wait(30000);
  if (!code) tavrel.Kill();
  EXPECT_EQ(code, std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tavrel

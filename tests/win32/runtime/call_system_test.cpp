#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "runtime/win32/call_system.h"
#include "tests/support/test_paths.h"
#include "tests/support/win32/child_process.h"
#include "tests/support/win32/dialog_watcher.h"
#include "runtime/win32/wide.h"

namespace tavrel {
namespace {

using testing::ChildProcess;
using testing::DialogWatcher;
using testing::TempPath;
using testing::TestProgram;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(CallSystemFunction, BindsOnFirstCallAndKeepsTheAddress) {
  static win32::SystemFunction tickCount("kernel32.dll", "GetTickCount");
  void* first = tickCount.Address();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetTickCount")));
  auto before = ::GetTickCount();
  auto value = static_cast<DWORD>(win32::CallSystemFunction(tickCount));
  EXPECT_GE(value, before);
  EXPECT_EQ(tickCount.Address(), first);

  static win32::SystemFunction lstrlen("kernel32.dll", "lstrlenA");
  EXPECT_EQ(win32::CallSystemFunction(lstrlen, {reinterpret_cast<std::uintptr_t>("tavrel")}), 6u);

  static win32::SystemFunction missing("kernel32.dll", "TavrelNoSuchExport");
  EXPECT_EQ(missing.TryAddress(), nullptr);
}

// A miss is remembered and its library loaded once, however often the
// function, or another one of the library, is asked for.
TEST(CallSystemFunction, AMissLoadsItsLibraryOnce) {
  ASSERT_EQ(::GetModuleHandleA("pidgen.dll"), nullptr) << "loaded by something else";
  static win32::SystemFunction missing("pidgen.dll", "TavrelNoSuchExport");
  static win32::SystemFunction other("PIDGEN.DLL", "TavrelNoOtherExport");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(missing.TryAddress(), nullptr);
  EXPECT_EQ(other.TryAddress(), nullptr);
  HMODULE module = ::GetModuleHandleA("pidgen.dll");
  ASSERT_NE(module, nullptr) << "the library is kept";
  ::FreeLibrary(module);  // the one reference taken
  EXPECT_EQ(::GetModuleHandleA("pidgen.dll"), nullptr);
}

TEST(CallSystemFunction, BindsAnExportByOrdinal) {
  ChildProcess child(TestProgram("runtime_child") + " ordinal");
  ASSERT_TRUE(child.Valid());
  EXPECT_EQ(child.Wait(20000), std::optional<DWORD>(5));
}

TEST(CallByAddress, CallsWithUpToFiveArgumentsAndSurvivesFewerParameters) {
  void* lstrlen = reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "lstrlenA"));
  // lstrlenA takes one argument; four extra ones must not unbalance the frame.
  EXPECT_EQ(win32::CallByAddress(lstrlen, reinterpret_cast<std::uintptr_t>("abc")), 3u);
  EXPECT_EQ(win32::CallByAddress(lstrlen, reinterpret_cast<std::uintptr_t>("abcd"), 1, 2, 3, 4), 4u);
  char buffer[255] = {};
  void* wow64Dir =
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryA"));
  if (wow64Dir) {
    std::uint32_t n = win32::CallByAddress(wow64Dir, reinterpret_cast<std::uintptr_t>(buffer), 255);
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    BOOL is64BitProcess = sizeof(void*) == 8;
    EXPECT_EQ(static_cast<std::int32_t>(n) > 0, wow64 || is64BitProcess);
  }
}

struct FatalCase {
  const char* mode;
  const wchar_t* message;
};

class FatalChild : public ::testing::TestWithParam<FatalCase> {};

// A fatal error shows the error box, ends with -1 and runs no end-of-program
// routine.
TEST_P(FatalChild, ShowsTheErrorBoxAndEndsWithMinusOne) {
  const FatalCase& c = GetParam();
#if !defined(__i386__)
  if (std::string(c.mode) == "stack-fault") GTEST_SKIP() << "the caller cleans the stack on x64";
#endif
  std::string marker = TempPath(std::string(c.mode) + ".marker");
  std::remove(marker.c_str());
  ChildProcess child(TestProgram("runtime_child") + " " + c.mode + " " + marker);
  ASSERT_TRUE(child.Valid());
  DialogWatcher watcher(child.Id());
  auto code = child.Wait(20000);
  if (!code) child.Kill();
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0xFFFFFFFFu);
  auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, L"错误");
  EXPECT_EQ(seen[0].text, std::wstring(L"运行时出错!") + c.message);
  EXPECT_EQ(ReadFile(marker), "");
}

INSTANTIATE_TEST_SUITE_P(
    Runtime, FatalChild,
    ::testing::Values(FatalCase{"missing-export",
                                L"无法找到指定DLL库文件“kernel32.dll”中的输出命令“TavrelNoSuchExport”"},
                      FatalCase{"stack-fault", L"调用DLL命令后发现堆栈错误"}),
    [](const auto& info) { return std::string(info.param.mode) == "stack-fault" ? "StackFault" : "MissingExport"; });

TEST(ExitProgram, RunsTheRoutinesThenEndsWithTheCode) {
  std::string marker = TempPath("exit.marker");
  std::remove(marker.c_str());
  ChildProcess child(TestProgram("runtime_child") + " exit-program " + marker);
  ASSERT_TRUE(child.Valid());
  EXPECT_EQ(child.Wait(20000), std::optional<DWORD>(4));
  EXPECT_EQ(ReadFile(marker), "end 0\n");
}

}  // namespace
}  // namespace tavrel

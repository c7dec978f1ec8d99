// A child program for the runtime's Windows tests. Its first argument picks
// what it does:
//   missing-export MARKER   registers an end-of-program routine that writes
//                           MARKER, then calls an export that does not exist
//   stack-fault MARKER      the same, then calls a function declared with
//                           the wrong number of arguments (32-bit only)
//   ordinal                 binds SysStringLen by ordinal and exits with its
//                           result for a 5-character string
//   sleep MS MARKER         sleeps, then writes MARKER and exits with 3
//   exit-program MARKER     registers the routine, then ExitProgram(4)
//   out-of-memory X         asks for more memory than a process can have
//   out-of-memory-in-end-list MARKER
//                           registers an end-of-program routine, uses up
//                           every byte the heap can give, then registers
//                           another, for which the list cannot grow
//                           (32-bit only)
//   current-directory FILE  starts the runtime, then writes the current
//                           directory into FILE
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/program_end.h"
#include "runtime/startup.h"
#include "runtime/win32/call_system.h"

namespace {

std::string g_marker;

void WriteMarker(std::int32_t place) {
  if (FILE* f = std::fopen(g_marker.c_str(), "ab")) {
    std::fprintf(f, "end %d\n", place);
    std::fclose(f);
  }
}

void WriteOtherMarker(std::int32_t place) { WriteMarker(place); }

}  // namespace

int main(int argc, char** argv) {
  using tavrel::win32::CallSystemFunction;
  using tavrel::win32::SystemFunction;
  if (argc < 2) return 2;
  std::string mode = argv[1];
  if (argc >= 3) g_marker = argv[argc - 1];

  if (mode == "missing-export") {
    tavrel::OnProgramEnd(&WriteMarker);
    static SystemFunction missing("kernel32.dll", "TavrelNoSuchExport");
    CallSystemFunction(missing, {1, 2});
    return 0;  // not reached
  }
  if (mode == "stack-fault") {
    tavrel::OnProgramEnd(&WriteMarker);
    static SystemFunction tickCount("kernel32.dll", "GetTickCount");  // takes no argument
    CallSystemFunction(tickCount, {7, 8});
    return 0;  // reached only where the caller cleans the stack
  }
  if (mode == "ordinal") {
    static SystemFunction sysStringLen("oleaut32.dll", "#7");
    BSTR s = ::SysAllocString(L"12345");
    auto n = CallSystemFunction(sysStringLen, {reinterpret_cast<std::uintptr_t>(s)});
    ::SysFreeString(s);
    return static_cast<int>(n);
  }
  if (mode == "sleep" && argc >= 4) {
    ::Sleep(static_cast<DWORD>(std::atoi(argv[2])));
    WriteMarker(0);
    return 3;
  }
  if (mode == "exit-program") {
    tavrel::OnProgramEnd(&WriteMarker);
    tavrel::ExitProgram(4);
  }
  if (mode == "current-directory") {
    tavrel::StartRuntime();
    char directory[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, directory);
    if (FILE* f = std::fopen(g_marker.c_str(), "wb")) {
      std::fputs(directory, f);
      std::fclose(f);
    }
    return 0;
  }
  if (mode == "out-of-memory-in-end-list") {
    tavrel::OnProgramEnd(&WriteMarker);  // the list and its lock exist
    // As in the program, whose window is up: the display driver is loaded.
    ::DestroyWindow(::CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    // Kept, never freed: the heap is to stay empty. Through a volatile
    // pointer, so that the compiler keeps every call.
    void* volatile block = nullptr;
    for (std::size_t size = std::size_t{1} << 30; size > 0; size /= 2)
      for (;;) {
        block = std::malloc(size);
        if (block == nullptr) break;
      }
    tavrel::OnProgramEnd(&WriteOtherMarker);  // the list cannot grow: out of memory with its lock held
    return 0;
  }
  if (mode == "out-of-memory") {
    volatile std::size_t size = static_cast<std::size_t>(-1) / 2 - 16;
    volatile char* p = new char[size];
    p[0] = 1;
    return 0;
  }
  return 2;
}

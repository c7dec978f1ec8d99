// Windows side of the runtime's seams: the fatal-error box, ending the
// process, starting programs, the shell and message boxes.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <vector>

#include "runtime/fatal.h"
#include "runtime/program_end.h"
#include "runtime/system.h"
#include "runtime/win32/handles.h"
#include "runtime/win32/wide.h"

namespace tavrel {
namespace {

class Win32ShellHost final : public ShellHost {
 public:
  Text ExecutableDirectory() override {
    // Wide, so that a backslash is never mistaken for a trail byte.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return {};
      if (n < path.size()) {
        path.resize(n);
        break;
      }
      path.resize(path.size() * 2);
    }
    auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? Text() : win32::AnsiFromWide(std::wstring_view(path).substr(0, slash));
  }

  bool StartProcess(const Text& commandLine, std::int32_t showCommand, bool wait) override {
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      return false;
    win32::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    if (wait)
      ::WaitForSingleObject(process.Get(), INFINITE);
    else
      ::WaitForInputIdle(process.Get(), 1000);
    return true;
  }

  void OpenWithShell(const Text& address) override {
    HWND owner = ::FindWindowA(nullptr, "Microsoft Internet Explorer");
    ::ShellExecuteA(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }
};

class Win32MessageHost final : public MessageHost {
 public:
  std::int32_t MessageBox(const Text& message, std::uint32_t flags, const Text& title, WindowHandle owner) override {
    return ::MessageBoxW(reinterpret_cast<HWND>(owner), win32::WideFromGbk(message).c_str(),
                         win32::WideFromGbk(title).c_str(), flags);
  }

  void ProcessEvents() override {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (msg.message == WM_QUIT) return;  // left for the message loop
      if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
};

// Set aside at start and handed back when memory runs out: the error box
// needs some to be shown at all.
constexpr SIZE_T kEmergencyReserveBytes = 8 << 20;
std::atomic<void*> g_emergencyReserve{
    ::VirtualAlloc(nullptr, kEmergencyReserveBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)};

}  // namespace

namespace platform {

void ShowFatalBoxAndExit(TextView fullText) {
  wchar_t text[kFatalTextCapacity + 1];
  int n = ::MultiByteToWideChar(win32::kGbkCodePage, 0, fullText.data(), static_cast<int>(fullText.size()), text,
                                static_cast<int>(kFatalTextCapacity));
  text[n > 0 ? n : 0] = L'\0';
  ::MessageBoxW(nullptr, text, L"错误", MB_ICONSTOP | MB_TASKMODAL);
  ::ExitProcess(static_cast<UINT>(-1));
}

void ReleaseEmergencyReserve() {
  if (void* reserve = g_emergencyReserve.exchange(nullptr)) ::VirtualFree(reserve, 0, MEM_RELEASE);
}

void TerminateProcess(std::int32_t exitCode) { ::ExitProcess(static_cast<UINT>(exitCode)); }

ShellHost& DefaultShellHost() {
  static Win32ShellHost host;
  return host;
}

MessageHost& DefaultMessageHost() {
  static Win32MessageHost host;
  return host;
}

}  // namespace platform
}  // namespace tavrel

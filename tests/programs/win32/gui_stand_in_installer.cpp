// Plays a downloaded installer in the trust tests: when started it writes its
// command line, as UTF-8, to a file named after its own path plus
// ".started", so a test can tell which file ran and how it was quoted.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A message queue makes the process input-idle at once for its starter.
  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);

  std::wstring self(MAX_PATH, L'\0');
  DWORD n = ::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  if (n == 0 || n >= self.size()) return 2;
  self.resize(n);

  const wchar_t* line = ::GetCommandLineW();
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8.data(), bytes, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);

  HANDLE marker = ::CreateFileW((self + L".started").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  ::WriteFile(marker, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  ::CloseHandle(marker);
  return 0;
}

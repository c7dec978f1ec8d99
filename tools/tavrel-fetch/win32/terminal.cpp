// The console of Windows: the service's texts are GBK and are
// shown as UTF-8 (what a terminal around Wine, or a redirected log, reads).
#include "tools/tavrel-fetch/terminal.h"

#include <windows.h>
#include <io.h>

#include <csignal>
#include <cstdio>

namespace tavrel::fetch {

// The program's literals are GBK whatever the system's code page.
constexpr UINT kLiteralCodePage = 936;

std::string TerminalText(const std::string& text) {
  if (text.empty()) return text;
  int wide = ::MultiByteToWideChar(kLiteralCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return text;
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  ::MultiByteToWideChar(kLiteralCodePage, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
  int bytes = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr);
  return out;
}

bool ErrorsGoToTerminal() { return _isatty(_fileno(stderr)) != 0; }

void OnInterrupt(void (*handler)(int)) {
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
}

}  // namespace tavrel::fetch

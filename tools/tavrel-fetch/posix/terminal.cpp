// The terminal of a POSIX host: UTF-8 text, signals for Ctrl+C.
#include "tools/tavrel-fetch/terminal.h"

#include <iconv.h>
#include <signal.h>
#include <unistd.h>

namespace tavrel::fetch {

std::string TerminalText(const std::string& text) {
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* to = out.data();
  std::size_t toLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1)) break;
    if (toLeft < 8) break;
    // Not GBK (a UTF-8 path, say): pass the byte through as it is.
    *to++ = *in++;
    --toLeft;
    --inLeft;
  }
  iconv_close(cd);
  out.resize(out.size() - toLeft);
  return out;
}

bool ErrorsGoToTerminal() { return isatty(STDERR_FILENO); }

void OnInterrupt(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace tavrel::fetch

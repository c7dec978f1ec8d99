#include "runtime/download/log_text.h"

#include <cstdarg>
#include <cstdio>

namespace tavrel::download {

std::string FormatLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(args);
  return out;
}

std::string LogTimeText(const LocalDateTime& t) {
  std::string text = FormatLine("%d年%d月%d日", t.year, t.month, t.day);
  if (t.second != 0)
    text += FormatLine("%d时%d分%d秒", t.hour, t.minute, t.second);
  else if (t.minute != 0)
    text += FormatLine("%d时%d分", t.hour, t.minute);
  else if (t.hour != 0)
    text += FormatLine("%d时", t.hour);
  return text;
}

}  // namespace tavrel::download

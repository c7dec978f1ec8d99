#include "tools/tavrel-fetch/terminal.h"

#include <iconv.h>

#include <cstdio>

namespace tavrel::fetch {

std::string GbkToUtf8(const std::string& text) {
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

std::string ProgressLine(std::int64_t done, std::int64_t total, double bytesPerSecond) {
  constexpr double kMiB = 1024.0 * 1024.0;
  char line[128];
  if (total > 0)
    std::snprintf(line, sizeof line, "%3d%%  %.1f/%.1f MiB  %.1f MiB/s", static_cast<int>(done * 100 / total),
                  done / kMiB, total / kMiB, bytesPerSecond / kMiB);
  else
    std::snprintf(line, sizeof line, "%.1f MiB  %.1f MiB/s", done / kMiB, bytesPerSecond / kMiB);
  return line;
}

}  // namespace tavrel::fetch

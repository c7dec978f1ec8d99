#include "tools/tavrel-fetch/terminal.h"

#include <cstdio>

namespace tavrel::fetch {

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

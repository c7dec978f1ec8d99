// Formatting of the service's log lines.
#pragma once

#include <string>

namespace tavrel::download {

struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "%d年%d月%d日" then "%d时%d分%d秒", dropping the seconds when they are 0,
// the minutes too when both are 0, and the whole time at midnight.
std::string LogTimeText(const LocalDateTime& t);

// printf-style formatting of a message with %s and %d.
std::string FormatLine(const char* format, ...);

}  // namespace tavrel::download

// What tavrel-fetch shows on the terminal.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel::fetch {

// The service's texts are GBK; the terminal speaks UTF-8.
std::string GbkToUtf8(const std::string& text);

// "42%  12.3/29.0 MiB  8.1 MiB/s"; total 0 or less shows the bytes only.
std::string ProgressLine(std::int64_t done, std::int64_t total, double bytesPerSecond);

}  // namespace tavrel::fetch

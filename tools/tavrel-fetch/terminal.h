// What tavrel-fetch shows on the terminal.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel::fetch {

// The service's texts (the code page of the program's literals) as the
// terminal shows them: UTF-8.
std::string TerminalText(const std::string& text);

bool ErrorsGoToTerminal();

// Ctrl+C and a request to end call the handler.
void OnInterrupt(void (*handler)(int));

// "42%  12.3/29.0 MiB  8.1 MiB/s"; total 0 or less shows the bytes only.
std::string ProgressLine(std::int64_t done, std::int64_t total, double bytesPerSecond);

}  // namespace tavrel::fetch

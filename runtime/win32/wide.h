// The program's texts are GBK; the window system is reached through the wide
// APIs, converting from code page 936 so captions read right on any locale.
#pragma once

#include <string>
#include <string_view>

#include "runtime/value.h"

namespace tavrel::win32 {

inline constexpr unsigned kGbkCodePage = 936;

std::wstring WideFromGbk(TextView text);
Text GbkFromWide(std::wstring_view text);
// Conversions for the system's own ANSI code page (paths, registry texts).
std::wstring WideFromAnsi(TextView text);
Text AnsiFromWide(std::wstring_view text);

}  // namespace tavrel::win32

#include "runtime/win32/wide.h"

#include <windows.h>

namespace tavrel::win32 {
namespace {

std::wstring ToWide(unsigned codePage, TextView text) {
  if (text.empty()) return {};
  int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

Text FromWide(unsigned codePage, std::wstring_view text) {
  if (text.empty()) return {};
  int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  Text out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring WideFromGbk(TextView text) { return ToWide(kGbkCodePage, text); }
Text GbkFromWide(std::wstring_view text) { return FromWide(kGbkCodePage, text); }
std::wstring WideFromAnsi(TextView text) { return ToWide(CP_ACP, text); }
Text AnsiFromWide(std::wstring_view text) { return FromWide(CP_ACP, text); }

}  // namespace tavrel::win32

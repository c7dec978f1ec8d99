#include "registry/process_environment.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

namespace tavrel::registry::platform {
namespace {

constexpr UINT kChineseCodePage = 936;

// Calls fill(buffer, size) until the text fits: the functions answer the
// size they need when the buffer is too small.
template <class Fill>
Text Grow(Fill fill) {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(buffer.size() < n ? n + 1 : buffer.size() * 2);
  }
}

}  // namespace

std::optional<Text> ProcessVariable(TextView name) {
  const Text variable(name);
  ::SetLastError(ERROR_SUCCESS);
  DWORD needed = ::GetEnvironmentVariableA(variable.c_str(), nullptr, 0);
  if (needed == 0) {
    if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return Text();
  }
  Text value = Grow([&](char* b, DWORD n) { return ::GetEnvironmentVariableA(variable.c_str(), b, n); });
  return value;
}

std::vector<Text> CommandLineArguments() {
  std::vector<Text> arguments;
  int count = 0;
  struct LocalFreeDeleter {
    void operator()(LPWSTR* p) const { ::LocalFree(p); }
  };
  std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
  if (!argv) return arguments;
  for (int i = 1; i < count; ++i) {
    const wchar_t* wide = argv.get()[i];
    int n = ::WideCharToMultiByte(kChineseCodePage, WC_COMPOSITECHECK, wide, -1, nullptr, 0, nullptr, nullptr);
    Text text(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) ::WideCharToMultiByte(kChineseCodePage, WC_COMPOSITECHECK, wide, -1, text.data(), n, nullptr, nullptr);
    if (!text.empty()) text.pop_back();  // the terminating zero
    arguments.push_back(std::move(text));
  }
  return arguments;
}

Text CurrentDirectory() {
  return Grow([](char* b, DWORD n) { return ::GetCurrentDirectoryA(n, b); });
}

Text ProgramFile() {
  return Grow([](char* b, DWORD n) {
    DWORD got = ::GetModuleFileNameA(nullptr, b, n);
    return got == n ? n + 1 : got;  // a cut path: ask again with more room
  });
}

}  // namespace tavrel::registry::platform

#include "tests/support/win32/child_process.h"

#include <vector>

#include "app/settings/loopback_ports.h"

namespace tavrel::testing {

ChildProcess::ChildProcess(const std::string& commandLine) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
  ::CloseHandle(pi.hThread);
  process_.Reset(pi.hProcess);
  id_ = pi.dwProcessId;
}

std::optional<DWORD> ChildProcess::Wait(DWORD timeoutMs) {
  if (!process_ || ::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process_.Get(), &code);
  return code;
}

void ChildProcess::Kill() {
  if (process_) ::TerminateProcess(process_.Get(), 99);
}

// The children inherit this process's environment.
ChildPorts::ChildPorts(std::uint16_t download, std::uint16_t update) {
  if (download != 0) ::SetEnvironmentVariableA(app::kDownloadPortVariable, std::to_string(download).c_str());
  if (update != 0) ::SetEnvironmentVariableA(app::kUpdatePortVariable, std::to_string(update).c_str());
}

ChildPorts::~ChildPorts() {
  ::SetEnvironmentVariableA(app::kDownloadPortVariable, nullptr);
  ::SetEnvironmentVariableA(app::kUpdatePortVariable, nullptr);
}

std::string TempPath(const std::string& name) {
  char dir[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + "tavrel-" + std::to_string(::GetCurrentProcessId()) + "-" + name;
}

}  // namespace tavrel::testing

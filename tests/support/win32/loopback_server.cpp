#include "tests/support/win32/loopback_server.h"

#include <atomic>
#include <cstdio>
#include <fstream>

#include "runtime/win32/handles.h"
#include "tests/support/test_paths.h"

namespace tavrel::testing {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string WindowsPathOf(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// Starts a host program by its Unix command line. Wine hands it to the host
// and does not wait for it; the program reports itself through files.
bool StartHostProgram(const std::string& commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  win32::UniqueKernelHandle thread(process.hThread), handle(process.hProcess);
  return true;
}

bool FileExists(const std::string& windowsPath) {
  return GetFileAttributesA(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

LoopbackServer::LoopbackServer(bool tls) : tls_(tls) {
  static std::atomic<int> counter{0};
  const std::string folder = BinaryDir() + "/tests/servers";
  CreateDirectoryA(WindowsPathOf(BinaryDir() + "/tests").c_str(), nullptr);
  CreateDirectoryA(WindowsPathOf(folder).c_str(), nullptr);
  const std::string name =
      folder + "/server-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  readyFile_ = name + ".ready";
  answerFile_ = name + ".answer";
  requestLog_ = name + ".requests";
  DeleteFileA(WindowsPathOf(readyFile_).c_str());
  DeleteFileA(WindowsPathOf(requestLog_).c_str());
  if (!SetAnswer("")) return;

  std::string command = std::string(kPython) + " " + SourceDir() + "/tests/support/servers/loopback_http.py --ready " +
                        readyFile_ + " --answer-file " + answerFile_ + " --request-log " + requestLog_ +
                        (tls ? " --tls" : "");
  if (!StartHostProgram(command)) return;

  // Making a certificate and starting Python take a moment.
  const std::string ready = WindowsPathOf(readyFile_);
  for (int waited = 0; waited < 15000 && !FileExists(ready); waited += 20) Sleep(20);
  std::ifstream in(ready);
  unsigned port = 0;
  long pid = 0;
  if (in >> port >> pid && port != 0) {
    port_ = static_cast<std::uint16_t>(port);
    pid_ = pid;
  }
}

LoopbackServer::~LoopbackServer() {
  if (pid_ <= 0) return;
  StartHostProgram("/bin/kill " + std::to_string(pid_));
  // The server removes its ready file as it ends.
  const std::string ready = WindowsPathOf(readyFile_);
  for (int waited = 0; waited < 5000 && FileExists(ready); waited += 20) Sleep(20);
  DeleteFileA(WindowsPathOf(answerFile_).c_str());
  DeleteFileA(WindowsPathOf(requestLog_).c_str());
}

bool LoopbackServer::SetAnswer(const std::string& answer) {
  std::ofstream out(WindowsPathOf(answerFile_), std::ios::binary | std::ios::trunc);
  out.write(answer.data(), static_cast<std::streamsize>(answer.size()));
  return static_cast<bool>(out);
}

std::vector<std::string> LoopbackServer::RequestLines() const {
  std::vector<std::string> lines;
  std::ifstream in(WindowsPathOf(requestLog_));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string LoopbackServer::Origin() const { return std::string(tls_ ? "https://" : "http://") + HostAndPort(); }

std::string LoopbackServer::HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::uint16_t UnusedLoopbackPort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  std::uint16_t port = 0;
  {
    win32::UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s && bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      int length = sizeof address;
      if (getsockname(s.Get(), reinterpret_cast<sockaddr*>(&address), &length) == 0) port = ntohs(address.sin_port);
    }
  }
  WSACleanup();
  return port;
}

}  // namespace tavrel::testing

#include "tests/support/vsftpd_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>
#include <thread>

#include "tests/support/test_paths.h"
#include "tests/support/test_socket.h"

extern char** environ;

namespace tavrel::testing {
namespace {

constexpr char kVsftpd[] = "/usr/sbin/vsftpd";

std::uint16_t FreeLoopbackPort() {
  std::uint16_t port = 0;
  sock::Handle s = sock::ListenLoopback(port);
  sock::Close(s);
  return port;
}

// The PIDs whose parent is one of these.
std::vector<long> ChildrenOf(const std::vector<long>& parents) {
  std::vector<long> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid ...": the name may hold spaces, so read after ")".
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    char state = 0;
    long ppid = 0;
    rest >> state >> ppid;
    for (long parent : parents)
      if (ppid == parent) found.push_back(std::stol(entry.path().filename().string()));
  }
  return found;
}

}  // namespace

void VsftpdServer::DropSessions() {
  if (pid_ <= 0) return;
  std::vector<long> sessions = ChildrenOf({pid_});
  std::vector<long> helpers = ChildrenOf(sessions);
  // Stopped first, all of them: a session that saw its helper die would
  // still answer the client with a 500 before its own end, which reads as a
  // refusal rather than a break.
  for (auto* group : {&helpers, &sessions})
    for (long pid : *group) ::kill(static_cast<pid_t>(pid), SIGSTOP);
  for (auto* group : {&helpers, &sessions})
    for (long pid : *group) ::kill(static_cast<pid_t>(pid), SIGKILL);
}

bool VsftpdAvailable() { return ::access(kVsftpd, X_OK) == 0; }

VsftpdServer::VsftpdServer(const std::string& root, bool passive, bool uploads) {
  if (!VsftpdAvailable()) return;
  std::uint16_t port = FreeLoopbackPort();
  config_ = BinaryDir() + "/test-files/vsftpd-" + std::to_string(port) + ".conf";
  std::ofstream(config_) << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                         << "listen_port=" << port << "\n"
                         << "background=NO\nanonymous_enable=YES\nno_anon_password=NO\n"
                         << "anon_root=" << root << "\n"
                         << "local_enable=NO\n"
                         << (uploads ? "write_enable=YES\nanon_upload_enable=YES\nanon_other_write_enable=YES\n"
                                     : "write_enable=NO\n")
                         << "pasv_enable=" << (passive ? "YES" : "NO") << "\npasv_address=127.0.0.1\n"
                         << "port_enable=YES\nconnect_from_port_20=NO\n"
                         << "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                         << "secure_chroot_dir=/var/run/vsftpd/empty\n"
                         << "xferlog_enable=NO\nmax_clients=100\nmax_per_ip=100\ndirmessage_enable=NO\n";
  const char* argv[] = {kVsftpd, config_.c_str(), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, kVsftpd, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return;
  pid_ = pid;
  // Ready once it accepts a connection.
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    sock::Handle probe = sock::ConnectLoopback(port);
    if (probe != sock::kInvalid) {
      sock::Close(probe);
      port_ = port;
      return;
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      pid_ = 0;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

VsftpdServer::~VsftpdServer() {
  if (pid_ > 0) {
    ::kill(static_cast<pid_t>(pid_), SIGTERM);
    int status = 0;
    ::waitpid(static_cast<pid_t>(pid_), &status, 0);
  }
  if (!config_.empty()) ::unlink(config_.c_str());
}

std::string VsftpdServer::Url(const std::string& path) const {
  return "ftp://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace tavrel::testing

// Host (Linux) side of the runtime's seams. The host build is for logic and
// its tests: message boxes print and answer OK, the shell only records.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "runtime/fatal.h"
#include "runtime/program_end.h"
#include "runtime/system.h"

extern char** environ;

namespace tavrel {
namespace {

class PosixShellHost final : public ShellHost {
 public:
  Text ExecutableDirectory() override {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    Text path(buffer, static_cast<std::size_t>(n));
    auto slash = path.find_last_of('/');
    return slash == Text::npos ? Text() : path.substr(0, slash);
  }

  bool StartProcess(const Text& commandLine, std::int32_t, bool wait) override {
    const char* argv[] = {"/bin/sh", "-c", commandLine.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
    if (wait) {
      int status = 0;
      waitpid(pid, &status, 0);
    }
    return true;
  }

  void OpenWithShell(const Text& address) override { std::fprintf(stderr, "open: %s\n", address.c_str()); }
};

class ConsoleMessageHost final : public MessageHost {
 public:
  std::int32_t MessageBox(const Text& message, std::uint32_t, const Text& title, WindowHandle) override {
    std::fprintf(stderr, "[%s] %s\n", title.c_str(), message.c_str());
    return 1;  // IDOK
  }
  void ProcessEvents() override {}
};

}  // namespace

namespace platform {

void ShowFatalBoxAndExit(TextView fullText) {
  std::fprintf(stderr, "错误: %.*s\n", static_cast<int>(fullText.size()), fullText.data());
  std::fflush(stderr);
  std::_Exit(-1);
}

void ReleaseEmergencyReserve() {}

void TerminateProcess(std::int32_t exitCode) {
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

ShellHost& DefaultShellHost() {
  static PosixShellHost host;
  return host;
}

MessageHost& DefaultMessageHost() {
  static ConsoleMessageHost host;
  return host;
}

}  // namespace platform
}  // namespace tavrel

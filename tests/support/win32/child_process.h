// Starting helper programs from Windows tests and collecting their ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/win32/handles.h"

namespace tavrel::testing {

class ChildProcess {
 public:
  // Starts the command line; Valid() is false when it could not start.
  explicit ChildProcess(const std::string& commandLine);
  bool Valid() const { return static_cast<bool>(process_); }
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return process_.Get(); }
  // The exit code, or nothing when the process is still running after the wait.
  std::optional<DWORD> Wait(DWORD timeoutMs);
  // Ends a process that outlived its test.
  void Kill();

 private:
  win32::UniqueKernelHandle process_;
  DWORD id_ = 0;
};

// Points the loopback programs this process starts at the test's servers
// while it lives; 0 for a service the test does not stand in for.
class ChildPorts {
 public:
  ChildPorts(std::uint16_t download, std::uint16_t update);
  ~ChildPorts();
  ChildPorts(const ChildPorts&) = delete;
  ChildPorts& operator=(const ChildPorts&) = delete;
};

// A file name in the temporary folder unique to this test process.
std::string TempPath(const std::string& name);

}  // namespace tavrel::testing

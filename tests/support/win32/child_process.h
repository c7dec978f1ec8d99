// Starting helper programs from Windows tests and collecting their ends.
#pragma once

#include <windows.h>

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

// A file name in the temporary folder unique to this test process.
std::string TempPath(const std::string& name);

}  // namespace tavrel::testing

// The test PKI's root among the machine's trusted roots, for as long as a
// test needs it. The store is the machine's (the Wine prefix's), shared by
// every process in it, so a test that depends on the root being trusted or
// not takes the prefix-wide lock first. A process builds its view of the
// trusted roots once, so checks that must see a change run in new processes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/win32/handles.h"

namespace tavrel::testing {

// Serialises the tests that change or depend on the trusted roots.
class RootStoreLock {
 public:
  RootStoreLock();
  ~RootStoreLock();
  RootStoreLock(const RootStoreLock&) = delete;
  RootStoreLock& operator=(const RootStoreLock&) = delete;
  bool Held() const { return held_; }

 private:
  win32::UniqueKernelHandle mutex_;
  bool held_ = false;
};

// The certificate file's bytes (DER), empty when it cannot be read.
std::vector<BYTE> ReadCertificate(const std::string& path);

// Trusts the root while alive, as an administrator's import would; removes
// it again on destruction. Trusted() is false when it could not be added.
class TrustedRoot {
 public:
  explicit TrustedRoot(std::vector<BYTE> der);
  ~TrustedRoot();
  TrustedRoot(const TrustedRoot&) = delete;
  TrustedRoot& operator=(const TrustedRoot&) = delete;
  bool Trusted() const { return trusted_; }

 private:
  std::string keyPath_;
  bool trusted_ = false;
};

// Removes the root from the trusted roots (left by a run that crashed);
// true when it is not there afterwards.
bool EnsureRootNotTrusted(const std::vector<BYTE>& der);

}  // namespace tavrel::testing

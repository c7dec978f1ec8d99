// An installer file held open for reading with read sharing only, so that
// nobody can write, rename or delete it between its check and its start.
#pragma once

#include <string>
#include <string_view>

#include "app/installer_trust.h"
#include "runtime/win32/handles.h"  // first of the Windows headers

namespace tavrel::app {

class HeldInstaller {
 public:
  // Opens the file; OpenVerdict() says why when it could not be held.
  explicit HeldInstaller(std::wstring path);

  bool Held() const { return static_cast<bool>(file_); }
  // Missing, Busy or Unreadable when not held; Genuine when held.
  InstallerVerdict OpenVerdict() const { return openVerdict_; }
  DWORD OpenError() const { return openError_; }

  // The Authenticode signature over the held bytes, the signer's chain to a
  // trusted root, its code-signing usage and its O and CN, which must both
  // equal expectedSigner exactly.
  InstallerVerdict Verify(std::wstring_view expectedSigner);
  // The platform's own status of the last Verify, for diagnosis.
  LONG LastTrustStatus() const { return lastStatus_; }

  // Creates the process from the held path, its command line the quoted
  // path, then lets go of the file and waits at most a second for the
  // process to become idle. False, and nothing started, unless the last
  // Verify found the file genuine, or when the process could not be created.
  bool Start();

  void Release() { file_.Reset(); }

 private:
  std::wstring path_;
  tavrel::win32::UniqueFile file_;
  InstallerVerdict openVerdict_ = InstallerVerdict::Genuine;
  DWORD openError_ = 0;
  LONG lastStatus_ = 0;
  bool genuine_ = false;
};

}  // namespace tavrel::app

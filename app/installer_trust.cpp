#include "app/installer_trust.h"

#include "app/installer_files.h"
#include "app/settings.h"
#include "runtime/system.h"

namespace tavrel::app {

InstallerCheck StartVerifiedInstaller(const Text& path) { return StartVerifiedInstaller(path, InstallerSigner()); }

InstallerCheck StartVerifiedInstaller(const Text& path, TextView expectedSigner) {
  platform::InstallerLaunch launch = platform::VerifyAndStartInstaller(path, expectedSigner);
  switch (launch.verdict) {
    case InstallerVerdict::Genuine: return launch.started ? InstallerCheck::Started : InstallerCheck::NotStarted;
    case InstallerVerdict::Missing: return InstallerCheck::Missing;
    case InstallerVerdict::Busy: return InstallerCheck::Busy;
    default: break;
  }
  // Removed before the user is told, so the box cannot hold a bad file in
  // place for as long as it stays open.
  platform::RemoveFile(path);
  ShowMessageBox(kInstallerRefusedMessage, kInstallerRefusedFlags);
  return InstallerCheck::Refused;
}

}  // namespace tavrel::app

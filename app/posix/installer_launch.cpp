// The host build has no Authenticode: no installer can prove its signer
// here, so every one is refused and none is ever started.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/installer_trust.h"

namespace tavrel::app::platform {

InstallerLaunch VerifyAndStartInstaller(const Text& path, TextView) {
  struct stat info {};
  if (path.empty() || (::stat(path.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)))
    return {InstallerVerdict::Missing, false};
  return {InstallerVerdict::CannotVerify, false};
}

}  // namespace tavrel::app::platform

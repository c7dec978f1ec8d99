#include <windows.h>

#include "app/installer_trust.h"
#include "app/win32/held_installer.h"
#include "runtime/win32/wide.h"

namespace tavrel::app::platform {

InstallerLaunch VerifyAndStartInstaller(const Text& path, TextView expectedSigner) {
  if (path.empty()) return {InstallerVerdict::Missing, false};
  HeldInstaller installer(win32::WideFromAnsi(path));
  if (!installer.Held()) return {installer.OpenVerdict(), false};
  // The program's own texts are GBK whatever the system's code page.
  InstallerVerdict verdict = installer.Verify(win32::WideFromGbk(expectedSigner));
  if (verdict != InstallerVerdict::Genuine) return {verdict, false};
  return {verdict, installer.Start()};
}

}  // namespace tavrel::app::platform

// Window-created sequence: the update check, then the machine's facts and the
// JDK releases that suit it, then the installed JDK.
#include "app/handlers.h"
#include "app/main_window_ids.h"
#include "runtime/controls.h"
#include "sysinfo/bitness.h"
#include "sysinfo/os_name.h"

namespace tavrel::app {

void WindowCreated() {
  CheckForUpdate();  // does not return when a newer version exists
  FillSystemInfo();
  DetectInstalledJdk();
}

void FillSystemInfo() {
  std::int32_t major = 0;
  std::int32_t minor = 0;
  SetControlProperty(kMainWindow, ctl::kOsText, prop::kLabelCaption,
                     sysinfo::GetOsDisplayName(major, minor, 1, std::nullopt, std::nullopt, 1));
  // The item index is what the install button maps to an installer: 0 is
  // always JDK 8u271, 1 (64-bit systems only) JDK 11.0.9.
  if (sysinfo::IsSystem64Bit()) {
    SetControlProperty(kMainWindow, ctl::kSystemType, prop::kLabelCaption, "64位");
    ComboInsertItem(kMainWindow, ctl::kReleaseBox, 0, "Java 8u271");
    ComboInsertItem(kMainWindow, ctl::kReleaseBox, 1, "Java 11.0.9");
  } else {
    SetControlProperty(kMainWindow, ctl::kSystemType, prop::kLabelCaption, "32位");
    ComboInsertItem(kMainWindow, ctl::kReleaseBox, 0, "Java 8u271");
  }
}

}  // namespace tavrel::app

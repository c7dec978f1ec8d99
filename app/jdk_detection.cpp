// Installed-JDK detection: the release the registry reports, kept only in
// the caption of 标签_Java版本, and the super button that refreshes or
// configures depending on it.
#include "app/handlers.h"
#include "app/main_window_ids.h"
#include "registry/registry_access.h"
#include "runtime/controls.h"
#include "runtime/convert.h"
#include "runtime/text.h"

namespace tavrel::app {
namespace {

constexpr const char* kNotInstalled = "Java未安装";
constexpr const char* kJdkKeys[] = {"SOFTWARE\\JavaSoft\\Java Development Kit", "SOFTWARE\\JavaSoft\\JDK"};

void ShowDetection(const Text& release, const char* buttonCaption) {
  SetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption, release);
  SetControlProperty(kMainWindow, ctl::kSuperButton, prop::kSuperButtonCaption, buttonCaption);
}

}  // namespace

void DetectInstalledJdk() {
  registry::RegistryAccess access;
  registry::RegistryValue record;
  for (const char* key : kJdkKeys) {
    if (access.OpenKey(kHkeyLocalMachine, key) == -1) continue;
    access.ReadValue(kHkeyLocalMachine, key, "CurrentVersion", record);
    ShowDetection(ToText(record.data), "一键配置");
    return;
  }
  ShowDetection(kNotInstalled, "刷新");
}

void RefreshOrConfigure() {
  Text caption = GetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption).AsText();
  if (CompareText(caption, kNotInstalled) == 0)
    DetectInstalledJdk();
  else
    ConfigureEnvironment();
}

}  // namespace tavrel::app

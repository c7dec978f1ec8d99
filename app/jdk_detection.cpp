// Installed-JDK detection: the release the registry reports, kept only in
// the caption of 标签_Java版本, and the super button that refreshes or
// configures depending on it.
#include "app/handlers.h"
#include "app/jdk_locations.h"
#include "app/main_window_ids.h"
#include "runtime/controls.h"
#include "runtime/text.h"

namespace tavrel::app {
namespace {

constexpr const char* kNotInstalled = "Java未安装";

void ShowDetection(const Text& release, const char* buttonCaption) {
  SetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption, release);
  SetControlProperty(kMainWindow, ctl::kSuperButton, prop::kSuperButtonCaption, buttonCaption);
}

}  // namespace

void DetectInstalledJdk() {
  if (std::optional<Text> release = FindInstalledJdk())
    ShowDetection(*release, "一键配置");
  else
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

#include "app/window_description.h"

#include <array>

#include "app/handlers.h"
#include "app/main_window_ids.h"
#include "app/settings.h"

namespace tavrel::app {
namespace {

constexpr EventBinding kWindowEvents[] = {{kEventPrimary, &WindowCreated}};
constexpr EventBinding kSuperButtonEvents[] = {{kEventPrimary, &RefreshOrConfigure}};
constexpr EventBinding kInstallEvents[] = {{kEventPrimary, &DownloadClicked}};
constexpr EventBinding kTimerEvents[] = {{kEventPrimary, &ProgressTick}};
constexpr EventBinding kStatusBarEvents[] = {{kEventLeftButtonDown, &OpenSiteClicked}};

const StatusPart kStatusParts[] = {
    {"官方网站", 80},
    {SiteHost(), 180},
    {"Version", 80},
    {"v0.5", 300},
};

constexpr ControlDescription Make(const char* name, ControlType type, ControlId id, ControlId parent, int left, int top,
                                  int width, int height, const char* caption, bool tabStop = false) {
  return ControlDescription{name,    type,    id, parent, left, top, width, height, true,
                            tabStop, caption, 0,  0,      0,    0,   {},    {}};
}

std::array<ControlDescription, 14> MakeControls() {
  using enum ControlType;
  std::array<ControlDescription, 14> c{
      Make("分组框1", GroupBox, ctl::kGroupSystem, 0, 8, 8, 616, 144, "系统环境"),
      Make("标签1", Label, ctl::kLabelOs, ctl::kGroupSystem, 24, 32, 80, 24, "操作系统"),
      Make("标签_操作系统", Label, ctl::kOsText, ctl::kGroupSystem, 112, 32, 264, 24, ""),
      Make("标签3", Label, ctl::kLabelType, ctl::kGroupSystem, 24, 80, 80, 24, "系统类型"),
      Make("标签_系统类型", Label, ctl::kSystemType, ctl::kGroupSystem, 112, 80, 264, 24, ""),
      Make("标签4", Label, ctl::kLabelJava, ctl::kGroupSystem, 384, 32, 80, 24, "Java版本"),
      Make("标签_Java版本", Label, ctl::kJavaVersion, ctl::kGroupSystem, 472, 32, 136, 24, ""),
      Make("超级按钮1", SuperBtn, ctl::kSuperButton, ctl::kGroupSystem, 384, 80, 224, 24, "刷新", true),
      Make("组合框1", ComboBox, ctl::kReleaseBox, 0, 192, 192, 240, 20, "", true),
      Make("按钮1", Button, ctl::kInstallButton, 0, 264, 256, 96, 32, "安装", true),
      Make("进度条1", ProcessBar, ctl::kProgressBar, 0, 8, 328, 616, 24, ""),
      Make("透明标签1", TransLabel, ctl::kPercentLabel, 0, 8, 328, 616, 24, ""),
      Make("时钟1", Timer, ctl::kTimer, 0, 0, 0, 0, 0, ""),
      Make("状态条1", StatusBar, ctl::kStatusBar, 0, 0, 370, 632, 20, ""),
  };
  c[7].events = kSuperButtonEvents;
  c[9].events = kInstallEvents;
  c[10].visible = false;
  c[10].rangeMin = 0;
  c[10].rangeMax = 100;
  c[10].position = 0;
  c[12].interval = 0;
  c[12].events = kTimerEvents;
  c[13].parts = kStatusParts;
  c[13].events = kStatusBarEvents;
  return c;
}

const auto kControls = MakeControls();

const WindowDescription kMainWindowDescription{kMainWindow,
                                               "Tavrel - Orvane出品",
                                               638,
                                               419,
                                               50,
                                               50,
                                               /*minimizeBox=*/true,
                                               /*maximizeBox=*/false,
                                               /*resizable=*/false,
                                               kWindowEvents,
                                               kControls};

}  // namespace

const WindowDescription& MainWindowDescription() { return kMainWindowDescription; }

const ControlDescription* FindControl(const WindowDescription& window, ControlId id) {
  for (const auto& c : window.controls)
    if (c.id == id) return &c;
  return nullptr;
}

const ControlDescription* FindControlByName(const WindowDescription& window, TextView name) {
  for (const auto& c : window.controls)
    if (name == c.name) return &c;
  return nullptr;
}

Handler FindHandler(const WindowDescription& window, ControlId control, int event) {
  std::span<const EventBinding> events = window.events;
  if (control != 0) {
    const ControlDescription* c = FindControl(window, control);
    if (!c) return nullptr;
    events = c->events;
  }
  for (const auto& e : events)
    if (e.event == event) return e.handler;
  return nullptr;
}

Rect ClientRect(const WindowDescription& window, const ControlDescription& control) {
  Rect r{control.left, control.top, control.width, control.height};
  for (ControlId parent = control.parent; parent != 0;) {
    const ControlDescription* p = FindControl(window, parent);
    if (!p) break;
    r.left += p->left;
    r.top += p->top;
    parent = p->parent;
  }
  return r;
}

Point CenteredOrigin(int screenWidth, int screenHeight, int outerWidth, int outerHeight) {
  return Point{(screenWidth - outerWidth) / 2, (screenHeight - outerHeight) / 2};
}

}  // namespace tavrel::app

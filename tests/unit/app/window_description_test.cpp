#include "app/window_description.h"

#include <gtest/gtest.h>

#include "app/handlers.h"
#include "app/main_window_ids.h"
#include "app/settings.h"

namespace tavrel::app {
namespace {

struct ExpectedControl {
  const char* name;
  ControlType type;
  ControlId id;
  ControlId parent;
  Rect client;  // in the window's client area
  bool visible;
  bool tabStop;
  const char* caption;
};

TEST(MainWindowDescription, EveryControlAsLaidOut) {
  using enum ControlType;
  const ExpectedControl expected[] = {
      {"分组框1", GroupBox, ctl::kGroupSystem, 0, {8, 8, 616, 144}, true, false, "系统环境"},
      {"标签1", Label, ctl::kLabelOs, ctl::kGroupSystem, {32, 40, 80, 24}, true, false, "操作系统"},
      {"标签_操作系统", Label, ctl::kOsText, ctl::kGroupSystem, {120, 40, 264, 24}, true, false, ""},
      {"标签3", Label, ctl::kLabelType, ctl::kGroupSystem, {32, 88, 80, 24}, true, false, "系统类型"},
      {"标签_系统类型", Label, ctl::kSystemType, ctl::kGroupSystem, {120, 88, 264, 24}, true, false, ""},
      {"标签4", Label, ctl::kLabelJava, ctl::kGroupSystem, {392, 40, 80, 24}, true, false, "Java版本"},
      {"标签_Java版本", Label, ctl::kJavaVersion, ctl::kGroupSystem, {480, 40, 136, 24}, true, false, ""},
      {"超级按钮1", SuperBtn, ctl::kSuperButton, ctl::kGroupSystem, {392, 88, 224, 24}, true, true, "刷新"},
      {"组合框1", ComboBox, ctl::kReleaseBox, 0, {192, 192, 240, 20}, true, true, ""},
      {"按钮1", Button, ctl::kInstallButton, 0, {264, 256, 96, 32}, true, true, "安装"},
      {"进度条1", ProcessBar, ctl::kProgressBar, 0, {8, 328, 616, 24}, false, false, ""},
      {"透明标签1", TransLabel, ctl::kPercentLabel, 0, {8, 328, 616, 24}, true, false, ""},
      {"时钟1", Timer, ctl::kTimer, 0, {0, 0, 0, 0}, true, false, ""},
      {"状态条1", StatusBar, ctl::kStatusBar, 0, {0, 370, 632, 20}, true, false, ""},
  };
  const WindowDescription& w = MainWindowDescription();
  ASSERT_EQ(w.controls.size(), std::size(expected));
  for (const auto& e : expected) {
    SCOPED_TRACE(e.name);
    const ControlDescription* c = FindControl(w, e.id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(FindControlByName(w, e.name), c);
    EXPECT_EQ(c->type, e.type);
    EXPECT_EQ(c->parent, e.parent);
    Rect r = ClientRect(w, *c);
    EXPECT_EQ(r.left, e.client.left);
    EXPECT_EQ(r.top, e.client.top);
    EXPECT_EQ(r.width, e.client.width);
    EXPECT_EQ(r.height, e.client.height);
    EXPECT_EQ(c->visible, e.visible);
    EXPECT_EQ(c->tabStop, e.tabStop);
    EXPECT_STREQ(c->caption, e.caption);
  }
}

TEST(MainWindowDescription, WindowFrameAndCaption) {
  const WindowDescription& w = MainWindowDescription();
  EXPECT_EQ(w.id, kMainWindow);
  EXPECT_STREQ(w.caption, "Tavrel - Orvane出品");
  EXPECT_EQ(w.outerWidth, 638);
  EXPECT_EQ(w.outerHeight, 419);
  EXPECT_TRUE(w.minimizeBox);
  EXPECT_FALSE(w.maximizeBox);
  EXPECT_FALSE(w.resizable);
}

TEST(MainWindowDescription, ProgressTimerAndStatusBar) {
  const WindowDescription& w = MainWindowDescription();
  const ControlDescription* bar = FindControl(w, ctl::kProgressBar);
  EXPECT_EQ(bar->rangeMin, 0);
  EXPECT_EQ(bar->rangeMax, 100);
  EXPECT_EQ(bar->position, 0);
  EXPECT_EQ(FindControl(w, ctl::kTimer)->interval, 0);

  const ControlDescription* status = FindControl(w, ctl::kStatusBar);
  ASSERT_EQ(status->parts.size(), 4u);
  const StatusPart expected[] = {{"官方网站", 80}, {app::SiteHost(), 180}, {"Version", 80}, {"v0.5", 300}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_STREQ(status->parts[i].text, expected[i].text);
    EXPECT_EQ(status->parts[i].width, expected[i].width);
  }
}

TEST(MainWindowDescription, EventTable) {
  const WindowDescription& w = MainWindowDescription();
  struct Row {
    ControlId control;
    int event;
    Handler handler;
  };
  const Row bound[] = {
      {0, kEventPrimary, &WindowCreated},
      {ctl::kSuperButton, kEventPrimary, &RefreshOrConfigure},
      {ctl::kInstallButton, kEventPrimary, &DownloadClicked},
      {ctl::kTimer, kEventPrimary, &ProgressTick},
      {ctl::kStatusBar, kEventLeftButtonDown, &OpenSiteClicked},
  };
  for (const auto& row : bound) EXPECT_EQ(FindHandler(w, row.control, row.event), row.handler);

  // Nothing else is bound: selecting a release does nothing by itself, and
  // only the left-button event of the status bar counts.
  EXPECT_EQ(FindHandler(w, ctl::kReleaseBox, kEventPrimary), nullptr);
  EXPECT_EQ(FindHandler(w, ctl::kStatusBar, kEventPrimary), nullptr);
  EXPECT_EQ(FindHandler(w, ctl::kInstallButton, kEventLeftButtonDown), nullptr);
  EXPECT_EQ(FindHandler(w, 0x12345678, kEventPrimary), nullptr);
}

TEST(MainWindowDescription, CentredOnFullScreen) {
  struct Row {
    int screenW, screenH, x, y;
  };
  for (const Row& r :
       {Row{1024, 768, 193, 174}, Row{1920, 1080, 641, 330}, Row{639, 420, 0, 0}, Row{600, 400, -19, -9}}) {
    Point p = CenteredOrigin(r.screenW, r.screenH, 638, 419);
    EXPECT_EQ(p.x, r.x) << r.screenW;
    EXPECT_EQ(p.y, r.y) << r.screenH;
  }
}

}  // namespace
}  // namespace tavrel::app

#include "app/win32/main_window.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include "app/main_window_ids.h"
#include "app/settings.h"
#include "runtime/win32/wide.h"
#include "tests/support/win32/dialog_watcher.h"

namespace tavrel::app::win32 {
namespace {

using tavrel::testing::WindowText;

// The window as described, with no handler bound, so that creating it runs
// none of the program's logic.
WindowDescription Unbound() {
  WindowDescription d = MainWindowDescription();
  d.events = {};
  return d;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.Create(::GetModuleHandleW(nullptr))) << "error " << ::GetLastError();
    InstallUiHost(&window);
  }
  void TearDown() override { InstallUiHost(nullptr); }

  HWND Child(ControlId id) {
    struct Find {
      MainWindow* w;
      ControlId id;
      HWND found;
    };
    // Controls are found through their positions in the description.
    const auto& controls = description.controls;
    for (std::size_t i = 0; i < controls.size(); ++i)
      if (controls[i].id == id) return ::GetDlgItem(window.Handle(), static_cast<int>(100 + i));
    return nullptr;
  }
  RECT ClientRectOf(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    ::MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  WindowDescription description = Unbound();
  MainWindow window{description};
};

TEST_F(MainWindowTest, FrameCaptionAndCentring) {
  HWND hwnd = window.Handle();
  EXPECT_EQ(WindowText(hwnd), L"Tavrel - Orvane出品");
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.right - r.left, 638);
  EXPECT_EQ(r.bottom - r.top, 419);
  EXPECT_EQ(r.left, (::GetSystemMetrics(SM_CXSCREEN) - 638) / 2);
  EXPECT_EQ(r.top, (::GetSystemMetrics(SM_CYSCREEN) - 419) / 2);
  LONG style = ::GetWindowLongW(hwnd, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);  // not resizable
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(::IsWindowVisible(hwnd));
}

TEST_F(MainWindowTest, EveryControlAtItsPlaceWithItsCaption) {
  for (const ControlDescription& c : description.controls) {
    if (c.type == ControlType::Timer) continue;
    SCOPED_TRACE(c.name);
    HWND hwnd = Child(c.id);
    ASSERT_NE(hwnd, nullptr);
    Rect want = ClientRect(description, c);
    RECT got = ClientRectOf(hwnd);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right - got.left, want.width);
    EXPECT_EQ(got.bottom - got.top, want.height);
    EXPECT_EQ(::IsWindowVisible(hwnd) != FALSE, c.visible);
    EXPECT_EQ((::GetWindowLongW(hwnd, GWL_STYLE) & WS_TABSTOP) != 0, c.tabStop);
    if (c.type != ControlType::StatusBar && c.type != ControlType::ComboBox && c.type != ControlType::ProcessBar)
      EXPECT_EQ(tavrel::win32::GbkFromWide(WindowText(hwnd)), c.caption);
    // The same, read back through the control services.
    EXPECT_EQ(GetControlProperty(kMainWindow, c.id, tavrel::prop::kWidth).AsInt(), c.width);
    EXPECT_EQ(GetControlProperty(kMainWindow, c.id, tavrel::prop::kLeft).AsInt(), c.left);
  }
}

TEST_F(MainWindowTest, StatusBarPartsProgressBarAndReleaseBox) {
  HWND status = Child(ctl::kStatusBar);
  int edges[8] = {};
  ASSERT_EQ(::SendMessageW(status, SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)), 4);
  EXPECT_EQ(edges[0], 80);
  EXPECT_EQ(edges[1], 260);
  EXPECT_EQ(edges[2], 340);
  EXPECT_EQ(edges[3], 640);
  const wchar_t* texts[] = {L"官方网站", nullptr, L"Version", L"v0.5"};
  for (int i = 0; i < 4; ++i) {
    wchar_t buffer[256] = {};
    ::SendMessageW(status, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(buffer));
    if (texts[i]) EXPECT_STREQ(buffer, texts[i]);
    else EXPECT_EQ(tavrel::win32::GbkFromWide(buffer), SiteHost());
  }

  HWND progress = Child(ctl::kProgressBar);
  EXPECT_FALSE(::IsWindowVisible(progress));
  EXPECT_EQ(::SendMessageW(progress, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(::SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(::SendMessageW(progress, PBM_GETPOS, 0, 0), 0);

  HWND combo = Child(ctl::kReleaseBox);
  EXPECT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_TRUE(::GetWindowLongW(combo, GWL_STYLE) & CBS_DROPDOWNLIST);
}

TEST_F(MainWindowTest, ControlServicesChangeTheRealControls) {
  SetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption, "Java未安装");
  EXPECT_EQ(WindowText(Child(ctl::kJavaVersion)), L"Java未安装");
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption).AsText(), "Java未安装");
  SetControlProperty(kMainWindow, ctl::kSuperButton, prop::kSuperButtonCaption, "一键配置");
  EXPECT_EQ(WindowText(Child(ctl::kSuperButton)), L"一键配置");

  EXPECT_EQ(ComboInsertItem(kMainWindow, ctl::kReleaseBox, 0, "Java 8u271"), 0);
  EXPECT_EQ(ComboInsertItem(kMainWindow, ctl::kReleaseBox, 1, "Java 11.0.9"), 1);
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kReleaseBox, prop::kComboSelection).AsInt(), -1);
  SetControlProperty(kMainWindow, ctl::kReleaseBox, prop::kComboSelection, 1);
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kReleaseBox, prop::kComboSelection).AsInt(), 1);

  SetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressVisible, true);
  EXPECT_TRUE(::IsWindowVisible(Child(ctl::kProgressBar)));
  SetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressPosition, 42);
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressPosition).AsInt(), 42);
  SetControlProperty(kMainWindow, ctl::kPercentLabel, prop::kLabelCaption, "42%");
  EXPECT_EQ(WindowText(Child(ctl::kPercentLabel)), L"42%");

  SetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval, 1000);
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval).AsInt(), 1000);
  SetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval, 0);
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval).AsInt(), 0);
}

}  // namespace
}  // namespace tavrel::app::win32

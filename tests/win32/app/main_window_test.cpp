#include "app/win32/main_window.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <cstdlib>
#include <vector>

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
    g_uiHostSeam.Install(&window);
  }
  void TearDown() override { g_uiHostSeam.Install(nullptr); }

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
    if (c.type != ControlType::StatusBar && c.type != ControlType::ComboBox && c.type != ControlType::ProcessBar) {
      EXPECT_EQ(tavrel::win32::GbkFromWide(WindowText(hwnd)), c.caption);
    }
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
    if (texts[i])
      EXPECT_STREQ(buffer, texts[i]);
    else
      EXPECT_EQ(tavrel::win32::GbkFromWide(buffer), SiteHost());
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

  // A control that is not there reads as the empty text, not as "0".
  EXPECT_EQ(GetControlProperty(kMainWindow, 0x16019999, prop::kLabelCaption).AsText(), "");
  EXPECT_EQ(GetControlProperty(0x52010002, ctl::kJavaVersion, prop::kLabelCaption).AsText(), "");

  SetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval, 1000);
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval).AsInt(), 1000);
  SetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval, 0);
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval).AsInt(), 0);
}

// The client area's pixels as the screen shows them (0x00RRGGBB, rows top
// down), after every paint the changes caused has been done.
struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Image Capture(HWND hwnd) {
  for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
  RECT client{};
  ::GetClientRect(hwnd, &client);
  Image image;
  image.width = client.right;
  image.height = client.bottom;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), image.width, -image.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  HDC screen = ::GetDC(hwnd);
  HDC memory = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, image.width, image.height, screen, 0, 0, SRCCOPY);
  ::GdiFlush();
  for (std::size_t i = 0; i < image.pixels.size(); ++i)
    image.pixels[i] = static_cast<const std::uint32_t*>(bits)[i] & 0xFFFFFF;
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(hwnd, screen);
  return image;
}

int Distance(std::uint32_t pixel, COLORREF color) {
  return std::abs(static_cast<int>(pixel >> 16 & 0xFF) - GetRValue(color)) +
         std::abs(static_cast<int>(pixel >> 8 & 0xFF) - GetGValue(color)) +
         std::abs(static_cast<int>(pixel & 0xFF) - GetBValue(color));
}

COLORREF AsColor(std::uint32_t pixel) { return RGB(pixel >> 16 & 0xFF, pixel >> 8 & 0xFF, pixel & 0xFF); }

// The percentage as the progress tick shows it (position first, then the
// caption) must be readable over the bar: text-coloured pixels in the
// middle of the label, over the filled part of the bar at 70% and over the
// empty part at 42%, and none where the caption is empty.
TEST_F(MainWindowTest, ThePercentageIsVisibleOverTheMovingBar) {
  HWND bar = Child(ctl::kProgressBar);
  SetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressVisible, true);
  const RECT label = ClientRectOf(Child(ctl::kPercentLabel));
  const int middle = (label.left + label.right) / 2;
  struct Row {
    int percent;
    const char* caption;
    bool overFilledPart;
    bool textExpected;
  };
  const Row rows[] = {{42, "42%", false, true},
                      {70, "70%", true, true},
                      {70, "", true, false},
                      {99, "99%", true, true},
                      {42, "", false, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.caption);
    SetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressPosition, r.percent);
    SetControlProperty(kMainWindow, ctl::kPercentLabel, prop::kLabelCaption, r.caption);
    const Image image = Capture(window.Handle());
    RECT barRect = ClientRectOf(bar);
    const int fillEdge = barRect.left + (barRect.right - barRect.left) * r.percent / 100;
    const COLORREF text = ::GetSysColor(r.overFilledPart ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    // The bar's own colour beside the text, on the same side of the edge.
    const int aside = r.overFilledPart ? barRect.left + 6 : barRect.right - 6;
    const std::uint32_t background = image.At(aside, (label.top + label.bottom) / 2);
    ASSERT_GT(Distance(background, text), 150) << std::hex << background;
    int textPixels = 0;
    for (int y = label.top + 2; y < label.bottom - 2; ++y)
      for (int x = middle - 30; x < middle + 30; ++x)
        // Nearer the text colour than the bar's own (the glyphs' edges are
        // blended).
        if ((x < fillEdge) == r.overFilledPart &&
            Distance(image.At(x, y), text) * 2 < Distance(image.At(x, y), AsColor(background)))
          ++textPixels;
    if (r.textExpected)
      EXPECT_GE(textPixels, 15);
    else
      EXPECT_EQ(textPixels, 0);
  }
}

}  // namespace
}  // namespace tavrel::app::win32

#include "app/win32/main_window.h"

#include <commctrl.h>

#include "runtime/win32/wide.h"

namespace tavrel::app::win32 {
namespace {

using tavrel::win32::GbkFromWide;
using tavrel::win32::WideFromGbk;

constexpr wchar_t kClassName[] = L"TavrelMainWindow";
constexpr UINT_PTR kStatusBarSubclass = 1;
constexpr UINT_PTR kOverlaySubclass = 2;
// Child window ids are small numbers: WM_COMMAND carries only 16 bits of
// them, and controls are matched by handle anyway.
constexpr int kFirstChildId = 100;

DWORD StyleOf(const ControlDescription& c) {
  // A group box must not clip the controls drawn over it.
  DWORD clip = c.type == ControlType::GroupBox ? 0 : WS_CLIPSIBLINGS;
  DWORD style = WS_CHILD | clip | (c.visible ? WS_VISIBLE : 0) | (c.tabStop ? WS_TABSTOP : 0);
  switch (c.type) {
    case ControlType::GroupBox: return style | BS_GROUPBOX;
    case ControlType::Label: return style | SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX;
    case ControlType::TransLabel: return style | SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX;
    case ControlType::SuperBtn:
    case ControlType::Button: return style | BS_PUSHBUTTON;
    case ControlType::ComboBox: return style | CBS_DROPDOWNLIST | WS_VSCROLL;
    case ControlType::ProcessBar: return style | PBS_SMOOTH;
    case ControlType::StatusBar: return style | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
    case ControlType::Timer: return 0;
  }
  return style;
}

const wchar_t* ClassOf(ControlType type) {
  switch (type) {
    case ControlType::GroupBox:
    case ControlType::SuperBtn:
    case ControlType::Button: return L"BUTTON";
    case ControlType::Label:
    case ControlType::TransLabel: return L"STATIC";
    case ControlType::ComboBox: return L"COMBOBOX";
    case ControlType::ProcessBar: return PROGRESS_CLASSW;
    case ControlType::StatusBar: return STATUSCLASSNAMEW;
    case ControlType::Timer: return nullptr;
  }
  return nullptr;
}

std::wstring WindowTextOf(HWND hwnd) {
  int n = ::GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  n = ::GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(n > 0 ? n : 0));
  return text;
}

}  // namespace

MainWindow::MainWindow(const WindowDescription& description) : description_(description) {
  for (const auto& c : description_.controls) children_.push_back(Child{&c});
}

bool MainWindow::Create(HINSTANCE instance) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &MainWindow::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  wc.lpszClassName = kClassName;
  ::RegisterClassExW(&wc);

  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    font_.Reset(::CreateFontIndirectW(&metrics.lfMessageFont));

  // Centred on the full screen, not the work area.
  Point origin = CenteredOrigin(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                                description_.outerWidth, description_.outerHeight);
  // No WS_CLIPCHILDREN: the window paints the inside of the group box,
  // which a group box leaves to its parent.
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  if (description_.minimizeBox) style |= WS_MINIMIZEBOX;
  if (description_.maximizeBox) style |= WS_MAXIMIZEBOX;
  if (description_.resizable) style |= WS_THICKFRAME;
  hwnd_.Reset(::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, WideFromGbk(description_.caption).c_str(), style,
                                origin.x, origin.y, description_.outerWidth, description_.outerHeight, nullptr, nullptr,
                                instance, this));
  if (!hwnd_) return false;

  for (auto& child : children_) CreateControl(child);
  LinkOverlays();
  // Group boxes lie under the controls inside them; the percentage label
  // lies over the progress bar.
  for (auto& child : children_) {
    if (!child.hwnd) continue;
    if (child.description->type == ControlType::GroupBox)
      ::SetWindowPos(child.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (child.description->type == ControlType::TransLabel)
      ::SetWindowPos(child.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  ::ShowWindow(hwnd_.Get(), SW_SHOWNORMAL);
  ::UpdateWindow(hwnd_.Get());
  Fire(0, kEventPrimary);
  return true;
}

void MainWindow::CreateControl(Child& child) {
  const ControlDescription& c = *child.description;
  if (c.type == ControlType::Timer) {
    SetTimerInterval(child, c.interval);
    return;
  }
  Rect r = ClientRect(description_, c);
  int height = r.height;
  // A drop-down list's window height includes its list.
  if (c.type == ControlType::ComboBox) height += 200;
  DWORD exStyle = c.type == ControlType::TransLabel ? WS_EX_TRANSPARENT : 0;
  auto id = static_cast<INT_PTR>(kFirstChildId + (&child - children_.data()));
  HWND parent = hwnd_.Get();
  child.hwnd = ::CreateWindowExW(exStyle, ClassOf(c.type), WideFromGbk(c.caption ? c.caption : "").c_str(), StyleOf(c),
                                 r.left, r.top, r.width, height, parent, reinterpret_cast<HMENU>(id),
                                 reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (!child.hwnd) return;
  if (font_) ::SendMessageW(child.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);

  switch (c.type) {
    case ControlType::ComboBox: {
      // The closed box keeps the described height. The selection field's
      // height is what can be set; measure and correct, since not every
      // implementation reads back the height it was given.
      LRESULT field = ::SendMessageW(child.hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
      for (int attempt = 0; attempt < 3 && field > 0; ++attempt) {
        RECT wr{};
        ::GetWindowRect(child.hwnd, &wr);
        int off = r.height - (wr.bottom - wr.top);
        if (off == 0 || field + off < 1) break;
        field += off;
        ::SendMessageW(child.hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
      }
      break;
    }
    case ControlType::ProcessBar:
      ::SendMessageW(child.hwnd, PBM_SETRANGE32, c.rangeMin, c.rangeMax);
      ::SendMessageW(child.hwnd, PBM_SETPOS, c.position, 0);
      break;
    case ControlType::StatusBar: {
      std::vector<int> edges;
      int right = 0;
      for (const auto& part : c.parts) edges.push_back(right += part.width);
      ::SendMessageW(child.hwnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
      for (std::size_t i = 0; i < c.parts.size(); ++i)
        ::SendMessageW(child.hwnd, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(WideFromGbk(c.parts[i].text).c_str()));
      ::SetWindowSubclass(child.hwnd, &MainWindow::StatusBarProc, kStatusBarSubclass,
                          reinterpret_cast<DWORD_PTR>(this));
      break;
    }
    default: break;
  }
}

// A transparent label over a progress bar cannot draw its caption itself: the
// bar repaints on every position change, after the label, and covers it. The
// bar draws the caption instead, into the same off-screen image as itself,
// so the text is there on every paint and never flickers.
void MainWindow::LinkOverlays() {
  for (auto& label : children_) {
    if (label.description->type != ControlType::TransLabel || !label.hwnd) continue;
    const Rect l = ClientRect(description_, *label.description);
    for (auto& bar : children_) {
      if (bar.description->type != ControlType::ProcessBar || !bar.hwnd || bar.overlay) continue;
      const Rect b = ClientRect(description_, *bar.description);
      if (l.left >= b.left + b.width || b.left >= l.left + l.width || l.top >= b.top + b.height ||
          b.top >= l.top + l.height)
        continue;
      bar.overlay = label.hwnd;
      label.underlay = bar.hwnd;
      ::SetWindowSubclass(bar.hwnd, &MainWindow::ProgressBarProc, kOverlaySubclass, reinterpret_cast<DWORD_PTR>(this));
      ::SetWindowSubclass(label.hwnd, &MainWindow::OverlayLabelProc, kOverlaySubclass,
                          reinterpret_cast<DWORD_PTR>(this));
      break;
    }
  }
}

void MainWindow::PaintProgressBar(HWND bar, HWND label) {
  PAINTSTRUCT ps;
  HDC screen = ::BeginPaint(bar, &ps);
  RECT client{};
  ::GetClientRect(bar, &client);
  HDC image = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ oldBitmap = ::SelectObject(image, bitmap);
  ::FillRect(image, &client, ::GetSysColorBrush(COLOR_BTNFACE));
  ::DefSubclassProc(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(image), PRF_CLIENT | PRF_ERASEBKGND);

  std::wstring text = WindowTextOf(label);
  if (!text.empty()) {
    RECT area{};
    ::GetWindowRect(label, &area);
    ::MapWindowPoints(nullptr, bar, reinterpret_cast<POINT*>(&area), 2);
    auto low = static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
    auto high = static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    auto position = static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0));
    int edge = high > low ? client.right * (position - low) / (high - low) : 0;
    HGDIOBJ oldFont = ::SelectObject(image, reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)));
    ::SetBkMode(image, TRANSPARENT);
    // Light text over the filled part, dark over the rest.
    const std::pair<RECT, int> parts[] = {{{0, 0, edge, client.bottom}, COLOR_HIGHLIGHTTEXT},
                                          {{edge, 0, client.right, client.bottom}, COLOR_WINDOWTEXT}};
    for (const auto& [clip, color] : parts) {
      if (clip.right <= clip.left) continue;
      int saved = ::SaveDC(image);
      ::IntersectClipRect(image, clip.left, clip.top, clip.right, clip.bottom);
      ::SetTextColor(image, ::GetSysColor(color));
      RECT drawn = area;
      ::DrawTextW(image, text.c_str(), static_cast<int>(text.size()), &drawn,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      ::RestoreDC(image, saved);
    }
    ::SelectObject(image, oldFont);
  }
  ::BitBlt(screen, 0, 0, client.right, client.bottom, image, 0, 0, SRCCOPY);
  ::SelectObject(image, oldBitmap);
  ::DeleteObject(bitmap);
  ::DeleteDC(image);
  ::EndPaint(bar, &ps);
}

LRESULT CALLBACK MainWindow::ProgressBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR self) {
  auto* window = reinterpret_cast<MainWindow*>(self);
  Child* bar = window->FindChild(hwnd);
  switch (message) {
    case WM_ERASEBKGND: return 1;  // the whole client is painted in WM_PAINT
    case WM_PAINT:
      if (bar && bar->overlay && !wParam) {
        window->PaintProgressBar(hwnd, bar->overlay);
        return 0;
      }
      break;
    case WM_NCDESTROY: ::RemoveWindowSubclass(hwnd, &MainWindow::ProgressBarProc, kOverlaySubclass); break;
    default: break;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::OverlayLabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR self) {
  auto* window = reinterpret_cast<MainWindow*>(self);
  Child* label = window->FindChild(hwnd);
  const bool barShown = label && label->underlay && ::IsWindowVisible(label->underlay);
  switch (message) {
    case WM_ERASEBKGND:
      if (barShown) return 1;
      break;
    case WM_PAINT:
      if (barShown) {  // the bar draws the caption
        PAINTSTRUCT ps;
        ::BeginPaint(hwnd, &ps);
        ::EndPaint(hwnd, &ps);
        return 0;
      }
      break;
    case WM_SETTEXT:
      // Kept, not drawn: a static control paints its new text at once,
      // which would show it twice until the bar repaints.
      if (barShown) return ::DefWindowProcW(hwnd, message, wParam, lParam);
      break;
    case WM_NCDESTROY: ::RemoveWindowSubclass(hwnd, &MainWindow::OverlayLabelProc, kOverlaySubclass); break;
    default: break;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

int MainWindow::RunMessageLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (hwnd_ && ::IsDialogMessageW(hwnd_.Get(), &msg)) continue;  // tab stops
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && self->hwnd_.Get() == hwnd) return self->HandleMessage(message, wParam, lParam);
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::StatusBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR self) {
  if (message == WM_LBUTTONDOWN) {
    auto* window = reinterpret_cast<MainWindow*>(self);
    if (Child* child = window->FindChild(hwnd)) window->Fire(child->description->id, kEventLeftButtonDown);
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam) {
        if (Child* child = FindChild(reinterpret_cast<HWND>(lParam))) {
          auto type = child->description->type;
          if (type == ControlType::Button || type == ControlType::SuperBtn) Fire(child->description->id, kEventPrimary);
        }
        return 0;
      }
      break;
    case WM_TIMER:
      if (Child* child = FindChild(static_cast<ControlId>(wParam))) {
        if (child->interval > 0) Fire(child->description->id, kEventPrimary);
        return 0;
      }
      break;
    case WM_CTLCOLORSTATIC:
      if (Child* child = FindChild(reinterpret_cast<HWND>(lParam));
          child && child->description->type == ControlType::TransLabel) {
        // Drawn over the progress bar: no background of its own.
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
      }
      break;
    case WM_CLOSE: ::DestroyWindow(hwnd_.Get()); return 0;
    case WM_DESTROY:
      for (auto& child : children_)
        if (child.description->type == ControlType::Timer) ::KillTimer(hwnd_.Get(), child.description->id);
      ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      hwnd_.Release();  // gone already
      break;
    default: break;
  }
  return ::DefWindowProcW(hwnd_.Get(), message, wParam, lParam);
}

MainWindow::Child* MainWindow::FindChild(ControlId id) {
  for (auto& c : children_)
    if (c.description->id == id) return &c;
  return nullptr;
}

MainWindow::Child* MainWindow::FindChild(HWND hwnd) {
  for (auto& c : children_)
    if (c.hwnd == hwnd) return &c;
  return nullptr;
}

void MainWindow::Fire(ControlId control, int event) {
  if (Handler handler = FindHandler(description_, control, event)) handler();
}

void MainWindow::SetTimerInterval(Child& timer, int interval) {
  timer.interval = ClampedValue(*FindProperty(ControlType::Timer, prop::kTimerInterval), interval, 0, 0, 0);
  if (!hwnd_) return;
  // The control id is the timer id, so WM_TIMER finds its control.
  if (timer.interval == 0)
    ::KillTimer(hwnd_.Get(), timer.description->id);
  else
    ::SetTimer(hwnd_.Get(), timer.description->id, static_cast<UINT>(timer.interval), nullptr);
}

void MainWindow::SetCaption(Child& child, const Text& text) {
  ::SetWindowTextW(child.hwnd, WideFromGbk(text).c_str());
  if (child.description->type != ControlType::TransLabel) return;
  if (child.underlay && ::IsWindowVisible(child.underlay)) {
    ::InvalidateRect(child.underlay, nullptr, FALSE);
    ::UpdateWindow(child.underlay);
  } else {
    RedrawUnder(child.hwnd);
  }
}

// A transparent label leaves its old text behind unless what lies under it
// is drawn again.
void MainWindow::RedrawUnder(HWND child) {
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, hwnd_.Get(), reinterpret_cast<POINT*>(&r), 2);
  ::RedrawWindow(hwnd_.Get(), &r, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

Text MainWindow::Caption(const Child& child) const { return GbkFromWide(WindowTextOf(child.hwnd)); }

PropertyValue MainWindow::GetControlProperty(WindowId window, ControlId control, int property) {
  if (window != description_.id) return {};
  Child* child = FindChild(control);
  if (!child) return {};
  const ControlDescription& c = *child->description;
  if (!FindProperty(c.type, property)) return {};
  // A timer has no window: of its properties only the interval is kept.
  if (c.type == ControlType::Timer)
    return property == prop::kTimerInterval ? PropertyValue(child->interval) : PropertyValue();
  if (!child->hwnd) return {};

  if (property <= prop::kHeight) {
    RECT r{};
    ::GetWindowRect(child->hwnd, &r);
    ::MapWindowPoints(nullptr, hwnd_.Get(), reinterpret_cast<POINT*>(&r), 2);
    Rect parentOrigin{0, 0, 0, 0};
    if (c.parent) {
      if (const ControlDescription* p = FindControl(description_, c.parent))
        parentOrigin = ClientRect(description_, *p);
    }
    switch (property) {
      case prop::kLeft: return static_cast<std::int32_t>(r.left - parentOrigin.left);
      case prop::kTop: return static_cast<std::int32_t>(r.top - parentOrigin.top);
      case prop::kWidth: return static_cast<std::int32_t>(r.right - r.left);
      default: return static_cast<std::int32_t>(r.bottom - r.top);
    }
  }
  switch (property) {
    case prop::kTag: return child->tag;
    case prop::kVisible: return (::GetWindowLongW(child->hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    case prop::kDisabled: return ::IsWindowEnabled(child->hwnd) == FALSE;
    case prop::kMousePointer: return child->mousePointer;
    default: break;
  }
  if (property == CaptionPropertyOf(c.type)) return Caption(*child);
  switch (property) {
    case prop::kComboSelection: return static_cast<std::int32_t>(::SendMessageW(child->hwnd, CB_GETCURSEL, 0, 0));
    case prop::kProgressMinimum: return static_cast<std::int32_t>(::SendMessageW(child->hwnd, PBM_GETRANGE, TRUE, 0));
    case prop::kProgressMaximum: return static_cast<std::int32_t>(::SendMessageW(child->hwnd, PBM_GETRANGE, FALSE, 0));
    case prop::kProgressPosition: return static_cast<std::int32_t>(::SendMessageW(child->hwnd, PBM_GETPOS, 0, 0));
    default: return {};
  }
}

void MainWindow::SetControlProperty(WindowId window, ControlId control, int property, const PropertyValue& value) {
  if (window != description_.id) return;
  Child* child = FindChild(control);
  if (!child) return;
  const ControlDescription& c = *child->description;
  const ControlProperty* row = FindProperty(c.type, property);
  if (!row) return;
  if (c.type == ControlType::Timer) {
    if (property == prop::kTimerInterval) SetTimerInterval(*child, value.AsInt());
    return;
  }
  if (!child->hwnd) return;

  if (property <= prop::kHeight) {
    RECT r{};
    ::GetWindowRect(child->hwnd, &r);
    ::MapWindowPoints(nullptr, hwnd_.Get(), reinterpret_cast<POINT*>(&r), 2);
    int left = r.left, top = r.top, width = r.right - r.left, height = r.bottom - r.top;
    Rect parentOrigin{0, 0, 0, 0};
    if (c.parent) {
      if (const ControlDescription* p = FindControl(description_, c.parent))
        parentOrigin = ClientRect(description_, *p);
    }
    switch (property) {
      case prop::kLeft: left = parentOrigin.left + value.AsInt(); break;
      case prop::kTop: top = parentOrigin.top + value.AsInt(); break;
      case prop::kWidth: width = value.AsInt(); break;
      default: height = value.AsInt(); break;
    }
    ::MoveWindow(child->hwnd, left, top, width, height, TRUE);
    return;
  }
  switch (property) {
    case prop::kTag: child->tag = value.AsText(); return;
    case prop::kVisible:
      ::ShowWindow(child->hwnd, value.AsInt() ? SW_SHOWNA : SW_HIDE);
      // The label over a bar draws its own caption again once the bar is gone.
      if (child->overlay) RedrawUnder(child->overlay);
      return;
    case prop::kDisabled: ::EnableWindow(child->hwnd, value.AsInt() ? FALSE : TRUE); return;
    case prop::kMousePointer: child->mousePointer = value.AsInt(); return;
    default: break;
  }
  if (property == CaptionPropertyOf(c.type)) {
    SetCaption(*child, value.AsText());
    return;
  }
  // The controls keep a selection and a position in bounds themselves.
  switch (property) {
    case prop::kComboSelection:
      ::SendMessageW(child->hwnd, CB_SETCURSEL, static_cast<WPARAM>(value.AsInt()), 0);
      return;
    case prop::kProgressMinimum:
    case prop::kProgressMaximum: {
      auto lo = static_cast<int>(::SendMessageW(child->hwnd, PBM_GETRANGE, TRUE, 0));
      auto hi = static_cast<int>(::SendMessageW(child->hwnd, PBM_GETRANGE, FALSE, 0));
      (property == prop::kProgressMinimum ? lo : hi) = value.AsInt();
      ::SendMessageW(child->hwnd, PBM_SETRANGE32, lo, hi);
      return;
    }
    case prop::kProgressPosition: ::SendMessageW(child->hwnd, PBM_SETPOS, value.AsInt(), 0); return;
    default: return;
  }
}

std::int32_t MainWindow::ComboInsertItem(WindowId window, ControlId control, std::int32_t index, const Text& text,
                                         std::int32_t itemData) {
  if (window != description_.id || index < 0) return -1;
  Child* child = FindChild(control);
  if (!child || !child->hwnd || child->description->type != ControlType::ComboBox) return -1;
  LRESULT at = ::SendMessageW(child->hwnd, CB_INSERTSTRING, static_cast<WPARAM>(index),
                              reinterpret_cast<LPARAM>(WideFromGbk(text).c_str()));
  if (at == CB_ERR || at == CB_ERRSPACE) return -1;
  ::SendMessageW(child->hwnd, CB_SETITEMDATA, static_cast<WPARAM>(at), itemData);
  return static_cast<std::int32_t>(at);
}

}  // namespace tavrel::app::win32

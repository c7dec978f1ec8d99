// The main window as a real Win32 window built from its description. It is
// the program's UiHost: handlers reach the controls through it.
#pragma once

#include <map>
#include <vector>

#include "app/window_description.h"
#include "runtime/controls.h"
#include "runtime/win32/handles.h"

namespace tavrel::app::win32 {

class MainWindow final : public UiHost {
 public:
  explicit MainWindow(const WindowDescription& description);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and every control, shows it, then runs the created
  // event's handler. False when the window cannot be created.
  bool Create(HINSTANCE instance);
  HWND Handle() const { return hwnd_.Get(); }
  // Runs the message loop until the window is closed.
  int RunMessageLoop();

  PropertyValue GetControlProperty(WindowId window, ControlId control, int property) override;
  void SetControlProperty(WindowId window, ControlId control, int property, const PropertyValue& value) override;
  std::int32_t ComboInsertItem(WindowId window, ControlId control, std::int32_t index, const Text& text,
                               std::int32_t itemData) override;

 private:
  struct Child {
    const ControlDescription* description;
    HWND hwnd = nullptr;
    int interval = 0;  // timers
    Text tag{};
    std::int32_t mousePointer = 0;
    // A progress bar: the label whose caption it draws over itself. A label:
    // the bar that draws its caption.
    HWND overlay = nullptr;
    HWND underlay = nullptr;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK StatusBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self);
  static LRESULT CALLBACK ProgressBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                          DWORD_PTR self);
  static LRESULT CALLBACK OverlayLabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR self);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void LinkOverlays();
  void PaintProgressBar(HWND bar, HWND label);
  void RedrawUnder(HWND child);
  void CreateControl(Child& child);
  Child* FindChild(ControlId id);
  Child* FindChild(HWND hwnd);
  void Fire(ControlId control, int event);
  void SetTimerInterval(Child& timer, int interval);
  void SetCaption(Child& child, const Text& text);
  Text Caption(const Child& child) const;

  const WindowDescription& description_;
  std::vector<Child> children_;
  // Destroyed first: the window's last messages still reach the children.
  tavrel::win32::UniqueFont font_;
  tavrel::win32::UniqueWindow hwnd_;
};

}  // namespace tavrel::app::win32

// The main window described as data: the runtime (real or headless) builds
// the window and its controls from this and routes events to the handlers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "app/control_types.h"
#include "runtime/controls.h"

namespace tavrel::app {

// Event numbers: 0 is each type's own first event (created, clicked, tick);
// -1 is the left mouse button pressed on the control.
inline constexpr int kEventPrimary = 0;
inline constexpr int kEventLeftButtonDown = -1;

using Handler = void (*)();

struct EventBinding {
  int event;
  Handler handler;
};

struct StatusPart {
  const char* text;
  int width;
};

struct ControlDescription {
  const char* name;  // as stored, GBK
  ControlType type;
  ControlId id;
  ControlId parent;  // 0 for the window itself
  int left, top, width, height;
  bool visible;
  bool tabStop;
  const char* caption;                // Label, GroupBox, Button, SuperBtn, TransLabel
  int rangeMin, rangeMax, position;   // ProcessBar
  int interval;                       // Timer
  std::span<const StatusPart> parts;  // StatusBar
  std::span<const EventBinding> events;
};

struct WindowDescription {
  WindowId id;
  const char* caption;
  int outerWidth, outerHeight;
  int storedLeft, storedTop;  // not used: the window is centred
  bool minimizeBox, maximizeBox, resizable;
  std::span<const EventBinding> events;
  std::span<const ControlDescription> controls;
};

const WindowDescription& MainWindowDescription();

const ControlDescription* FindControl(const WindowDescription& window, ControlId id);
const ControlDescription* FindControlByName(const WindowDescription& window, TextView name);
// The handler bound to (control, event), or null; control 0 means the window.
Handler FindHandler(const WindowDescription& window, ControlId control, int event);
// A control's position in the window's client area (group box offsets applied).
struct Rect {
  int left, top, width, height;
};
Rect ClientRect(const WindowDescription& window, const ControlDescription& control);
// Left and top of a window of the given outer size centred on the full screen.
struct Point {
  int x, y;
};
Point CenteredOrigin(int screenWidth, int screenHeight, int outerWidth, int outerHeight);

}  // namespace tavrel::app

// The control types of a window and the one table of their properties: which
// property numbers a type has, what kind of value each holds and how a value
// written to it is kept in bounds. The real window and the headless model
// both read it.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/controls.h"

namespace tavrel::app {

enum class ControlType { GroupBox, Label, SuperBtn, ComboBox, Button, ProcessBar, TransLabel, Timer, StatusBar };

// Property numbers: the common ones (tavrel::prop) and the types' own.
namespace prop {
using namespace tavrel::prop;
inline constexpr int kLabelCaption = 8;         // Label, TransLabel
inline constexpr int kSuperButtonCaption = 22;  // SuperBtn
inline constexpr int kComboSelection = 19;      // ComboBox: 0-based, -1 for none
inline constexpr int kProgressVisible = 5;      // ProcessBar
inline constexpr int kProgressMinimum = 11;     // ProcessBar
inline constexpr int kProgressMaximum = 12;     // ProcessBar
inline constexpr int kProgressPosition = 13;    // ProcessBar
inline constexpr int kTimerInterval = 8;        // Timer: ms, 0 stops
inline constexpr int kGroupCaption = 8;         // GroupBox
inline constexpr int kButtonCaption = 8;        // Button
}  // namespace prop

enum class PropertyKind { Integer, Logical, Text };

enum class Clamp {
  None,
  ToRange,      // between the control's minimum and maximum (a progress position)
  ToItems,      // an item's index, anything else -1 (a selection)
  NonNegative,  // below 0 reads as 0 (a timer interval)
};

struct ControlProperty {
  int number;
  PropertyKind kind;
  Clamp clamp = Clamp::None;
};

// Every property a control of the type has: the common ones, then its own.
std::span<const ControlProperty> PropertiesOf(ControlType type);
// The type's property of that number, or null when the type lacks it (a
// control ignores it then).
const ControlProperty* FindProperty(ControlType type, int number);
// The number of a control type's caption property, -1 for a type without one.
int CaptionPropertyOf(ControlType type);
// A value as the property keeps it; lo and hi bound a ToRange property, and
// items counts the entries a ToItems one may select.
std::int32_t ClampedValue(const ControlProperty& property, std::int32_t value, std::int32_t lo, std::int32_t hi,
                          std::int32_t items);

}  // namespace tavrel::app

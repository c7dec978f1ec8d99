// Control services: the program reads and writes its window only through
// these, addressing a control by (window identifier, control identifier) and
// its properties by number.
#pragma once

#include <cstdint>
#include <optional>
#include <variant>

#include "runtime/seam.h"
#include "runtime/value.h"

namespace tavrel {

using WindowId = std::uint32_t;
using ControlId = std::uint32_t;

// Property numbers common to every control type.
namespace prop {
inline constexpr int kLeft = 0, kTop = 1, kWidth = 2, kHeight = 3, kTag = 4, kVisible = 5, kDisabled = 6,
                     kMousePointer = 7;
}  // namespace prop

// A property value: integers and logicals as int32, texts as Text, or
// nothing (a missing control or property), which reads as 0 and as the
// empty text.
class PropertyValue {
 public:
  PropertyValue() = default;
  PropertyValue(std::int32_t v) : value_(v) {}                // NOLINT: values convert implicitly, as in the runtime
  PropertyValue(bool v) : value_(std::int32_t{v ? 1 : 0}) {}  // NOLINT
  PropertyValue(Text v) : value_(std::move(v)) {}             // NOLINT
  PropertyValue(const char* v) : value_(Text(v ? v : "")) {}  // NOLINT

  bool IsText() const { return std::holds_alternative<Text>(value_); }
  // A text property read as a number gives 0; a number read as text its decimal form.
  std::int32_t AsInt() const;
  Text AsText() const;

  bool operator==(const PropertyValue&) const = default;

 private:
  std::variant<std::monostate, std::int32_t, Text> value_;
};

class UiHost {
 public:
  virtual ~UiHost() = default;
  virtual PropertyValue GetControlProperty(WindowId window, ControlId control, int property) = 0;
  virtual void SetControlProperty(WindowId window, ControlId control, int property, const PropertyValue& value) = 0;
  // Inserts at the 0-based index; returns the new item's index or -1.
  virtual std::int32_t ComboInsertItem(WindowId window, ControlId control, std::int32_t index, const Text& text,
                                       std::int32_t itemData) = 0;
};

PropertyValue GetControlProperty(WindowId window, ControlId control, int property);
void SetControlProperty(WindowId window, ControlId control, int property, const PropertyValue& value);
std::int32_t ComboInsertItem(WindowId window, ControlId control, std::int32_t index, TextView text,
                             std::optional<std::int32_t> itemData = std::nullopt);

// The window in use: the real one on Windows, the headless model in tests;
// none before start-up and after it ends.
inline constinit Seam<UiHost> g_uiHostSeam;

}  // namespace tavrel

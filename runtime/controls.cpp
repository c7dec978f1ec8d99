#include "runtime/controls.h"

#include <charconv>

namespace tavrel {

std::int32_t PropertyValue::AsInt() const {
  if (const auto* i = std::get_if<std::int32_t>(&value_)) return *i;
  return 0;
}

Text PropertyValue::AsText() const {
  if (const auto* t = std::get_if<Text>(&value_)) return *t;
  if (const auto* i = std::get_if<std::int32_t>(&value_)) return std::to_string(*i);
  return {};
}

// Without a window (before start-up, or after it ends) control services do
// nothing and read as empty, as a missing control does.
PropertyValue GetControlProperty(WindowId window, ControlId control, int property) {
  UiHost* host = g_uiHostSeam.Get();
  return host ? host->GetControlProperty(window, control, property) : PropertyValue{};
}

void SetControlProperty(WindowId window, ControlId control, int property, const PropertyValue& value) {
  if (UiHost* host = g_uiHostSeam.Get()) host->SetControlProperty(window, control, property, value);
}

std::int32_t ComboInsertItem(WindowId window, ControlId control, std::int32_t index, TextView text,
                             std::optional<std::int32_t> itemData) {
  if (index < 0) return -1;
  UiHost* host = g_uiHostSeam.Get();
  return host ? host->ComboInsertItem(window, control, index, Text(text), itemData.value_or(0)) : -1;
}

}  // namespace tavrel

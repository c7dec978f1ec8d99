#include "app/headless/headless_window.h"

namespace tavrel::app::headless {
namespace {
using prop::kComboSelection, prop::kProgressMinimum, prop::kProgressMaximum, prop::kProgressPosition,
    prop::kTimerInterval;
}  // namespace

HeadlessWindow::HeadlessWindow(const WindowDescription& description) : description_(description) {
  for (const auto& c : description_.controls) controls_.push_back(Control{&c, {}, {}});
}

HeadlessWindow::~HeadlessWindow() {
  if (installed_) {
    if (g_uiHostSeam.Get() == this) g_uiHostSeam.Install(nullptr);
    g_messageHostSeam.Install(nullptr);
  }
}

void HeadlessWindow::Install() {
  g_uiHostSeam.Install(this);
  g_messageHostSeam.Install(this);
  installed_ = true;
}

void HeadlessWindow::Create(bool fireCreated) {
  for (auto& control : controls_) {
    const ControlDescription& c = *control.description;
    auto& p = control.properties;
    p[prop::kLeft] = c.left;
    p[prop::kTop] = c.top;
    p[prop::kWidth] = c.width;
    p[prop::kHeight] = c.height;
    p[prop::kTag] = Text();
    p[prop::kVisible] = c.visible;
    p[prop::kDisabled] = false;
    p[prop::kMousePointer] = 0;
    if (int caption = CaptionPropertyOf(c.type); caption >= 0) p[caption] = Text(c.caption ? c.caption : "");
    switch (c.type) {
      case ControlType::ComboBox: p[kComboSelection] = -1; break;
      case ControlType::ProcessBar:
        p[kProgressMinimum] = c.rangeMin;
        p[kProgressMaximum] = c.rangeMax;
        p[kProgressPosition] = c.position;
        break;
      case ControlType::Timer: p[kTimerInterval] = c.interval; break;
      default: break;
    }
  }
  if (fireCreated) Fire(0, kEventPrimary);
}

HeadlessWindow::Control* HeadlessWindow::Find(ControlId id) {
  for (auto& c : controls_)
    if (c.description->id == id) return &c;
  return nullptr;
}

const HeadlessWindow::Control* HeadlessWindow::Find(ControlId id) const {
  for (const auto& c : controls_)
    if (c.description->id == id) return &c;
  return nullptr;
}

void HeadlessWindow::Fire(ControlId control, int event) {
  if (Handler handler = FindHandler(description_, control, event)) handler();
}

void HeadlessWindow::Click(ControlId control) { Fire(control, kEventPrimary); }
void HeadlessWindow::PressLeftButton(ControlId control) { Fire(control, kEventLeftButtonDown); }

void HeadlessWindow::SelectItem(ControlId combo, std::int32_t index) {
  SetControlProperty(description_.id, combo, kComboSelection, index);
}

bool HeadlessWindow::Tick(ControlId timer) {
  Control* c = Find(timer);
  if (!c || c->description->type != ControlType::Timer || c->properties[kTimerInterval].AsInt() <= 0) return false;
  Fire(timer, kEventPrimary);
  return true;
}

Text HeadlessWindow::Caption(ControlId control) {
  Control* c = Find(control);
  if (!c) return {};
  int caption = CaptionPropertyOf(c->description->type);
  return caption < 0 ? Text() : c->properties[caption].AsText();
}

std::vector<Text> HeadlessWindow::ComboItems(ControlId combo) const {
  std::vector<Text> items;
  if (const Control* c = Find(combo))
    for (const auto& item : c->items) items.push_back(item.first);
  return items;
}

std::int32_t HeadlessWindow::Int(ControlId control, int property) {
  return GetControlProperty(description_.id, control, property).AsInt();
}

PropertyValue HeadlessWindow::GetControlProperty(WindowId window, ControlId control, int property) {
  if (window != description_.id) return {};
  Control* c = Find(control);
  if (!c) return {};
  auto it = c->properties.find(property);
  return it == c->properties.end() ? PropertyValue{} : it->second;
}

void HeadlessWindow::SetControlProperty(WindowId window, ControlId control, int property, const PropertyValue& value) {
  if (window != description_.id) return;
  Control* c = Find(control);
  if (!c) return;
  // Only the properties a control of this type has can be set, as a real
  // control ignores the others.
  const ControlProperty* row = FindProperty(c->description->type, property);
  if (!row) return;
  auto& p = c->properties;
  auto intOf = [&p](int number) {
    auto it = p.find(number);
    return it == p.end() ? 0 : it->second.AsInt();
  };
  switch (row->kind) {
    case PropertyKind::Text: p[property] = value.AsText(); return;
    case PropertyKind::Logical: p[property] = value.AsInt() != 0; return;
    case PropertyKind::Integer:
      p[property] = ClampedValue(*row, value.AsInt(), intOf(kProgressMinimum), intOf(kProgressMaximum),
                                 static_cast<std::int32_t>(c->items.size()));
      return;
  }
}

std::int32_t HeadlessWindow::ComboInsertItem(WindowId window, ControlId control, std::int32_t index, const Text& text,
                                             std::int32_t itemData) {
  if (window != description_.id || index < 0) return -1;
  Control* c = Find(control);
  if (!c || c->description->type != ControlType::ComboBox) return -1;
  // As CB_INSERTSTRING: an index past the end fails.
  if (index > static_cast<std::int32_t>(c->items.size())) return -1;
  c->items.insert(c->items.begin() + index, {text, itemData});
  std::int32_t selection = c->properties[kComboSelection].AsInt();
  if (selection >= index) c->properties[kComboSelection] = selection + 1;
  return index;
}

std::int32_t HeadlessWindow::MessageBox(const Text& message, std::uint32_t flags, const Text& title,
                                        WindowHandle owner) {
  MessageBoxCall call{message, flags, title, owner};
  std::function<std::int32_t(const MessageBoxCall&)> answer;
  {
    std::lock_guard guard(boxLock_);
    boxes_.push_back(call);
    answer = answer_;
  }
  return answer ? answer(call) : 1;
}

std::vector<MessageBoxCall> HeadlessWindow::MessageBoxes() const {
  std::lock_guard guard(boxLock_);
  return boxes_;
}

void HeadlessWindow::ClearMessageBoxes() {
  std::lock_guard guard(boxLock_);
  boxes_.clear();
}

void HeadlessWindow::AnswerMessageBoxesWith(std::function<std::int32_t(const MessageBoxCall&)> answer) {
  std::lock_guard guard(boxLock_);
  answer_ = std::move(answer);
}

}  // namespace tavrel::app::headless

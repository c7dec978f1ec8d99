#include "app/control_types.h"

#include <algorithm>
#include <array>

namespace tavrel::app {
namespace {

constexpr PropertyKind kInt = PropertyKind::Integer, kLogical = PropertyKind::Logical, kText = PropertyKind::Text;

constexpr ControlProperty kCommon[] = {
    {prop::kLeft, kInt}, {prop::kTop, kInt},         {prop::kWidth, kInt},        {prop::kHeight, kInt},
    {prop::kTag, kText}, {prop::kVisible, kLogical}, {prop::kDisabled, kLogical}, {prop::kMousePointer, kInt},
};
constexpr std::size_t kCommonCount = std::size(kCommon);

// The common rows followed by a type's own.
template <std::size_t N>
constexpr std::array<ControlProperty, kCommonCount + N> WithCommon(const ControlProperty (&own)[N]) {
  std::array<ControlProperty, kCommonCount + N> all{};
  for (std::size_t i = 0; i < kCommonCount; ++i) all[i] = kCommon[i];
  for (std::size_t i = 0; i < N; ++i) all[kCommonCount + i] = own[i];
  return all;
}

constexpr ControlProperty kCaptionOwn[] = {{prop::kLabelCaption, kText}};
constexpr ControlProperty kSuperButtonOwn[] = {{prop::kSuperButtonCaption, kText}};
constexpr ControlProperty kComboOwn[] = {{prop::kComboSelection, kInt, Clamp::ToItems}};
constexpr ControlProperty kProgressOwn[] = {
    {prop::kProgressMinimum, kInt}, {prop::kProgressMaximum, kInt}, {prop::kProgressPosition, kInt, Clamp::ToRange}};
constexpr ControlProperty kTimerOwn[] = {{prop::kTimerInterval, kInt, Clamp::NonNegative}};

constexpr auto kCaptioned = WithCommon(kCaptionOwn);
constexpr auto kSuperButton = WithCommon(kSuperButtonOwn);
constexpr auto kCombo = WithCommon(kComboOwn);
constexpr auto kProgress = WithCommon(kProgressOwn);
constexpr auto kTimer = WithCommon(kTimerOwn);

}  // namespace

std::span<const ControlProperty> PropertiesOf(ControlType type) {
  switch (type) {
    case ControlType::GroupBox:
    case ControlType::Label:
    case ControlType::TransLabel:
    case ControlType::Button: return kCaptioned;
    case ControlType::SuperBtn: return kSuperButton;
    case ControlType::ComboBox: return kCombo;
    case ControlType::ProcessBar: return kProgress;
    case ControlType::Timer: return kTimer;
    case ControlType::StatusBar: return kCommon;
  }
  return kCommon;
}

const ControlProperty* FindProperty(ControlType type, int number) {
  for (const ControlProperty& p : PropertiesOf(type))
    if (p.number == number) return &p;
  return nullptr;
}

int CaptionPropertyOf(ControlType type) {
  for (const ControlProperty& p : PropertiesOf(type))
    if (p.kind == PropertyKind::Text && p.number != prop::kTag) return p.number;
  return -1;
}

std::int32_t ClampedValue(const ControlProperty& property, std::int32_t value, std::int32_t lo, std::int32_t hi,
                          std::int32_t items) {
  switch (property.clamp) {
    case Clamp::None: return value;
    case Clamp::ToRange: return value < lo ? lo : (value > hi ? hi : value);
    case Clamp::ToItems: return value >= 0 && value < items ? value : -1;
    case Clamp::NonNegative: return std::max(value, std::int32_t{0});
  }
  return value;
}

}  // namespace tavrel::app

#include "app/control_types.h"

#include <gtest/gtest.h>

#include <set>

namespace tavrel::app {
namespace {

using enum ControlType;
constexpr ControlType kAllTypes[] = {GroupBox,   Label,      SuperBtn, ComboBox, Button,
                                     ProcessBar, TransLabel, Timer,    StatusBar};

TEST(ControlProperties, EveryTypeHasTheCommonOnesAndNoNumberTwice) {
  for (ControlType type : kAllTypes) {
    SCOPED_TRACE(static_cast<int>(type));
    std::set<int> numbers;
    for (const ControlProperty& p : PropertiesOf(type)) EXPECT_TRUE(numbers.insert(p.number).second) << p.number;
    for (int common = prop::kLeft; common <= prop::kMousePointer; ++common) EXPECT_TRUE(numbers.count(common));
    EXPECT_EQ(FindProperty(type, -1), nullptr);
    EXPECT_EQ(FindProperty(type, 99), nullptr);
    const int caption = CaptionPropertyOf(type);
    if (caption >= 0) {
      EXPECT_EQ(FindProperty(type, caption)->kind, PropertyKind::Text);
    }
  }
}

TEST(ControlProperties, ClampsKeepValuesInBounds) {
  struct Row {
    ControlType type;
    int property;
    std::int32_t value, lo, hi, items, kept;
  };
  const Row rows[] = {
      {ProcessBar, prop::kProgressPosition, 150, 0, 100, 0, 100},
      {ProcessBar, prop::kProgressPosition, -5, 0, 100, 0, 0},
      {ProcessBar, prop::kProgressMaximum, 150, 0, 100, 0, 150},
      {ComboBox, prop::kComboSelection, 2, 0, 0, 2, -1},
      {ComboBox, prop::kComboSelection, 1, 0, 0, 2, 1},
      {Timer, prop::kTimerInterval, -1, 0, 0, 0, 0},
      {Label, prop::kLeft, -7, 0, 0, 0, -7},
  };
  for (const Row& r : rows) {
    const ControlProperty* p = FindProperty(r.type, r.property);
    ASSERT_NE(p, nullptr) << r.property;
    EXPECT_EQ(ClampedValue(*p, r.value, r.lo, r.hi, r.items), r.kept) << r.property << " " << r.value;
  }
  EXPECT_EQ(CaptionPropertyOf(SuperBtn), prop::kSuperButtonCaption);
  EXPECT_EQ(CaptionPropertyOf(Timer), -1);
  EXPECT_EQ(CaptionPropertyOf(StatusBar), -1);
}

}  // namespace
}  // namespace tavrel::app

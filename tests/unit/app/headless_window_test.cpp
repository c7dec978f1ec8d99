#include "app/headless/headless_window.h"

#include <gtest/gtest.h>

#include "app/main_window_ids.h"
#include "runtime/system.h"

namespace tavrel::app::headless {
namespace {

class HeadlessWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.Install();
    window.Create(/*fireCreated=*/false);
  }
  HeadlessWindow window;
};

TEST_F(HeadlessWindowTest, StartsAsDescribed) {
  EXPECT_EQ(window.Caption(ctl::kGroupSystem), "系统环境");
  EXPECT_EQ(window.Caption(ctl::kSuperButton), "刷新");
  EXPECT_EQ(window.Caption(ctl::kInstallButton), "安装");
  EXPECT_EQ(window.Caption(ctl::kJavaVersion), "");
  EXPECT_EQ(window.Caption(ctl::kPercentLabel), "");
  EXPECT_EQ(window.Int(ctl::kProgressBar, prop::kProgressVisible), 0);
  EXPECT_EQ(window.Int(ctl::kPercentLabel, tavrel::prop::kVisible), 1);
  EXPECT_EQ(window.Int(ctl::kProgressBar, prop::kProgressMaximum), 100);
  EXPECT_EQ(window.Int(ctl::kReleaseBox, prop::kComboSelection), -1);
  EXPECT_TRUE(window.ComboItems(ctl::kReleaseBox).empty());
  EXPECT_EQ(window.Int(ctl::kTimer, prop::kTimerInterval), 0);
  EXPECT_FALSE(window.Tick(ctl::kTimer));  // interval 0: the timer does not fire
}

TEST_F(HeadlessWindowTest, ControlServicesReachTheModel) {
  SetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption, "1.8");
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption).AsText(), "1.8");
  // What is not there reads as the empty text and as 0: another window
  // identifier, a missing control, a property the control lacks.
  const std::pair<WindowId, ControlId> missing[] = {{0x52010002, ctl::kJavaVersion}, {kMainWindow, 0x16019999}};
  for (auto [windowId, control] : missing) {
    EXPECT_EQ(GetControlProperty(windowId, control, prop::kLabelCaption).AsText(), "") << control;
    EXPECT_EQ(GetControlProperty(windowId, control, prop::kLabelCaption).AsInt(), 0) << control;
  }
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kJavaVersion, 99).AsText(), "");
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressPosition).AsText(), "0");

  EXPECT_EQ(ComboInsertItem(kMainWindow, ctl::kReleaseBox, 0, "Java 8u271"), 0);
  EXPECT_EQ(ComboInsertItem(kMainWindow, ctl::kReleaseBox, 1, "Java 11.0.9"), 1);
  EXPECT_EQ(ComboInsertItem(kMainWindow, ctl::kReleaseBox, -1, "x"), -1);
  EXPECT_EQ(ComboInsertItem(kMainWindow, ctl::kReleaseBox, 5, "x"), -1);
  EXPECT_EQ(window.ComboItems(ctl::kReleaseBox), (std::vector<Text>{"Java 8u271", "Java 11.0.9"}));
  EXPECT_EQ(window.Int(ctl::kReleaseBox, prop::kComboSelection), -1);
  window.SelectItem(ctl::kReleaseBox, 1);
  EXPECT_EQ(window.Int(ctl::kReleaseBox, prop::kComboSelection), 1);
  window.SelectItem(ctl::kReleaseBox, 7);
  EXPECT_EQ(window.Int(ctl::kReleaseBox, prop::kComboSelection), -1);

  SetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressPosition, 150);
  EXPECT_EQ(window.Int(ctl::kProgressBar, prop::kProgressPosition), 100);
  SetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval, -1);  // as the real timer keeps it
  EXPECT_EQ(window.Int(ctl::kTimer, prop::kTimerInterval), 0);
  SetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kProgressMinimum, 3);  // not a label's
  EXPECT_EQ(GetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kProgressMinimum).AsText(), "");
}

TEST_F(HeadlessWindowTest, MessageBoxesAreRecordedAndAnswered) {
  window.AnswerMessageBoxesWith([](const MessageBoxCall& call) { return (call.flags & 0x30) == 0x30 ? 7 : 1; });
  EXPECT_EQ(ShowMessageBox("JDK环境变量配置失败", 16), 0);
  EXPECT_EQ(ShowMessageBox("本地目录已有此文件  ", 48, TextView("友情提醒")), 6);
  auto boxes = window.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].message, "JDK环境变量配置失败");
  EXPECT_EQ(boxes[0].title, "信息：");
  EXPECT_EQ(boxes[0].flags, 0x2010u);
  EXPECT_EQ(boxes[1].title, "友情提醒");
}

}  // namespace
}  // namespace tavrel::app::headless

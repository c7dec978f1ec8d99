#include "runtime/system.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/fatal.h"
#include "runtime/program_end.h"
#include "runtime/startup.h"

namespace tavrel {
namespace {

TEST(RunProgram, WindowModesMapToShowCommands) {
  struct Row {
    std::optional<std::int32_t> mode;
    std::int32_t show;
  };
  const Row rows[] = {{std::nullopt, 1}, {1, 0}, {2, 1},  {3, 2}, {4, 3}, {5, 4}, {6, 6}, {0, 0},
                      {-5, 0},           {7, 6}, {100, 6}};
  for (const auto& r : rows) EXPECT_EQ(ShowCommandOfWindowMode(r.mode), r.show) << r.mode.value_or(-999);
}

TEST(StartRuntime, ADriveRootIsMadeCurrentAsTheRoot) {
  const std::pair<const char*, const char*> rows[] = {{"C:", "C:\\"},
                                                      {"C:\\Tools", "C:\\Tools"},
                                                      {"\\\\server\\share", "\\\\server\\share"},
                                                      {"/opt/tavrel", "/opt/tavrel"}};
  for (auto [run, current] : rows) EXPECT_EQ(StartDirectoryOf(run), current) << run;
}

TEST(ShowMessageBox, ButtonNumbersAndModality) {
  const std::pair<std::int32_t, std::int32_t> ids[] = {{1, 0}, {2, 1}, {3, 2},  {4, 3}, {5, 4},
                                                       {6, 5}, {7, 6}, {0, -1}, {8, -1}};
  for (auto [id, number] : ids) EXPECT_EQ(ButtonNumberOfId(id), number) << id;

  EXPECT_EQ(EffectiveMessageBoxFlags(0), 0x2000u);
  EXPECT_EQ(EffectiveMessageBoxFlags(64), 0x2040u);
  EXPECT_EQ(EffectiveMessageBoxFlags(0x1000 | 16), 0x1010u);  // system-modal stays as it is
  EXPECT_EQ(EffectiveMessageBoxFlags(0x2000 | 48), 0x2030u);
}

class RecordingMessages final : public MessageHost {
 public:
  struct Call {
    Text message;
    std::uint32_t flags;
    Text title;
  };
  std::vector<Call> calls;
  std::int32_t answer = 1;
  std::int32_t MessageBox(const Text& m, std::uint32_t f, const Text& t, WindowHandle) override {
    calls.push_back({m, f, t});
    return answer;
  }
  void ProcessEvents() override {}
};

TEST(ShowMessageBox, DefaultTitleAndGivenTitle) {
  RecordingMessages rec;
  g_messageHostSeam.Install(&rec);
  rec.answer = 6;  // IDYES
  EXPECT_EQ(ShowMessageBox("JDK环境变量配置成功", 64), 5);
  EXPECT_EQ(ShowMessageBox("本地目录已有此文件  ", 48, TextView("友情提醒")), 5);
  EXPECT_EQ(ShowMessageBox("x", 0, TextView("")), 5);
  g_messageHostSeam.Install(nullptr);
  ASSERT_EQ(rec.calls.size(), 3u);
  EXPECT_EQ(rec.calls[0].title, "信息：");
  EXPECT_EQ(rec.calls[0].flags, 0x2040u);
  EXPECT_EQ(rec.calls[1].title, "友情提醒");
  EXPECT_EQ(rec.calls[1].message, "本地目录已有此文件  ");
  EXPECT_EQ(rec.calls[2].title, "");  // a given empty title is not the default
}

std::vector<int>& EndLog() {
  static std::vector<int> log;
  return log;
}
void EndA(std::int32_t place) { EndLog().push_back(100 + place); }
void EndB(std::int32_t place) { EndLog().push_back(200 + place); }

TEST(ProgramEnd, RoutinesRunOnceInOrderOfRegistration) {
  EXPECT_EXIT(
      {
        // Other tests of this process may have registered routines of their own.
        ClearProgramEndRoutines();
        OnProgramEnd(&EndB);
        OnProgramEnd(&EndA);
        OnProgramEnd(&EndB);  // a second registration is ignored
        RunProgramEndSequence();
        RunProgramEndSequence();  // the sequence runs once
        std::_Exit(EndLog() == std::vector<int>({200, 101}) ? 7 : 1);
      },
      ::testing::ExitedWithCode(7), "");
}

TEST(ProgramEnd, ExitProgramRunsRoutinesThenEndsWithTheCode) {
  EXPECT_EXIT(
      {
        OnProgramEnd(+[](std::int32_t) { std::fputs("routine ran", stderr); });
        ExitProgram(3);
      },
      ::testing::ExitedWithCode(3), "routine ran");
}

}  // namespace
}  // namespace tavrel

namespace tavrel {
namespace {

// On Windows a fatal error waits for its box to be closed; the Windows
// suite covers that path with a watcher that answers it.
#ifndef _WIN32
TEST(FatalError, RunsNoEndRoutineAndEndsWithMinusOne) {
  EXPECT_EXIT(
      {
        OnProgramEnd(+[](std::int32_t) { std::fputs("routine ran", stderr); });
        FatalError("数组成员引用下标超出定义范围");
      },
      ::testing::ExitedWithCode(255), "运行时出错!数组成员引用下标超出定义范围");
}

TEST(FatalError, ALongMessageIsCutNotLost) {
  EXPECT_EXIT(FatalError(Text(5000, 'x')), ::testing::ExitedWithCode(255), "运行时出错!xxxx");
}

TEST(FatalError, ArrayIndexesAreCheckedAndOneBased) {
  Array<int> a(std::vector<int>{10, 20});
  EXPECT_EQ(a[1], 10);
  EXPECT_EQ(a[2], 20);
  EXPECT_EXIT(a[3], ::testing::ExitedWithCode(255), "数组成员引用下标超出定义范围");
  EXPECT_EXIT(a[0], ::testing::ExitedWithCode(255), "数组成员引用下标必须大于等于1");
}

TEST(FatalError, RunningOutOfMemoryNamesTheSize) {
  EXPECT_EXIT(
      {
        std::size_t huge = static_cast<std::size_t>(-1) / 2;
        volatile char* p = new char[huge];
        p[0] = 1;
      },
      ::testing::ExitedWithCode(255), "分配 [0-9]+ 字节内存失败!");
}
#endif

}  // namespace
}  // namespace tavrel

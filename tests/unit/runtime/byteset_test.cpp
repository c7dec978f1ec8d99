#include "runtime/byteset.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace tavrel {
namespace {

TEST(ByteSets, LengthConcatAndCuts) {
  const ByteSet abc = {1, 2, 3};
  const ByteSet empty;
  EXPECT_EQ(ByteSetLength(abc), 3);
  EXPECT_EQ(ByteSetLength(empty), 0);
  EXPECT_EQ(ConcatByteSets({&abc, &empty, nullptr, &abc}), (ByteSet{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(ConcatByteSets({&empty, &empty}), ByteSet());

  struct Row {
    const char* what;
    ByteSet got;
    ByteSet want;
  };
  const Row rows[] = {
      {"left 2", ByteSetLeft(abc, 2), {1, 2}},
      {"left 9", ByteSetLeft(abc, 9), {1, 2, 3}},
      {"left 0", ByteSetLeft(abc, 0), {}},
      {"left -1", ByteSetLeft(abc, -1), {}},
      {"mid 2,1", ByteSetMid(abc, 2, 1), {2}},
      {"mid 2,9", ByteSetMid(abc, 2, 9), {2, 3}},
      {"mid 3,1", ByteSetMid(abc, 3, 1), {3}},
      {"mid 4,1", ByteSetMid(abc, 4, 1), {}},
      {"mid 0,2", ByteSetMid(abc, 0, 2), {}},
      {"mid 1,0", ByteSetMid(abc, 1, 0), {}},
      {"zero 3", ZeroByteSet(3), {0, 0, 0}},
      {"zero 0", ZeroByteSet(0), {}},
      {"zero -1", ZeroByteSet(-1), {}},
      {"memory", ByteSetFromMemory("xyz", 2), {'x', 'y'}},
      {"memory 0", ByteSetFromMemory("xyz", 0), {}},
      {"memory null", ByteSetFromMemory(nullptr, 4), {}},
  };
  for (const auto& r : rows) EXPECT_EQ(r.got, r.want) << r.what;
}

template <class T>
void Put(ByteSet& bytes, T value) {
  const std::size_t at = bytes.size();
  bytes.resize(at + sizeof(T));
  std::memcpy(bytes.data() + at, &value, sizeof(T));
}

TEST(ByteSetValue, ReadsEachKindAndAdvancesThePosition) {
  ByteSet bytes;
  Put<std::uint8_t>(bytes, 0xFE);
  Put<std::int16_t>(bytes, -2);
  Put<std::int32_t>(bytes, -123456);
  Put<std::int64_t>(bytes, -9000000000);
  Put<float>(bytes, 1.5f);
  Put<double>(bytes, -0.25);
  Put<std::int32_t>(bytes, 2);  // any non-zero logical is true
  Put<double>(bytes, 45000.5);
  Put<std::uintptr_t>(bytes, 0x1234);
  for (char c : std::string("ab\xD6\xD0")) bytes.push_back(static_cast<std::uint8_t>(c));
  bytes.push_back(0);
  bytes.push_back('z');

  struct Row {
    std::int32_t kind;
    ByteSetScalar want;
  };
  const Row rows[] = {
      {1, std::uint8_t{0xFE}},
      {2, std::int16_t{-2}},
      {3, std::int32_t{-123456}},
      {4, std::int64_t{-9000000000}},
      {5, 1.5f},
      {6, -0.25},
      {7, true},
      {8, DateTime{45000.5}},
      {9, RoutineAddress{0x1234}},
      {10, Text("ab\xD6\xD0")},
      {10, Text("z")},
  };
  std::int32_t position = 1;
  for (const auto& r : rows) {
    ByteSetScalar got = ByteSetValue(bytes, r.kind, &position);
    EXPECT_EQ(got.index(), r.want.index()) << "kind " << r.kind;
    EXPECT_TRUE(got == r.want) << "kind " << r.kind;
  }
  // The last text ran to the end without a zero; the position is one past it.
  EXPECT_EQ(position, static_cast<std::int32_t>(bytes.size()) + 2);
}

TEST(ByteSetValue, DefaultPositionAndValuesBeyondTheEnd) {
  const ByteSet bytes = {0x01, 0x02, 0x03};
  EXPECT_EQ(ByteSetValue(bytes, 1), ByteSetScalar(std::uint8_t{1}));
  EXPECT_EQ(ByteSetValue(bytes, 2), ByteSetScalar(std::int16_t{0x0201}));

  struct Row {
    std::int32_t kind, start;
    ByteSetScalar want;
    std::int32_t next;
  };
  const Row rows[] = {
      {3, 1, std::int32_t{0}, 5},       // 4 bytes do not fit in 3
      {2, 2, std::int16_t{0x0302}, 4},  // exactly fits
      {2, 3, std::int16_t{0}, 5},
      {1, 4, std::uint8_t{0}, 5},
      {1, 0, std::uint8_t{0}, 1},
      {1, -5, std::uint8_t{0}, -4},
      {10, 1, Text("\x01\x02\x03"), 5},
      {10, 4, Text(), 5},
      {10, 9, Text(), 10},
      {7, 1, false, 5},
  };
  for (const auto& r : rows) {
    std::int32_t position = r.start;
    EXPECT_EQ(ByteSetValue(bytes, r.kind, &position), r.want) << "kind " << r.kind << " at " << r.start;
    EXPECT_EQ(position, r.next) << "kind " << r.kind << " at " << r.start;
  }
  EXPECT_EQ(ByteSetValue(ByteSet(), 3), ByteSetScalar(std::int32_t{0}));
}

// On Windows the fatal path shows a box that no one would answer.
#if GTEST_HAS_DEATH_TEST && !defined(_WIN32)
TEST(ByteSetValueDeathTest, KindOutsideOneToTenIsFatal) {
  const ByteSet bytes = {1, 2, 3, 4};
  for (std::int32_t kind : {0, 11, -1}) {
    EXPECT_EXIT(ByteSetValue(bytes, kind), ::testing::ExitedWithCode(255),
                ::testing::HasSubstr(Text("“欲取出数据的类型”参数值无效")))
        << kind;
  }
}
#endif

TEST(BitOperations, AndOrOverSeveralValues) {
  EXPECT_EQ(BitAnd({0x0F, 0x3C}), 0x0C);
  EXPECT_EQ(BitOr({0x0F, 0x3C}), 0x3F);
  EXPECT_EQ(BitAnd({0x7, 0x6, 0x4}), 0x4);
  EXPECT_EQ(BitOr({0x1, 0x2, 0x40}), 0x43);
  EXPECT_EQ(BitAnd({-1, 0x12345678}), 0x12345678);
  EXPECT_EQ(BitOr({0x7FFFFFFF, -0x7FFFFFFF - 1}), -1);
  EXPECT_EQ(BitAnd({0x7FFFFFFF, -0x7FFFFFFF - 1}), 0);
  EXPECT_EQ(BitOr({0x00800000, 0x00000200}), 0x00800200);  // flag words as the download service builds them
}

}  // namespace
}  // namespace tavrel

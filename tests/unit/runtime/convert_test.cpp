#include "runtime/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavrel {
namespace {

constexpr auto kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr auto kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr auto kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr auto kInt64Min = std::numeric_limits<std::int64_t>::min();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FullWidthToHalfWidth, FullWidthBlockAndSpaceOnly) {
  struct Row {
    Text in, want;
  };
  const Row rows[] = {
      {"\xA3\xB1\xA3\xB2", "12"},  // full-width digits
      {"\xA3\xA1", "!"},           // first of the block
      {"\xA3\xFE", "~"},           // last of the block
      {"\xA3\xC1\xA3\xE1", "Aa"},
      {"\xA1\xA1x", " x"},       // full-width space
      {"\xA3\xA0", "\xA3\xA0"},  // just outside the block
      {"\xA3\xFF", "\xA3\xFF"},
      {"\xD6\xD0", "\xD6\xD0"},                  // other characters stay
      {"\xB0\xA3\xB1\xB2", "\xB0\xA3\xB1\xB2"},  // 0xA3 as a trail byte starts nothing
      {"1\xA3", "1\xA3"},                        // lone lead byte at the end
      {"", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(FullWidthToHalfWidth(r.in), r.want) << r.in;
}

TEST(ToNumber, LeadingFloatingPointLiteral) {
  struct Row {
    TextView text;
    double want;
  };
  const Row rows[] = {
      {"1", 1.0},
      {"\xA3\xB1", 1.0},  // full-width one
      {"\xA3\xB1\xA3\xB2\xA3\xAE\xA3\xB5", 12.5},
      {"\xA3\xAD\xA3\xB3", -3.0},  // full-width minus
      {"\xA1\xA1"
       "7",
       7.0},
      {"abc", 0.0},
      {"1abc", 1.0},
      {"v1", 0.0},
      {"1.00000001", 1.00000001},
      {"0.1", 0.1},
      {"  -2.5e3x", -2500.0},
      {"\t+.5", 0.5},
      {"1.", 1.0},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"2E-2", 0.02},
      {"12,5", 12.0},  // a comma is never a decimal point
      {".", 0.0},
      {"-", 0.0},
      {"+-1", 0.0},
      {"", 0.0},
      {"0x1A", 26.0},
      {"0x1p4", 16.0},
      {"0x", 0.0},
      {"0xg", 0.0},
      {"inf", 0.0},
      {"nan", 0.0},
      {"1e-999", 0.0},
      {"0.000e999", 0.0},
      {"\r\n1", 1.0},
  };
  for (const auto& r : rows) EXPECT_EQ(ToNumber(r.text), r.want) << r.text;

  EXPECT_EQ(ToNumber("1e999"), HUGE_VAL);
  EXPECT_EQ(ToNumber("-1e999"), -HUGE_VAL);
  EXPECT_EQ(ToNumber("0.0000001e400"), HUGE_VAL);
  EXPECT_EQ(ToNumber("100000e-400"), 0.0);
  EXPECT_EQ(ToNumber(2.5), 2.5);
  EXPECT_EQ(ToNumber(7), 7.0);
  EXPECT_EQ(ToNumber(std::int64_t{1} << 40), 1099511627776.0);
}

TEST(ToInteger, LeadingDecimalIntegerSaturating) {
  struct Row {
    TextView text;
    std::int32_t want;
  };
  const Row rows[] = {
      {"42", 42},
      {"\xA3\xB1\xA3\xB2", 12},
      {"-7x", -7},
      {"3.9", 3},
      {"x3", 0},
      {"", 0},
      {"  +5", 5},
      {"0x10", 0},
      {"8443/", 8443},
      {"abc", 0},
      {"2147483647", kInt32Max},
      {"-2147483648", kInt32Min},
      {"2147483648", kInt32Max},
      {"99999999999999999999", kInt32Max},
      {"-99999999999999999999", kInt32Min},
  };
  for (const auto& r : rows) EXPECT_EQ(ToInteger(r.text), r.want) << r.text;

  struct DoubleRow {
    double value;
    std::int32_t want;
  };
  const DoubleRow doubles[] = {
      {3.9, 3},
      {-3.9, -3},
      {0.0, 0},
      {kNaN, 0},
      {1e20, kInt32Max},
      {-1e20, kInt32Min},
      {2147483647.9, kInt32Max},
      {-2147483648.9, kInt32Min},
      {HUGE_VAL, kInt32Max},
  };
  for (const auto& r : doubles) EXPECT_EQ(ToInteger(r.value), r.want) << r.value;
}

TEST(TruncateToInteger, TowardZeroAndSaturating) {
  struct Row {
    double value;
    std::int64_t want;
  };
  const Row rows[] = {
      {99.99999, 99},
      {-0.9, 0},
      {2.5e9, 2500000000},
      {-2.5e9, -2500000000},
      {kNaN, 0},
      {1e30, kInt64Max},
      {-1e30, kInt64Min},
      {9223372036854775808.0, kInt64Max},
      {-9223372036854775808.0, kInt64Min},
  };
  for (const auto& r : rows) EXPECT_EQ(TruncateToInteger(r.value), r.want) << r.value;
  // The download percentage: bytes stored × 100 / total.
  EXPECT_EQ(TruncateToInteger(5000000000.0 * 100 / 5000000001.0), 99);
}

TEST(ToText, IntegersBytesAndByteSets) {
  EXPECT_EQ(ToText(std::int32_t{-42}), "-42");
  EXPECT_EQ(ToText(kInt32Min), "-2147483648");
  EXPECT_EQ(ToText(std::int16_t{-5}), "-5");
  EXPECT_EQ(ToText(std::uint8_t{200}), "200");
  EXPECT_EQ(ToText(std::int64_t{-9000000000}), "-9000000000");
  EXPECT_EQ(ToText(TextView("\xD6\xD0")), "\xD6\xD0");
  EXPECT_EQ(ToText(static_cast<const char*>(nullptr)), "");

  struct Row {
    ByteSet bytes;
    Text want;
  };
  const Row rows[] = {
      {{0x61, 0x00, 0x62}, "a"}, {{0x61, 0x62}, "ab"}, {{0x00, 0x61}, ""}, {{}, ""}, {{0xD6, 0xD0}, "\xD6\xD0"},
  };
  for (const auto& r : rows) EXPECT_EQ(ToText(r.bytes), r.want);

  // Array elements are read as their little-endian bytes.
  EXPECT_EQ(ToText(Array<std::int32_t>({0x00636261})), "abc");
  EXPECT_EQ(ToText(Array<std::int32_t>({0x64636261, 0x65})), "abcde");
  EXPECT_EQ(ToText(Array<std::int32_t>({0x00006261, 0x65})), "ab");
  EXPECT_EQ(ToText(Array<std::int32_t>()), "");
}

TEST(ToByteSet, LittleEndianAndRawBytes) {
  struct Row {
    const char* what;
    ByteSet got;
    ByteSet want;
  };
  const Row rows[] = {
      {"text", ToByteSet(TextView("a\xD6\xD0")), {0x61, 0xD6, 0xD0}},
      {"empty text", ToByteSet(TextView("")), {}},
      {"int32", ToByteSet(std::int32_t{0x01020304}), {4, 3, 2, 1}},
      {"int32 -1", ToByteSet(std::int32_t{-1}), {0xFF, 0xFF, 0xFF, 0xFF}},
      {"int32 0", ToByteSet(std::int32_t{0}), {0, 0, 0, 0}},
      {"int64", ToByteSet(std::int64_t{0x0102030405060708}), {8, 7, 6, 5, 4, 3, 2, 1}},
      {"array", ToByteSet(Array<std::int32_t>({1, -2})), {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
      {"empty array", ToByteSet(Array<std::int32_t>()), {}},
      {"byte set", ToByteSet(ByteSet{9, 0, 8}), {9, 0, 8}},
  };
  for (const auto& r : rows) EXPECT_EQ(r.got, r.want) << r.what;
}

}  // namespace
}  // namespace tavrel

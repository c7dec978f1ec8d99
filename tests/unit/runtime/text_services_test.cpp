#include "runtime/text.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavrel {
namespace {

using std::nullopt;
using OptInt = std::optional<std::int32_t>;

// Two-byte characters whose second byte is an ASCII byte the tests look for:
// 0xD6 0x5C ends in a backslash, 0xB0 0x61 in 'a', 0xC4 0x41 in 'A'.
constexpr char kTrailBackslash[] = "\xD6\x5C";
constexpr char kTrailLowerA[] = "\xB0\x61";
constexpr char kTrailUpperA[] = "\xC4\x41";
constexpr char kZhong[] = "\xD6\xD0";
constexpr char kFullWidthSpace[] = "\xA1\xA1";

std::vector<Text> Elements(const Array<Text>& a) { return a.Elements(); }

TEST(CharWidthAt, LeadByteTakesTheNextUnlessItIsTheEnd) {
  struct Row {
    TextView text;
    std::size_t i;
    std::size_t width;
  };
  const Row rows[] = {
      {"a\xD6\xD0", 0, 1},
      {"a\xD6\xD0", 1, 2},
      {"\xD6", 0, 1},
      {"a\x80", 1, 1},
      {TextView("\xFF\x00z", 3), 0, 2},  // a zero inside the view is just a byte
      {"\x7F\x80", 0, 1},
  };
  for (const auto& r : rows) EXPECT_EQ(CharWidthAt(r.text, r.i), r.width) << r.i;
}

TEST(BasicText, LengthConcatDuplicateAndCompare) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength(kZhong), 2);
  EXPECT_EQ(ConcatText({"a", "", kZhong, "b"}), Text("a\xD6\xD0"
                                                     "b"));
  EXPECT_EQ(ConcatText({"", ""}), "");
  EXPECT_EQ(DuplicateText("x y"), "x y");

  struct Row {
    TextView a, b;
    std::int32_t sign;
  };
  const Row rows[] = {
      {"", "", 0},         {"", "a", -1},    {"a", "", 1},
      {"abc", "abd", -1},  {"abc", "ab", 1}, {"\x80", "\x7F", 1},  // unsigned order: high bytes sort last
      {"B", "a", -1},                                              // byte order, not ignoring case
      {kZhong, kZhong, 0},
  };
  for (const auto& r : rows) EXPECT_EQ(CompareText(r.a, r.b), r.sign) << r.a << " vs " << r.b;

  const unsigned char x[] = {1, 0x90, 3};
  const unsigned char y[] = {1, 0x10, 9};
  EXPECT_EQ(CompareBytes(x, y, 3), 1);
  EXPECT_EQ(CompareBytes(y, x, 3), -1);
  EXPECT_EQ(CompareBytes(x, y, 1), 0);
  EXPECT_EQ(CompareBytes(x, y, 0), 0);
  EXPECT_EQ(CompareBytes(x, y, -4), 0);
}

TEST(TextCuts, LeftRightMidBounds) {
  struct Row {
    const char* what;
    Text got;
    Text want;
  };
  const Row rows[] = {
      {"left 2", TextLeft("abc", 2), "ab"},
      {"left 9", TextLeft("abc", 9), "abc"},
      {"left 0", TextLeft("abc", 0), ""},
      {"left -1", TextLeft("abc", -1), ""},
      {"right 2", TextRight("abc", 2), "bc"},
      {"right 9", TextRight("abc", 9), "abc"},
      {"right 0", TextRight("abc", 0), ""},
      {"mid 0,2", TextMid("abc", 0, 2), ""},
      {"mid 4,1", TextMid("abc", 4, 1), ""},
      {"mid 2,9", TextMid("abc", 2, 9), "bc"},
      {"mid 3,1", TextMid("abc", 3, 1), "c"},
      {"mid 1,0", TextMid("abc", 1, 0), ""},
      {"mid -1,3", TextMid("abc", -1, 3), ""},
      {"mid of empty", TextMid("", 1, 1), ""},
      {"byte cut in a character", TextLeft(kZhong, 1), "\xD6"},
  };
  for (const auto& r : rows) EXPECT_EQ(r.got, r.want) << r.what;
}

TEST(CharCodes, SignedBytesAndOutOfRangePositions) {
  struct Row {
    TextView text;
    OptInt position;
    std::int32_t code;
  };
  const Row rows[] = {
      {"\xE9z", nullopt, -23}, {"a", nullopt, 97}, {"ab", 2, 98},         {"ab", 3, 0}, {"ab", 0, 0},
      {"ab", -1, 0},           {"", nullopt, 0},   {"\x7F\x80", 2, -128},
  };
  for (const auto& r : rows) EXPECT_EQ(CharCode(r.text, r.position), r.code) << r.text;

  EXPECT_EQ(CharFromCode(65), "A");
  EXPECT_EQ(CharFromCode(0), "");
  EXPECT_EQ(CharFromCode(0xE9), "\xE9");
  EXPECT_EQ(CharFromCode(-23), "\xE9");
  EXPECT_EQ(CharFromCode(0x141), "A");  // only the low byte counts
}

TEST(FindText, PositionsStartsAndCase) {
  struct Row {
    TextView text, sought;
    OptInt start;
    std::optional<Logical> ignoreCase;
    std::int32_t want;
  };
  const Row rows[] = {
      {"aXbX", "x", 1, 1, 2},
      {"aXbX", "x", 1, 0, -1},
      {"aXbX", "x", nullopt, nullopt, -1},
      {"aXbX", "X", 3, nullopt, 4},
      {"abc", "a", 9, nullopt, -1},
      {"abc", "c", 3, nullopt, 3},
      {"abc", "a", 4, nullopt, -1},
      {"abc", "a", 0, nullopt, 1},  // a start below 1 counts as 1
      {"abc", "a", -7, nullopt, 1},
      {"abc", "bcd", nullopt, nullopt, -1},  // sought runs past the end
      {"abc", "abc", nullopt, nullopt, 1},
      {"", "a", nullopt, nullopt, -1},
      {"abc", "", nullopt, nullopt, 1},
      {"abc", "", 2, nullopt, 2},
      {"", "", nullopt, nullopt, -1},
      {"ABC", "abc", nullopt, 5, 1},  // any non-zero logical is true
      {"[A]", "[a]", nullopt, 1, 1},  // only letters fold
      {"{", "[", nullopt, 1, -1},
      {"@", "`", nullopt, 1, -1},
  };
  for (const auto& r : rows)
    EXPECT_EQ(FindText(r.text, r.sought, r.start, r.ignoreCase), r.want)
        << r.text << " / " << r.sought << " from " << r.start.value_or(-99);
}

TEST(FindText, NeverMatchesOnTheSecondByteOfACharacter) {
  const Text backslashInside = Text("x") + kTrailBackslash + "y";
  const Text aInside = Text(kTrailLowerA) + "b";
  const Text upperAInside = Text(kZhong) + kTrailUpperA;
  struct Row {
    Text text, sought;
    OptInt start;
    std::optional<Logical> ignoreCase;
    std::int32_t want;
  };
  const Row rows[] = {
      {backslashInside, "\\", nullopt, nullopt, -1},
      {backslashInside + "\\", "\\", nullopt, nullopt, 5},
      {aInside, "a", nullopt, nullopt, -1},
      {aInside, "ab", nullopt, nullopt, -1},
      {aInside, "b", nullopt, nullopt, 3},
      {upperAInside, "a", nullopt, 1, -1},
      {upperAInside, kTrailUpperA, nullopt, nullopt, 3},
      {upperAInside, kZhong, nullopt, nullopt, 1},
      // A start on the second byte of a character moves on to the next one.
      {aInside, "a", 2, nullopt, -1},
      {aInside + "a", "a", 2, nullopt, 4},
      // A run of high bytes: \xB0\xB0 then \xB0a; position 4 is a trail byte.
      {"\xB0\xB0\xB0"
       "a",
       "a", 1, nullopt, -1},
      {"\xB0\xB0\xB0"
       "aa",
       "a", 4, nullopt, 5},
      {"z\xB0\xB0\xB0"
       "a",
       "a", 2, nullopt, -1},
      {"\xB0"
       "aa",
       "a", nullopt, nullopt, 3},
      {"\xB0"
       "abab",
       "ab", nullopt, nullopt, 4},
      {"\xB0"
       "abab",
       "AB", nullopt, 1, 4},
      // The lone lead byte at the very end is still a place to match.
      {"a\xB0", "\xB0", nullopt, nullopt, 2},
  };
  for (const auto& r : rows)
    EXPECT_EQ(FindText(r.text, r.sought, r.start, r.ignoreCase), r.want)
        << r.sought << " from " << r.start.value_or(-99);
}

TEST(FindTextLast, EndPositionBoundsTheRegion) {
  struct Row {
    TextView text, sought;
    OptInt end;
    std::optional<Logical> ignoreCase;
    std::int32_t want;
  };
  const Text trail = Text("\\") + kTrailBackslash;  // only position 1 is a backslash character
  const Row rows[] = {
      {"a,b,c", ",", nullopt, nullopt, 4}, {"a,b,c", ",", 4, nullopt, 2},
      {"a,b,c", ",", 5, nullopt, 4},  // the first 4 bytes hold the comma at 4
      {"a,b,c", ",", 99, nullopt, 4},      {"a,b,c", ",", 2, nullopt, -1},
      {"a,b,c", ",", 1, nullopt, -1},      {"a,b,c", ",", 0, nullopt, -1},
      {"abab", "ab", 4, nullopt, 1},  // the match at 3 reaches past byte 3
      {"abab", "ab", 5, nullopt, 3},       {"aAa", "A", nullopt, nullopt, 2},
      {"aAa", "A", nullopt, 1, 3},         {trail, "\\", nullopt, nullopt, 1},
      {"", ",", nullopt, nullopt, -1},     {"abc", "", nullopt, nullopt, 3},
      {"", "", nullopt, nullopt, -1},
  };
  for (const auto& r : rows)
    EXPECT_EQ(FindTextLast(r.text, r.sought, r.end, r.ignoreCase), r.want)
        << r.text << " / " << r.sought << " end " << r.end.value_or(-99);
}

TEST(CaseChanges, OnlyAsciiLettersOfOneByteCharacters) {
  struct Row {
    Text in, upper, lower;
  };
  const Row rows[] = {
      {"Hello, World 9", "HELLO, WORLD 9", "hello, world 9"},
      {"[`@{]", "[`@{]", "[`@{]"},
      {kTrailLowerA, kTrailLowerA, kTrailLowerA},
      {kTrailUpperA, kTrailUpperA, kTrailUpperA},
      {Text("a") + kTrailUpperA + "B", Text("A") + kTrailUpperA + "B", Text("a") + kTrailUpperA + "b"},
      {"\xC4"
       "a",
       "\xC4"
       "a",
       "\xC4"
       "a"},
      {"x\xC4", "X\xC4", "x\xC4"},  // lone lead byte at the end
      {"", "", ""},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(ToUpper(r.in), r.upper) << r.in;
    EXPECT_EQ(ToLower(r.in), r.lower) << r.in;
  }
}

TEST(TrimSpaces, AsciiAndFullWidthSpacesOnly) {
  const Text fw = kFullWidthSpace;
  struct Row {
    Text in, want;
  };
  const Row rows[] = {
      {"  a b  ", "a b"},
      {fw + " a" + fw, "a"},
      {fw + fw + "x " + fw + " ", "x"},
      {"\tx ", "\tx"},
      {" x\r\n", "x\r\n"},
      {"   ", ""},
      {fw, ""},
      {"", ""},
      // 0x20 and 0xA1 0xA1 as the second half of a character stay.
      {"\xD6 ", "\xD6 "},
      {"x\xB0\xA1\xA1", "x\xB0\xA1\xA1"},
      {"x\xB0\xA1\xA1\xA1", "x\xB0\xA1"},  // here the last two bytes are a space
      {"x \xA1", "x \xA1"},                // half a full-width space is no space
  };
  for (const auto& r : rows) EXPECT_EQ(TrimSpaces(r.in), r.want) << r.in;
}

TEST(ReplaceText, DefaultsAndArguments) {
  using OptView = std::optional<TextView>;
  struct Row {
    const char* what;
    Text text;
    TextView sought;
    OptView replacement;
    OptInt start, count;
    std::optional<Logical> caseSensitive;
    Text want;
  };
  const Row rows[] = {
      {"ignores case by default", "Set-Cookie: x", "set-cookie:", nullopt, nullopt, nullopt, nullopt, " x"},
      {"case-sensitive misses", "Set-Cookie: x", "set-cookie:", nullopt, nullopt, nullopt, 1, "Set-Cookie: x"},
      {"all occurrences", "a.b.c", ".", "--", nullopt, nullopt, nullopt, "a--b--c"},
      {"count 1", "a.b.c", ".", "-", nullopt, 1, nullopt, "a-b.c"},
      {"count 0 copies", "a.b.c", ".", "-", nullopt, 0, nullopt, "a.b.c"},
      {"negative count is no limit", "a.b.c", ".", "-", nullopt, -1, nullopt, "a-b-c"},
      {"from start 3", "a.b.c", ".", "-", 3, nullopt, nullopt, "a.b-c"},
      {"start on a match", "a.b.c", ".", "-", 2, 1, nullopt, "a-b.c"},
      {"start beyond the end", "a.b.c", ".", "-", 6, nullopt, nullopt, "a.b.c"},
      {"start below 1", "a.b", ".", "-", -3, nullopt, nullopt, "a-b"},
      {"empty sought", "abc", "", "x", nullopt, nullopt, nullopt, "abc"},
      {"empty text", "", "a", "x", nullopt, nullopt, nullopt, ""},
      {"walk moves past the match", "aaa", "aa", "b", nullopt, nullopt, nullopt, "ba"},
      {"longer replacement is not searched again", "ab", "a", "aa", nullopt, nullopt, nullopt, "aab"},
      {"trail byte never matches", Text(kTrailBackslash) + "\\", "\\", "/", nullopt, nullopt, nullopt,
       Text(kTrailBackslash) + "/"},
      {"ignore-case over a trail byte", Text(kTrailUpperA) + "A", "a", "b", nullopt, nullopt, nullopt,
       Text(kTrailUpperA) + "b"},
      {"whole characters replaced", Text(kZhong) + "x" + kZhong, kZhong, "-", nullopt, nullopt, nullopt, "-x-"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ReplaceText(r.text, r.sought, r.replacement, r.start, r.count, r.caseSensitive), r.want) << r.what;
}

TEST(SplitText, SeparatorsMaximumAndEmptyPieces) {
  using OptView = std::optional<TextView>;
  struct Row {
    Text text;
    OptView separator;
    OptInt maxCount;
    std::vector<Text> want;
  };
  const Row rows[] = {
      {"a,,b,", nullopt, nullopt, {"a", "", "b"}},
      {"a,b,c", nullopt, 2, {"a", "b"}},
      {"a,b,c", nullopt, 3, {"a", "b", "c"}},
      {"a,b,c", nullopt, 1, {"a"}},
      {"a,b,c", nullopt, 0, {}},
      {"a,b,c", nullopt, -1, {"a", "b", "c"}},
      {"", nullopt, nullopt, {}},
      {",a", nullopt, nullopt, {"", "a"}},
      {",", nullopt, nullopt, {""}},
      {"abc", nullopt, nullopt, {"abc"}},
      {"a,b", TextView(""), nullopt, {"a,b"}},
      {"k1; k2;k3", TextView("; "), nullopt, {"k1", "k2;k3"}},
      {"a\r\nb\r\n", TextView("\r\n"), nullopt, {"a", "b"}},
      {"xAyaz", TextView("a"), nullopt, {"xAy", "z"}},  // separators match exactly
      {Text(kTrailBackslash) + "\\b", TextView("\\"), nullopt, {kTrailBackslash, "b"}},
      {Text(kZhong) + "," + kZhong, nullopt, nullopt, {kZhong, kZhong}},
  };
  for (const auto& r : rows) {
    Array<Text> got = SplitText(r.text, r.separator, r.maxCount);
    EXPECT_EQ(Elements(got), r.want) << r.text;
    EXPECT_EQ(got.Count(), static_cast<std::int32_t>(r.want.size()));
    EXPECT_EQ(got.Dimensions(), 1) << "one-dimensional even when empty: " << r.text;
  }
}

TEST(SpaceText, CountsBelowOneAreEmpty) {
  EXPECT_EQ(SpaceText(3), "   ");
  EXPECT_EQ(SpaceText(1), " ");
  EXPECT_EQ(SpaceText(0), "");
  EXPECT_EQ(SpaceText(-2), "");
}

}  // namespace
}  // namespace tavrel

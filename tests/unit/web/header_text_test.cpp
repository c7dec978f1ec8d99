#include "web/header_text.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(CapitalizeFirst, OnlyAnAsciiInitialChanges) {
  const std::pair<Text, Text> rows[] = {
      {"", ""},
      {"a", "A"},
      {"abc-def", "Abc-def"},
      {"Zeta", "Zeta"},
      {"1st", "1st"},
      {"\xE4\xB8", "\xE4\xB8"},    // a two-byte character stays as it is
      {"\xA3\xE1x", "\xA3\xE1x"},  // full-width 'a' is not an ASCII letter
      {"{x", "{x"},                // the byte after 'z' is untouched
      {"`x", "`x"},                // and so is the one before 'a'
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(CapitalizeFirst(in), out) << in;
}

TEST(NormalizeHeaderNames, NamesCapitalisedValuesKept) {
  const std::pair<Text, Text> rows[] = {
      {"content-type: text/html\r\nx-requested-with: a", "Content-Type: text/html\r\nX-Requested-With: a"},
      {"garbage", ""},
      {"a:b\r\n", "A:b"},
      {"", ""},
      {"CONTENT-TYPE: x", "CONTENT-TYPE: x"},
      {"accept: text/html-x; q=a-b", "Accept: text/html-x; q=a-b"},  // the value's dashes are not names
      {"\r\n\r\nx-a: 1\r\n\r\nnoline\r\nb: 2\r\n", "X-A: 1\r\nB: 2"},
      {"x-: 1", "X-: 1"},  // the empty piece after the dash survives
      {"-a: 1", "-A: 1"},
      {"a--b: 1", "A--B: 1"},
      {": v", ": v"},
      {"user-agent:Foo: bar", "User-Agent:Foo: bar"},  // only up to the first colon
      {"x-\xD6\xD0-y: 1", "X-\xD6\xD0-Y: 1"},          // GBK piece left alone
      {"a: 1\nb: 2", "A: 1\nb: 2"},                    // a bare LF is no line break
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(NormalizeHeaderNames(in), out) << in;
}

TEST(TextBetween, MarkersAndQuoteMarker) {
  struct Row {
    Text text, start, end, expected;
  };
  const Row rows[] = {
      {"a key=\"val\" b", "key=#引号", "#引号", "val"},
      {"abc", "a", "z", ""},
      {"abc", "a", "b", ""},
      {"abc", "z", "c", ""},
      {"abcabd", "a", "d", "bcab"},
      {"a1xa2b", "a", "b", "1xa2"},  // only the first start marker counts
      {"a1 xb", "x", "x", ""},       // the end is searched after the start marker
      {"Set-Cookie: sid=abc; Path=/", "Set-Cookie:", ";", " sid=abc"},
      {"#引号x#引号", "#", "#", "引号x"},  // the marker in the text itself is not replaced
      {"q\"\"", "#引号", "#引号", ""},
      {"x=\xD6\xD0;", "=", ";", "\xD6\xD0"},
      {"", "a", "b", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(TextBetween(r.text, r.start, r.end), r.expected) << r.text;
}

TEST(TextBetween, EndMarkerInsideTwoByteCharacterIsNotFound) {
  // 0xB0 0x40 is one GBK character; its second byte is '@'.
  EXPECT_EQ(TextBetween("<\xB0@x@", "<", "@"), "\xB0@x");
}

TEST(ValueAfterColonAndTextBefore, CutAtTheFirstSeparator) {
  const std::pair<Text, Text> afterColon[] = {
      {"User-Agent: Foo ", "Foo"},
      {"Accept: x\r\nUSER-AGENT: Foo", "x\r\nUSER-AGENT: Foo"},
      {"none", ""},
      {"a:", ""},
      {"a:\xA1\xA1v\xA1\xA1", "v"},  // full-width spaces trimmed
      {"a:\tv", "\tv"},              // a tab is not a space
  };
  for (const auto& [in, out] : afterColon) EXPECT_EQ(ValueAfterColon(in), out) << in;

  struct Row {
    Text text, separator, expected;
  };
  const Row before[] = {
      {"Set-Cookie: a=b", ": ", "Set-Cookie"},
      {"Set-Cookie:a=b", ": ", ""},
      {": x", ": ", ""},
      {"a: b: c", ": ", "a"},
      {"", ": ", ""},
  };
  for (const auto& r : before) EXPECT_EQ(TextBefore(r.text, r.separator), r.expected) << r.text;
}

}  // namespace
}  // namespace tavrel

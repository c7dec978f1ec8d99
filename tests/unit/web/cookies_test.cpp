#include "web/cookies.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

TEST(MergeCookies, NewFirstThenUnreplacedOld) {
  struct Row {
    Text oldCookies, newCookies, merged, newAfter;
  };
  const Row rows[] = {
      {"a=1; b=2;", "b=3; c=4", "b=3; c=4; a=1", "b=3; c=4"},  // replacement
      {"a=1; b=2", "b=3", "b=3; a=1", "b=3"},
      {"sid=1", "sid=deleted", "", "sid=deleted"},  // deleted with its old value
      {"a=1; sid=1", "sid=deleted; b=2", "b=2; a=1", "sid=deleted; b=2"},
      {"sid=1", "sid=Deleted", "sid=Deleted", "sid=Deleted"},  // exact letter case only
      {"", "x=1; x=1; x=2", "x=1; x=2", "x=1; x=1; x=2"},      // repeated items
      {"a=1; a=2; b=1", "", "a=1; b=1", ""},                   // first of an old name wins
      {"a=1;b=2", "", "a=1;b=2", ""},                          // no space: one item named "a"
      {"a=1;b=2", "a=9", "a=9", "a=9"},
      {"  a=1 ;", "  b=2; ", "b=2; a=1 ", "b=2; "},  // ends trimmed, ";" completed
      {"", "", "", ""},
      {"flag; a=1", "flag", "flag; a=1", "flag"},  // items without "="
      {" tok = 1", "tok=2", "tok=2", "tok=2"},     // names compared trimmed
      {"A=1", "a=2", "a=2; A=1", "a=2"},           // names are case-sensitive
      {"x=\xD6\xD0; y=1", "y=2", "y=2; x=\xD6\xD0", "y=2"},
  };
  for (const auto& r : rows) {
    Text oldCookies = r.oldCookies;
    Text newCookies = r.newCookies;
    EXPECT_EQ(MergeCookies(oldCookies, newCookies), r.merged) << r.oldCookies << " + " << r.newCookies;
    EXPECT_EQ(oldCookies, r.merged) << r.oldCookies << " + " << r.newCookies;
    EXPECT_EQ(newCookies, r.newAfter) << r.oldCookies << " + " << r.newCookies;
  }
}

TEST(MergeCookies, KeptAsARunningJar) {
  Text jar = "a=1; b=2";
  Text received = "b=3";
  MergeCookies(jar, received);
  received = "c=4; a=deleted";
  MergeCookies(jar, received);
  EXPECT_EQ(jar, "c=4; b=3");
}

TEST(CookieItems, NamesLookupAndDuplicates) {
  const std::pair<Text, Text> names[] = {
      {" token = abc ", "token"}, {"flag", "flag"}, {"=v", ""}, {"a=b=c", "a"}, {"\xA1\xA1n\xA1\xA1=1", "n"}};
  for (const auto& [item, name] : names) EXPECT_EQ(CookieName(item), name) << item;

  const Array<Text> items({"a=1", " b =2", "c"});
  EXPECT_TRUE(HasCookieNamed(items, "b"));
  EXPECT_TRUE(HasCookieNamed(items, "c"));
  EXPECT_FALSE(HasCookieNamed(items, "B"));
  EXPECT_FALSE(HasCookieNamed(Array<Text>(), ""));

  const Array<Text> list({"x", "", "y", "x"});
  EXPECT_EQ(IndexOfText(list, "x"), 1);
  EXPECT_EQ(IndexOfText(list, ""), 2);
  EXPECT_EQ(IndexOfText(list, "Y"), -1);
  EXPECT_EQ(IndexOfText(Array<Text>(), ""), -1);

  struct Row {
    Text text, separator, expected;
  };
  const Row rows[] = {
      {"a; b; a; c; b", "; ", "a; b; c"},
      {"a,,b,,", ",", "a,,b"},  // one empty item kept, trailing separator adds none
      {"", ",", ""},
      {"abc", "", "abc"},
      {"x|y|x|y", "|", "x|y"},
  };
  for (const auto& r : rows) EXPECT_EQ(RemoveDuplicateItems(r.text, r.separator), r.expected) << r.text;
}

}  // namespace
}  // namespace tavrel

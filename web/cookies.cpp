#include "web/cookies.h"

#include "runtime/text.h"

namespace tavrel {
namespace {

constexpr TextView kItemSeparator = "; ";

// A text ending in ";" gets the space that makes it a complete separator.
void TrimCookieText(Text& cookies) {
  cookies = TrimSpaces(cookies);
  if (TextRight(cookies, 1) == ";") cookies += ' ';
}

}  // namespace

Text CookieName(TextView item) {
  const std::int32_t equals = FindText(item, "=");
  if (equals == -1) return TrimSpaces(item);
  return TrimSpaces(TextLeft(item, equals - 1));
}

bool HasCookieNamed(const Array<Text>& items, TextView name) {
  for (const Text& item : items) {
    if (CookieName(item) == name) return true;
  }
  return false;
}

std::int32_t IndexOfText(const Array<Text>& list, TextView text) {
  for (std::int32_t i = 1; i <= list.Count(); ++i) {
    if (list[i] == text) return i;
  }
  return -1;
}

Text RemoveDuplicateItems(TextView text, TextView separator) {
  Array<Text> kept;
  Text joined;
  for (const Text& piece : SplitText(text, separator)) {
    if (IndexOfText(kept, piece) != -1) continue;
    kept.Append(piece);
    joined += piece;
    joined += separator;
  }
  return TextLeft(joined, TextLength(joined) - TextLength(separator));
}

Text MergeCookies(Text& oldCookies, Text& newCookies) {
  TrimCookieText(oldCookies);
  TrimCookieText(newCookies);
  const Array<Text> oldItems = SplitText(oldCookies, kItemSeparator);
  Array<Text> merged = SplitText(newCookies, kItemSeparator);
  // The list grows during the pass, so of several old items with one name
  // only the first is taken.
  for (const Text& item : oldItems) {
    if (!HasCookieNamed(merged, CookieName(item))) merged.Append(item);
  }
  Text joined;
  for (const Text& item : merged) {
    if (TextRight(item, 8) == "=deleted") continue;
    joined += item;
    joined += kItemSeparator;
  }
  joined = TextLeft(joined, TextLength(joined) - 2);
  oldCookies = RemoveDuplicateItems(joined, kItemSeparator);
  return oldCookies;
}

}  // namespace tavrel

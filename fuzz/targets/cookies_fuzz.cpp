// Set-Cookie values kept by the download service, and cookie texts merged by
// the web request.
#include "runtime/download/http_message.h"
#include "runtime/text.h"
#include "support/fuzz_input.h"
#include "web/cookies.h"

#include <set>

using namespace tavrel;
using tavrel::fuzz::WalksWhole;

namespace {

std::vector<Text> Items(TextView cookies) {
  const Array<Text> split = SplitText(cookies, TextView("; "));
  return split.Elements();
}

bool AllWalkWhole(const std::vector<Text>& items) {
  for (const Text& item : items)
    if (!WalksWhole(item)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = tavrel::fuzz::Parts(data, size, 3);
  const std::string cookie = download::CookieOf(parts[2]);
  FUZZ_CHECK(cookie.find(';') == std::string::npos && parts[2].find(cookie) != std::string::npos);

  Text oldCookies = parts[0];
  Text newCookies = parts[1];
  const Text merged = MergeCookies(oldCookies, newCookies);
  FUZZ_CHECK(merged == oldCookies);
  FUZZ_CHECK(newCookies == TrimSpaces(newCookies) || TextRight(newCookies, 2) == "; ");

  const std::vector<Text> result = Items(merged);
  const std::vector<Text> offered = Items(newCookies);
  Text trimmedOld = parts[0];
  Text unused;
  MergeCookies(unused, trimmedOld);  // the old text as the merge trims it
  const std::vector<Text> kept = Items(trimmedOld);
  // A lone lead byte at an item's end swallows the separator after it when
  // the result is split again; the item boundaries hold for sound texts.
  if (!AllWalkWhole(offered) || !AllWalkWhole(kept) || !AllWalkWhole(result)) return 0;

  const Array<Text> offeredList(offered), keptList(kept);
  std::set<Text> seen;
  for (const Text& item : result) {
    FUZZ_CHECK(seen.insert(item).second);
    FUZZ_CHECK(TextRight(item, 8) != "=deleted");
    FUZZ_CHECK(IndexOfText(offeredList, item) != -1 || IndexOfText(keptList, item) != -1);
  }
  for (const Text& item : offered)
    if (!item.empty() && TextRight(item, 8) != "=deleted") FUZZ_CHECK(seen.count(item) == 1);
  // Of the old items whose names the new text lacks, the first of each name
  // stays unless the server deleted it.
  std::set<Text> names;
  for (const Text& item : kept) {
    const Text name = CookieName(item);
    if (HasCookieNamed(offeredList, name) || !names.insert(name).second) continue;
    if (!item.empty() && TextRight(item, 8) != "=deleted") FUZZ_CHECK(seen.count(item) == 1);
  }
  return 0;
}

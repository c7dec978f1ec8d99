// Cookie texts: items "name=value" separated by "; ".
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace tavrel {

// The trimmed part of an item before its first "=", or the whole item trimmed.
Text CookieName(TextView item);

// Whether some item's name equals name exactly (letter case significant).
bool HasCookieNamed(const Array<Text>& items, TextView name);

// 1-based index of the first element equal to text, or -1.
std::int32_t IndexOfText(const Array<Text>& list, TextView text);

// The separated items with every repetition of an earlier item left out;
// order is kept and the first occurrence wins.
Text RemoveDuplicateItems(TextView text, TextView separator);

// New cookies first, then the old ones whose names the new text lacks; items
// whose value is "deleted" disappear together with their old value, and an
// exactly repeated item is listed once. Both arguments are rewritten: oldCookies
// to the result, newCookies to its trimmed form.
Text MergeCookies(Text& oldCookies, Text& newCookies);

}  // namespace tavrel

#include "web/header_text.h"

#include "runtime/text.h"

namespace tavrel {
namespace {

constexpr TextView kLineBreak = "\r\n";
// Lets a caller write a double quote inside a marker.
constexpr TextView kQuoteMarker = "#引号";

Text CapitalizeName(TextView name) {
  if (FindText(name, "-") == -1) return CapitalizeFirst(name);
  Text joined;
  bool first = true;
  for (const Text& piece : SplitText(name, TextView("-"))) {
    if (!first) joined += '-';
    joined += CapitalizeFirst(piece);
    first = false;
  }
  return joined;
}

}  // namespace

Text CapitalizeFirst(TextView text) {
  if (text.empty()) return {};
  Text result(text);
  if (result[0] >= 'a' && result[0] <= 'z') result[0] = static_cast<char>(result[0] - 'a' + 'A');
  return result;
}

Text NormalizeHeaderNames(TextView headers) {
  Text joined;
  for (const Text& line : SplitText(headers, kLineBreak)) {
    const std::int32_t colon = FindText(line, ":");
    if (colon == -1) continue;
    const Text newName = CapitalizeName(TextLeft(line, colon - 1));
    // The new name replaces as many leading bytes as it is long; when the
    // split dropped an empty last piece ("x-") the rest of the line keeps it.
    joined += newName;
    joined += TextRight(line, TextLength(line) - TextLength(newName));
    joined += kLineBreak;
  }
  return TextLeft(joined, TextLength(joined) - TextLength(kLineBreak));
}

Text TextBetween(TextView text, TextView startMarker, TextView endMarker) {
  const Text start = ReplaceText(startMarker, kQuoteMarker, TextView("\""), std::nullopt, std::nullopt, 1);
  const Text end = ReplaceText(endMarker, kQuoteMarker, TextView("\""), std::nullopt, std::nullopt, 1);
  const std::int32_t found = FindText(text, start);
  if (found == -1) return {};
  const std::int32_t from = found + TextLength(start);
  const std::int32_t to = FindText(text, end, from);
  if (to == -1) return {};
  return TextMid(text, from, to - from);
}

Text ValueAfterColon(TextView text) {
  const std::int32_t colon = FindText(text, ":");
  if (colon == -1) return {};
  return TrimSpaces(TextMid(text, colon + 1, TextLength(text) - colon));
}

Text TextBefore(TextView text, TextView separator) {
  const std::int32_t found = FindText(text, separator);
  if (found == -1) return {};
  return TextLeft(text, found - 1);
}

}  // namespace tavrel

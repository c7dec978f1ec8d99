// The text services that walk two-byte characters: find, replace, split,
// trim and letter case. No match and no change starts on a second byte.
#include "runtime/text.h"
#include "support/fuzz_input.h"

using namespace tavrel;

namespace {

bool Matches(TextView text, std::size_t at, TextView sought, bool fold) {
  if (at + sought.size() > text.size()) return false;
  for (std::size_t k = 0; k < sought.size(); ++k) {
    char a = text[at + k], b = sought[k];
    if (fold) {
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
      if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
    }
    if (a != b) return false;
  }
  return true;
}

// Only ASCII letters that start a character change, into the other case.
void CheckCaseChange(const Text& text, const Text& changed, bool upper) {
  FUZZ_CHECK(changed.size() == text.size());
  const auto starts = tavrel::fuzz::CharStarts(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char from = upper ? 'a' : 'A';
    if (starts[i] && text[i] >= from && text[i] <= from + 25)
      FUZZ_CHECK(changed[i] == (upper ? text[i] - 32 : text[i] + 32));
    else
      FUZZ_CHECK(changed[i] == text[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // Four bytes of arguments, then the texts.
  const std::int32_t start = static_cast<std::int8_t>(data[0]);
  const std::int32_t count = static_cast<std::int8_t>(data[1]);
  const bool fold = data[2] & 1;
  const bool given = data[2] & 2;
  const auto parts = tavrel::fuzz::Parts(data + 4, size - 4, 3);
  const Text& text = parts[0];
  const Text& sought = parts[1];
  const auto starts = tavrel::fuzz::CharStarts(text);

  const std::int32_t found = FindText(text, sought, given ? std::optional(start) : std::nullopt, fold);
  if (found != -1) {
    const std::size_t at = static_cast<std::size_t>(found - 1);
    FUZZ_CHECK(found >= 1 && (!given || found >= start) && starts[at] && at < text.size());
    FUZZ_CHECK(Matches(text, at, sought, fold));
  } else if (!given || start <= 1) {
    for (std::size_t i = 0; i + sought.size() <= text.size() && !sought.empty(); ++i)
      FUZZ_CHECK(!starts[i] || !Matches(text, i, sought, fold));
  }
  const std::int32_t last = FindTextLast(text, sought, given ? std::optional(start) : std::nullopt, fold);
  if (last != -1) {
    const std::size_t at = static_cast<std::size_t>(last - 1);
    FUZZ_CHECK(starts[at] && Matches(text, at, sought, fold));
    FUZZ_CHECK(!given || at + sought.size() <= static_cast<std::size_t>(start - 1));
    if (!given) FUZZ_CHECK(FindText(text, sought, last + 1, fold) == -1 || sought.empty());
  }

  const Text replaced = ReplaceText(text, sought, parts[2], given ? std::optional(start) : std::nullopt,
                                    given ? std::optional(count) : std::nullopt, !fold);
  if (FindText(text, sought, given ? std::optional(start) : std::nullopt, fold) == -1 || (sought == parts[2] && !fold))
    FUZZ_CHECK(replaced == text);
  if (parts[2].empty() && !sought.empty()) FUZZ_CHECK(replaced.size() <= text.size());

  // Splitting and joining again gives the text back, less a separator at its end.
  const TextView separator = sought.empty() ? TextView(",") : TextView(sought);
  const Array<Text> pieces = SplitText(text, separator, given ? std::optional(count) : std::nullopt);
  if (!given || count < 0) {
    Text joined;
    for (std::int32_t i = 1; i <= pieces.Count(); ++i) joined += (i > 1 ? Text(separator) : Text()) + pieces[i];
    FUZZ_CHECK(joined == text || joined + Text(separator) == text);
    for (const Text& piece : pieces) FUZZ_CHECK(FindText(piece, separator) == -1);
  } else {
    FUZZ_CHECK(pieces.Count() <= count);
  }

  const Text trimmed = TrimSpaces(text);
  FUZZ_CHECK(text.find(trimmed) != Text::npos && TrimSpaces(trimmed) == trimmed);
  FUZZ_CHECK(trimmed.empty() || (trimmed.front() != ' ' && trimmed.compare(0, 2, "\xA1\xA1") != 0));
  CheckCaseChange(text, ToUpper(text), true);
  CheckCaseChange(text, ToLower(text), false);
  return 0;
}

#include "runtime/text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tavrel {
namespace {

constexpr unsigned char kFullWidthSpaceByte = 0xA1;

unsigned char ByteAt(TextView text, std::size_t i) { return static_cast<unsigned char>(text[i]); }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// sought fits in text from i.
bool MatchesAt(TextView text, std::size_t i, TextView sought, bool ignoreCase) {
  if (sought.empty()) return true;
  if (!ignoreCase) return text[i] == sought[0] && std::memcmp(text.data() + i, sought.data(), sought.size()) == 0;
  for (std::size_t k = 0; k < sought.size(); ++k)
    if (FoldAscii(text[i + k]) != FoldAscii(sought[k])) return false;
  return true;
}

// A caller's start may fall on the second byte of a two-byte character. The
// byte before a run of high bytes is a character end (a one-byte character or
// a trail byte), so the run pairs up from its first byte: p starts a character
// exactly when the high bytes just before it are even in number.
std::size_t AlignToCharStart(TextView text, std::size_t p) {
  std::size_t run = 0;
  while (run < p && ByteAt(text, p - run - 1) >= 0x80) ++run;
  return (run % 2 == 0) ? p : p + 1;
}

bool IsFullWidthSpaceAt(TextView text, std::size_t i) {
  return i + 1 < text.size() && ByteAt(text, i) == kFullWidthSpaceByte && ByteAt(text, i + 1) == kFullWidthSpaceByte;
}

// 0-based byte index of a 1-based start, or npos when it lies beyond the end.
std::size_t StartIndex(TextView text, std::optional<std::int32_t> start) {
  std::int64_t s = std::max<std::int64_t>(start.value_or(1), 1);
  if (s > static_cast<std::int64_t>(text.size())) return TextView::npos;
  return static_cast<std::size_t>(s - 1);
}

template <class Change>
Text ChangeSingleByteChars(TextView text, Change change) {
  Text out(text);
  for (std::size_t i = 0; i < out.size();) {
    std::size_t w = CharWidthAt(out, i);
    if (w == 1) out[i] = change(out[i]);
    i += w;
  }
  return out;
}

std::int32_t Sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

}  // namespace

std::size_t CharWidthAt(TextView text, std::size_t i) {
  return (i + 1 < text.size() && ByteAt(text, i) >= 0x80) ? 2 : 1;
}

std::int32_t TextLength(TextView text) { return static_cast<std::int32_t>(text.size()); }

Text ConcatText(std::initializer_list<TextView> parts) {
  std::size_t total = 0;
  for (TextView p : parts) total += p.size();
  Text out;
  out.reserve(total);
  for (TextView p : parts) out.append(p);
  return out;
}

Text DuplicateText(TextView text) { return Text(text); }

std::int32_t CompareText(TextView a, TextView b) { return Sign(a.compare(b)); }

std::int32_t CompareBytes(const void* a, const void* b, std::int32_t count) {
  if (count <= 0 || a == b) return 0;
  if (a == nullptr) return -1;
  if (b == nullptr) return 1;
  return Sign(std::memcmp(a, b, static_cast<std::size_t>(count)));
}

Text TextLeft(TextView text, std::int32_t n) {
  if (n <= 0) return {};
  return Text(text.substr(0, static_cast<std::size_t>(n)));
}

Text TextRight(TextView text, std::int32_t n) {
  if (n <= 0) return {};
  std::size_t take = std::min(text.size(), static_cast<std::size_t>(n));
  return Text(text.substr(text.size() - take));
}

Text TextMid(TextView text, std::int32_t start, std::int32_t n) {
  if (n <= 0 || start < 1 || static_cast<std::size_t>(start) > text.size()) return {};
  return Text(text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
}

Text CharFromCode(std::int32_t byteValue) {
  char c = static_cast<char>(static_cast<unsigned char>(byteValue & 0xFF));
  return c == 0 ? Text() : Text(1, c);
}

std::int32_t CharCode(TextView text, std::optional<std::int32_t> position) {
  std::int32_t p = position.value_or(1);
  if (p < 1 || static_cast<std::size_t>(p) > text.size()) return 0;
  return static_cast<signed char>(text[static_cast<std::size_t>(p - 1)]);
}

std::int32_t FindText(TextView text, TextView sought, std::optional<std::int32_t> start,
                      std::optional<Logical> ignoreCase) {
  std::size_t from = StartIndex(text, start);
  if (from == TextView::npos) return -1;
  from = AlignToCharStart(text, from);
  const std::size_t n = text.size();
  const std::size_t m = sought.size();
  // The empty text occurs at the first place searched, as long as there is one.
  if (m == 0) return from < n ? static_cast<std::int32_t>(from + 1) : -1;
  const bool fold = ignoreCase.value_or(0) != 0;
  if (fold) {
    for (std::size_t i = from; i + m <= n; i += CharWidthAt(text, i))
      if (MatchesAt(text, i, sought, true)) return static_cast<std::int32_t>(i + 1);
    return -1;
  }
  // Byte search for candidates; the character walk only checks that a
  // candidate starts a character, and never goes back.
  std::size_t charStart = from;
  for (std::size_t candidate = from;;) {
    candidate = text.find(sought, candidate);
    if (candidate == TextView::npos) return -1;
    while (charStart < candidate) charStart += CharWidthAt(text, charStart);
    if (charStart == candidate) return static_cast<std::int32_t>(candidate + 1);
    candidate = charStart;
  }
}

std::int32_t FindTextLast(TextView text, TextView sought, std::optional<std::int32_t> end,
                          std::optional<Logical> ignoreCase) {
  std::size_t limit = text.size();
  if (end) {
    if (*end <= 1) return -1;
    limit = std::min(limit, static_cast<std::size_t>(*end - 1));
  }
  const std::size_t m = sought.size();
  const bool fold = ignoreCase.value_or(0) != 0;
  std::int32_t found = -1;
  for (std::size_t i = 0; i < limit && i + m <= limit; i += CharWidthAt(text, i))
    if (MatchesAt(text, i, sought, fold)) found = static_cast<std::int32_t>(i + 1);
  return found;
}

Text ToUpper(TextView text) {
  return ChangeSingleByteChars(text,
                               [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
}

Text ToLower(TextView text) { return ChangeSingleByteChars(text, FoldAscii); }

Text TrimSpaces(TextView text) {
  const std::size_t n = text.size();
  std::size_t begin = 0;
  while (begin < n) {
    if (text[begin] == ' ')
      begin += 1;
    else if (IsFullWidthSpaceAt(text, begin))
      begin += 2;
    else
      break;
  }
  // Trailing spaces are found walking forward: a 0x20 or 0xA1 0xA1 at the end
  // may be the second half of a two-byte character.
  std::size_t end = begin;
  for (std::size_t i = begin; i < n;) {
    std::size_t w = CharWidthAt(text, i);
    bool space = (w == 1 && text[i] == ' ') || (w == 2 && IsFullWidthSpaceAt(text, i));
    i += w;
    if (!space) end = i;
  }
  return Text(text.substr(begin, end - begin));
}

Text ReplaceText(TextView text, TextView sought, std::optional<TextView> replacement, std::optional<std::int32_t> start,
                 std::optional<std::int32_t> count, std::optional<Logical> caseSensitive) {
  // A negative count is read as "no limit", like a left-out one.
  const std::int64_t limit = count.value_or(-1);
  std::size_t from = StartIndex(text, start);
  if (text.empty() || sought.empty() || limit == 0 || from == TextView::npos) return Text(text);
  from = AlignToCharStart(text, from);

  const TextView with = replacement.value_or(TextView());
  const bool fold = caseSensitive.value_or(0) == 0;
  const std::size_t n = text.size();
  const std::size_t m = sought.size();
  Text out;
  out.reserve(n);
  std::size_t copied = 0;  // text[0, copied) is already in out
  std::int64_t done = 0;
  for (std::size_t i = from; i + m <= n && (limit < 0 || done < limit);) {
    if (MatchesAt(text, i, sought, fold)) {
      out.append(text.substr(copied, i - copied));
      out.append(with);
      i += m;
      copied = i;
      ++done;
    } else {
      i += CharWidthAt(text, i);
    }
  }
  out.append(text.substr(copied));
  return out;
}

Array<Text> SplitText(TextView text, std::optional<TextView> separator, std::optional<std::int32_t> maxCount) {
  std::vector<Text> parts;
  // A negative maximum is read as "no limit", like a left-out one.
  const std::int64_t most = maxCount.value_or(-1);
  if (text.empty() || most == 0) return Array<Text>(std::move(parts));
  const TextView sep = separator.value_or(TextView(","));
  if (sep.empty()) {
    parts.emplace_back(text);
    return Array<Text>(std::move(parts));
  }
  const std::size_t n = text.size();
  std::size_t cut = 0;
  for (std::size_t i = 0; i < n;) {
    if (text.compare(i, sep.size(), sep) != 0) {
      i += CharWidthAt(text, i);
      continue;
    }
    parts.emplace_back(text.substr(cut, i - cut));
    i += sep.size();
    cut = i;
    if (most > 0 && static_cast<std::int64_t>(parts.size()) >= most) return Array<Text>(std::move(parts));
  }
  if (cut < n) parts.emplace_back(text.substr(cut));
  return Array<Text>(std::move(parts));
}

Text SpaceText(std::int32_t n) { return n < 1 ? Text() : Text(static_cast<std::size_t>(n), ' '); }

}  // namespace tavrel

#include "runtime/convert.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "runtime/text.h"

namespace tavrel {
namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Skips leading white space and reads an optional sign.
const char* SkipSpaceAndSign(const char* p, const char* end, bool& negative) {
  while (p < end && IsCSpace(*p)) ++p;
  negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
  return p;
}

// Whether an out-of-range literal was too large (rather than too small): the
// place of its first significant digit plus its exponent decides.
bool OverflowsRatherThanUnderflows(const char* p, const char* end, bool hex) {
  const int digitWeight = hex ? 4 : 1;
  const char exponentMark = hex ? 'p' : 'e';
  long long scale = 0;
  bool seenPoint = false;
  bool significant = false;
  long long leadingIntegerDigits = 0;
  long long fractionZeros = 0;
  for (; p < end; ++p) {
    char c = *p;
    if (c == '.') {
      seenPoint = true;
      continue;
    }
    if ((c | 0x20) == exponentMark) {
      ++p;
      break;
    }
    if (!significant && c == '0') {
      if (seenPoint) ++fractionZeros;
      continue;
    }
    significant = true;
    if (!seenPoint) ++leadingIntegerDigits;
  }
  if (!significant) return false;
  scale = leadingIntegerDigits > 0 ? (leadingIntegerDigits - 1) * digitWeight : -(fractionZeros + 1) * digitWeight;
  if (p < end) {
    bool negativeExponent = false;
    if (*p == '+' || *p == '-') negativeExponent = (*p++ == '-');
    long long e = 0;
    for (; p < end && IsDigit(*p); ++p) e = std::min(e * 10 + (*p - '0'), 1LL << 40);
    scale += negativeExponent ? -e : e;
  }
  return scale > 0;
}

double ReadLeadingFloat(TextView text) {
  const char* p = text.data();
  const char* end = p + text.size();
  bool negative = false;
  p = SkipSpaceAndSign(p, end, negative);

  bool hex = false;
  if (end - p > 2 && p[0] == '0' && (p[1] | 0x20) == 'x' &&
      (IsHexDigit(p[2]) || (p[2] == '.' && end - p > 3 && IsHexDigit(p[3])))) {
    hex = true;
    p += 2;
  }
  // Only digit forms count: words such as "inf" or "nan" are no number here.
  bool startsNumber = p < end && ((hex ? IsHexDigit(*p) : IsDigit(*p)) ||
                                  (*p == '.' && end - p > 1 && (hex ? IsHexDigit(p[1]) : IsDigit(p[1]))));
  if (!startsNumber) return 0.0;

  double value = 0.0;
  auto format = hex ? std::chars_format::hex : std::chars_format::general;
  auto [stop, error] = std::from_chars(p, end, value, format);
  if (error == std::errc::result_out_of_range)
    value = OverflowsRatherThanUnderflows(p, stop, hex) ? HUGE_VAL : 0.0;
  else if (error != std::errc())
    value = 0.0;
  return negative ? -value : value;
}

template <class Int>
Int TruncateClamped(double value) {
  if (std::isnan(value)) return 0;
  // Values beyond the target range saturate instead of wrapping.
  constexpr double kLimit = static_cast<double>(std::numeric_limits<Int>::max()) + 1.0;  // a power of two
  if (value >= kLimit) return std::numeric_limits<Int>::max();
  if (value <= -kLimit) return std::numeric_limits<Int>::min();
  return static_cast<Int>(value);
}

void AppendLittleEndian(ByteSet& out, std::uint64_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

ByteSet RawElementBytes(const Array<std::int32_t>& value) {
  ByteSet out;
  out.reserve(value.Elements().size() * 4);
  for (std::int32_t v : value.Elements()) AppendLittleEndian(out, static_cast<std::uint32_t>(v), 4);
  return out;
}

Text BytesBeforeZero(const ByteSet& bytes) {
  std::size_t n = 0;
  while (n < bytes.size() && bytes[n] != 0) ++n;
  return Text(reinterpret_cast<const char*>(bytes.data()), n);
}

}  // namespace

Text ToText(std::int32_t value) { return std::to_string(value); }
Text ToText(std::int16_t value) { return std::to_string(value); }
Text ToText(std::uint8_t value) { return std::to_string(static_cast<unsigned>(value)); }
Text ToText(std::int64_t value) { return std::to_string(static_cast<long long>(value)); }
Text ToText(TextView value) { return Text(value); }
Text ToText(const ByteSet& value) { return BytesBeforeZero(value); }
Text ToText(const Array<std::int32_t>& value) { return BytesBeforeZero(RawElementBytes(value)); }

double ToNumber(TextView value) { return ReadLeadingFloat(FullWidthToHalfWidth(value)); }

std::int32_t ToInteger(TextView value) {
  const Text half = FullWidthToHalfWidth(value);
  const char* p = half.data();
  const char* end = p + half.size();
  bool negative = false;
  p = SkipSpaceAndSign(p, end, negative);
  // Too many digits saturate at the 32-bit limits.
  constexpr std::int64_t kCap = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
  std::int64_t magnitude = 0;
  for (; p < end && IsDigit(*p); ++p) magnitude = std::min<std::int64_t>(magnitude * 10 + (*p - '0'), kCap);
  std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(signedValue);
}

std::int32_t ToInteger(double value) { return TruncateClamped<std::int32_t>(value); }

std::int64_t TruncateToInteger(double value) { return TruncateClamped<std::int64_t>(value); }

ByteSet ToByteSet(TextView value) { return ByteSet(value.begin(), value.end()); }

ByteSet ToByteSet(std::int32_t value) {
  ByteSet out;
  AppendLittleEndian(out, static_cast<std::uint32_t>(value), 4);
  return out;
}

ByteSet ToByteSet(std::int64_t value) {
  ByteSet out;
  AppendLittleEndian(out, static_cast<std::uint64_t>(value), 8);
  return out;
}

ByteSet ToByteSet(const ByteSet& value) { return value; }
ByteSet ToByteSet(const Array<std::int32_t>& value) { return RawElementBytes(value); }

Text FullWidthToHalfWidth(TextView value) {
  Text out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size();) {
    std::size_t w = CharWidthAt(value, i);
    if (w == 2) {
      auto lead = static_cast<unsigned char>(value[i]);
      auto trail = static_cast<unsigned char>(value[i + 1]);
      if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
        out.push_back(static_cast<char>(trail - 0x80));
      } else if (lead == 0xA1 && trail == 0xA1) {
        out.push_back(' ');
      } else {
        out.append(value.substr(i, 2));
      }
    } else {
      out.push_back(value[i]);
    }
    i += w;
  }
  return out;
}

}  // namespace tavrel

// Conversions between values.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace tavrel {

Text ToText(std::int32_t value);
Text ToText(std::int16_t value);
Text ToText(std::uint8_t value);
Text ToText(std::int64_t value);
Text ToText(TextView value);
inline Text ToText(const char* value) { return ToText(TextView(value ? value : "")); }
// The bytes before the first zero byte (all of them when there is none).
Text ToText(const ByteSet& value);
// The raw element bytes up to the first zero byte.
Text ToText(const Array<std::int32_t>& value);

// Full-width characters become half-width, then the leading C floating-point
// literal is read (after white space and a sign; decimal or 0x hexadecimal,
// never "inf" or "nan"), independent of the locale; no number gives 0.
double ToNumber(TextView value);
inline double ToNumber(double value) { return value; }
inline double ToNumber(std::int32_t value) { return value; }
inline double ToNumber(std::int64_t value) { return static_cast<double>(value); }

// As ToNumber's normalisation, then the leading C decimal integer; too many
// digits saturate at the 32-bit limits.
std::int32_t ToInteger(TextView value);
// Rounded toward zero; beyond the 32-bit range it saturates, NaN gives 0.
std::int32_t ToInteger(double value);

ByteSet ToByteSet(TextView value);
ByteSet ToByteSet(std::int32_t value);
ByteSet ToByteSet(std::int64_t value);
ByteSet ToByteSet(const ByteSet& value);
ByteSet ToByteSet(const Array<std::int32_t>& value);

// Full-width (GBK 0xA3xx block, 0xA1A1 space) to half-width ASCII.
Text FullWidthToHalfWidth(TextView value);

// 64-bit integer rounded toward zero; saturates like ToInteger.
std::int64_t TruncateToInteger(double value);

}  // namespace tavrel

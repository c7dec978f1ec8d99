// Byte-set services and bit operations.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <variant>

#include "runtime/value.h"

namespace tavrel {

std::int32_t ByteSetLength(const ByteSet& bytes);
ByteSet ConcatByteSets(std::initializer_list<const ByteSet*> parts);
ByteSet ByteSetLeft(const ByteSet& bytes, std::int32_t n);
ByteSet ByteSetMid(const ByteSet& bytes, std::int32_t start, std::int32_t n);
ByteSet ZeroByteSet(std::int32_t n);
ByteSet ByteSetFromMemory(const void* address, std::int32_t length);

// Kinds of ByteSetValue: 1 byte, 2 int16, 3 int32, 4 int64, 5 float,
// 6 double, 7 logical, 8 date-time, 9 routine address, 10 text.
struct DateTime {
  double days;
  bool operator==(const DateTime&) const = default;
};
struct RoutineAddress {
  std::uintptr_t address;
  bool operator==(const RoutineAddress&) const = default;
};
using ByteSetScalar = std::variant<std::uint8_t, std::int16_t, std::int32_t, std::int64_t, float, double, bool,
                                   DateTime, RoutineAddress, Text>;
// Reads a value of the kind at the 1-based position held by the optional
// position variable (1 when none is given) and advances it past the value.
// A value that does not lie wholly inside the byte set reads as zero (the
// empty text) and the position still moves on. A kind outside 1..10 is a
// fatal error.
ByteSetScalar ByteSetValue(const ByteSet& bytes, std::int32_t kind, std::int32_t* position = nullptr);

std::int32_t BitAnd(std::initializer_list<std::int32_t> values);
std::int32_t BitOr(std::initializer_list<std::int32_t> values);

}  // namespace tavrel

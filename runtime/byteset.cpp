#include "runtime/byteset.h"

#include <algorithm>
#include <cstring>

#include "runtime/fatal.h"

namespace tavrel {
namespace {

// Bytes from a 1-based position, or nullptr when [position, position + size)
// does not lie wholly inside the byte set.
const std::uint8_t* BytesAt(const ByteSet& bytes, std::int64_t position, std::size_t size) {
  if (position < 1) return nullptr;
  auto index = static_cast<std::uint64_t>(position - 1);
  if (index > bytes.size() || bytes.size() - index < size) return nullptr;
  return bytes.data() + index;
}

template <class T>
T ReadScalar(const ByteSet& bytes, std::int64_t position) {
  T value{};
  if (const std::uint8_t* p = BytesAt(bytes, position, sizeof(T))) std::memcpy(&value, p, sizeof(T));
  return value;
}

}  // namespace

std::int32_t ByteSetLength(const ByteSet& bytes) { return static_cast<std::int32_t>(bytes.size()); }

ByteSet ConcatByteSets(std::initializer_list<const ByteSet*> parts) {
  std::size_t total = 0;
  for (const ByteSet* p : parts)
    if (p) total += p->size();
  ByteSet out;
  out.reserve(total);
  for (const ByteSet* p : parts)
    if (p) out.insert(out.end(), p->begin(), p->end());
  return out;
}

ByteSet ByteSetLeft(const ByteSet& bytes, std::int32_t n) {
  if (n < 1) return {};
  std::size_t take = std::min(bytes.size(), static_cast<std::size_t>(n));
  return ByteSet(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
}

ByteSet ByteSetMid(const ByteSet& bytes, std::int32_t start, std::int32_t n) {
  // A start below 1 is as far outside as one beyond the end.
  if (n < 1 || start < 1 || static_cast<std::size_t>(start) > bytes.size()) return {};
  std::size_t from = static_cast<std::size_t>(start - 1);
  std::size_t take = std::min(bytes.size() - from, static_cast<std::size_t>(n));
  auto first = bytes.begin() + static_cast<std::ptrdiff_t>(from);
  return ByteSet(first, first + static_cast<std::ptrdiff_t>(take));
}

ByteSet ZeroByteSet(std::int32_t n) { return n <= 0 ? ByteSet() : ByteSet(static_cast<std::size_t>(n), 0); }

ByteSet ByteSetFromMemory(const void* address, std::int32_t length) {
  if (address == nullptr || length <= 0) return {};
  auto p = static_cast<const std::uint8_t*>(address);
  return ByteSet(p, p + length);
}

// A value that does not lie wholly inside the byte set (or a position below
// 1) reads as the kind's zero value; the position still moves on by the
// value's size, so a loop reading value after value always comes to an end.
ByteSetScalar ByteSetValue(const ByteSet& bytes, std::int32_t kind, std::int32_t* position) {
  std::int32_t defaultPosition = 1;
  std::int32_t& at = position ? *position : defaultPosition;
  const std::int64_t p = at;
  auto advance = [&at](std::size_t size) { at = static_cast<std::int32_t>(at + static_cast<std::int64_t>(size)); };
  switch (kind) {
    case 1: advance(1); return ReadScalar<std::uint8_t>(bytes, p);
    case 2: advance(2); return ReadScalar<std::int16_t>(bytes, p);
    case 3: advance(4); return ReadScalar<std::int32_t>(bytes, p);
    case 4: advance(8); return ReadScalar<std::int64_t>(bytes, p);
    case 5: advance(4); return ReadScalar<float>(bytes, p);
    case 6: advance(8); return ReadScalar<double>(bytes, p);
    case 7: advance(4); return ReadScalar<std::int32_t>(bytes, p) != 0;
    case 8: advance(8); return DateTime{ReadScalar<double>(bytes, p)};
    case 9: advance(sizeof(std::uintptr_t)); return RoutineAddress{ReadScalar<std::uintptr_t>(bytes, p)};
    case 10: {
      // The text runs to the first zero byte or the end; the position moves
      // past the text and its zero.
      Text text;
      if (const std::uint8_t* first = BytesAt(bytes, p, 0)) {
        const std::uint8_t* last = bytes.data() + bytes.size();
        const std::uint8_t* zero = first;
        while (zero < last && *zero != 0) ++zero;
        text.assign(reinterpret_cast<const char*>(first), static_cast<std::size_t>(zero - first));
      }
      advance(text.size() + 1);
      return text;
    }
    default: FatalError(FatalCode::BadValueKind);
  }
}

std::int32_t BitAnd(std::initializer_list<std::int32_t> values) {
  if (values.size() == 0) return 0;
  std::uint32_t result = ~0u;
  for (std::int32_t v : values) result &= static_cast<std::uint32_t>(v);
  return static_cast<std::int32_t>(result);
}

std::int32_t BitOr(std::initializer_list<std::int32_t> values) {
  std::uint32_t result = 0;
  for (std::int32_t v : values) result |= static_cast<std::uint32_t>(v);
  return static_cast<std::int32_t>(result);
}

}  // namespace tavrel

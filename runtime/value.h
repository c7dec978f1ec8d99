// The three kinds of value every routine of the program works on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrel {

// A text: bytes in the system's ANSI code page (the program's own literals are
// GBK). The empty text and the "null" text are the same value.
using Text = std::string;
using TextView = std::string_view;

// A counted byte sequence without terminator; empty is the null byte set.
using ByteSet = std::vector<std::uint8_t>;

// A 32-bit logical: 0 false, anything else true.
using Logical = std::int32_t;

[[noreturn]] void FatalError(TextView message);

// A one- or more-dimensional array with 1-based indexes. Out-of-range indexes
// are fatal errors, as everywhere else in the runtime.
template <class T>
class Array {
 public:
  Array() = default;
  explicit Array(std::vector<T> elements)
      : sizes_{static_cast<std::int32_t>(elements.size())}, items_(std::move(elements)) {}
  Array(std::vector<std::int32_t> sizes, std::vector<T> elements)
      : sizes_(std::move(sizes)), items_(std::move(elements)) {}

  std::int32_t Dimensions() const { return static_cast<std::int32_t>(sizes_.size()); }
  const std::vector<std::int32_t>& Sizes() const { return sizes_; }
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }

  T& operator[](std::int32_t index) { return items_[Checked(index)]; }
  const T& operator[](std::int32_t index) const { return items_[Checked(index)]; }

  // Zero-based access to the elements laid end to end (ArrayData).
  const std::vector<T>& Elements() const { return items_; }
  std::vector<T>& Elements() { return items_; }

  void Append(T value) {
    items_.push_back(std::move(value));
    sizes_ = {static_cast<std::int32_t>(items_.size())};
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::size_t Checked(std::int32_t index) const {
    if (index < 1) FatalError("数组成员引用下标必须大于等于1");
    if (index > Count()) FatalError("数组成员引用下标超出定义范围");
    return static_cast<std::size_t>(index - 1);
  }

  std::vector<std::int32_t> sizes_;
  std::vector<T> items_;
};

// ArrayCount: element count, 0 for an empty array.
template <class T>
std::int32_t ArrayCount(const Array<T>& a) {
  return a.Count();
}

}  // namespace tavrel

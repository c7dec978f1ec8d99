// A move-only owner of one system handle (a socket, a file, a mapping, a
// view). Its traits name the handle type, the handle's invalid value and how
// a valid one is closed:
//
//   struct FileTraits {
//     using Handle = int;
//     static constexpr Handle Invalid() { return -1; }
//     static void Close(Handle h) noexcept;
//   };
//
// A kind with more than one invalid value adds IsInvalid(h).
//
// The owner holds the handle as the pointer of a std::unique_ptr, so moving
// it (defaulted) leaves the source invalid and closes what the target held.
#pragma once

#include <cstddef>
#include <memory>

namespace tavrel {

template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle h) noexcept : owner_(Slot(h)) {}

  Handle Get() const noexcept { return owner_.get().value; }
  explicit operator bool() const noexcept { return static_cast<bool>(owner_); }
  // Gives the handle up without closing it.
  Handle Release() noexcept { return owner_.release().value; }
  // Closes the handle held (when valid) and holds h.
  void Reset(Handle h = Traits::Invalid()) noexcept { owner_.reset(Slot(h)); }

 private:
  // The handle in the shape std::unique_ptr wants of a pointer: null is the
  // traits' invalid value.
  struct Slot {
    Handle value = Traits::Invalid();
    Slot() noexcept = default;
    Slot(std::nullptr_t) noexcept {}
    explicit Slot(Handle h) noexcept : value(h) {}
    explicit operator bool() const noexcept {
      if constexpr (requires { Traits::IsInvalid(value); })
        return !Traits::IsInvalid(value);
      else
        return !(value == Traits::Invalid());
    }
    // Every invalid value is the same "nothing".
    friend bool operator==(const Slot& a, const Slot& b) noexcept { return (!a && !b) || a.value == b.value; }
    friend bool operator==(const Slot& a, std::nullptr_t) noexcept { return !a; }
  };
  struct Closer {
    using pointer = Slot;
    void operator()(Slot s) const noexcept { Traits::Close(s.value); }
  };

  std::unique_ptr<Handle, Closer> owner_;
};

}  // namespace tavrel

// A platform seam: the implementation of an interface through which the
// program reaches the platform. The platform's own serves until another is
// installed (the window at start-up, a test's fake).
#pragma once

#include <atomic>
#include <type_traits>

namespace tavrel {

template <class I>
class Seam {
 public:
  using Interface = I;
  using Fallback = I& (*)();

  // fallback: the platform's own; none for a seam that stays empty until
  // something is installed.
  explicit constexpr Seam(Fallback fallback = nullptr) : fallback_(fallback) {}
  Seam(const Seam&) = delete;
  Seam& operator=(const Seam&) = delete;

  // What is installed, else the platform's own; null for an empty seam.
  I* Get() const {
    I* installed = installed_.load();
    return installed || !fallback_ ? installed : &fallback_();
  }
  I& Current() const { return *Get(); }
  I* Installed() const { return installed_.load(); }
  // nullptr restores the platform's own.
  void Install(I* implementation) { installed_.store(implementation); }

 private:
  std::atomic<I*> installed_{nullptr};
  Fallback fallback_;
};

// Installs an implementation in the seam S for one scope (a test), then puts
// back what was there before.
template <auto& S>
class ScopedSeam {
 public:
  using Interface = typename std::remove_cvref_t<decltype(S)>::Interface;

  explicit ScopedSeam(Interface& implementation) : previous_(S.Installed()) { S.Install(&implementation); }
  ~ScopedSeam() { S.Install(previous_); }
  ScopedSeam(const ScopedSeam&) = delete;
  ScopedSeam& operator=(const ScopedSeam&) = delete;

 private:
  Interface* previous_;
};

// Handle traits of a kind the implementation in the seam S closes with its
// member Close (a registry key, a WinINet handle); 0 is no handle.
template <auto& S, class H, auto CloseMember>
struct SeamHandleTraits {
  using Handle = H;
  static constexpr Handle Invalid() noexcept { return 0; }
  static void Close(Handle h) noexcept { (S.Current().*CloseMember)(h); }
};

}  // namespace tavrel

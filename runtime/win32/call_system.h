// System functions declared once by library file name and export name, bound
// on their first call and kept. An export name "#n" means ordinal n.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace tavrel::win32 {

class SystemFunction {
 public:
  constexpr SystemFunction(const char* library, const char* exportName) : library_(library), export_(exportName) {}
  SystemFunction(const SystemFunction&) = delete;
  SystemFunction& operator=(const SystemFunction&) = delete;

  // The bound address; a missing library or export is a fatal error.
  void* Address();
  // The address, or null when the export cannot be found (no fatal error):
  // for functions that not every Windows version has. A miss is remembered.
  void* TryAddress();
  const char* Library() const { return library_; }
  const char* ExportName() const { return export_; }

 private:
  void* Bind(bool fatalWhenMissing);

  const char* library_;
  const char* export_;
  std::atomic<void*> address_{nullptr};
  std::atomic<bool> missing_{false};  // looked up once and not found
};

// Calls the function with 32-bit (pointer-sized on x64) arguments in the
// platform's standard calling convention and returns its result. On 32-bit
// Windows a function that leaves the stack deeper or shallower than it found
// it (a wrong declaration) is the fatal error of a stack fault.
std::uintptr_t CallSystemFunction(SystemFunction& function, std::initializer_list<std::uintptr_t> args = {});

// Calls an entry point given as an address with up to five arguments, the
// missing ones passed as 0; the caller's stack frame is restored afterwards,
// so an entry point that takes fewer arguments is called safely.
std::uint32_t CallByAddress(const void* address, std::optional<std::uintptr_t> a1 = std::nullopt,
                            std::optional<std::uintptr_t> a2 = std::nullopt,
                            std::optional<std::uintptr_t> a3 = std::nullopt,
                            std::optional<std::uintptr_t> a4 = std::nullopt,
                            std::optional<std::uintptr_t> a5 = std::nullopt);

// Frees the libraries loaded for bound functions (at the end of the program).
void FreeBoundLibraries();

}  // namespace tavrel::win32

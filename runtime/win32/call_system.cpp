#include "runtime/win32/call_system.h"

#include <windows.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/fatal.h"
#include "runtime/program_end.h"
#include "runtime/win32/handles.h"

#if defined(__i386__)
extern "C" std::uint32_t tavrel_call_stdcall(const void* fn, const std::uint32_t* args, std::uint32_t count,
                                             std::int32_t* stackDelta);
#endif

namespace tavrel::win32 {
namespace {

// Each library once by the name it is declared with, kept until the end
// of the program; one that cannot be loaded is kept as a null module, so it
// is not tried again.
struct LoadedLibraries {
  std::mutex lock;
  std::vector<std::pair<std::string, UniqueModule>> modules;
  bool hookAdded = false;
};

LoadedLibraries& Libraries() {
  static LoadedLibraries libraries;
  return libraries;
}

HMODULE LoadKept(const char* library) {
  auto& libs = Libraries();
  std::lock_guard guard(libs.lock);
  for (const auto& [name, module] : libs.modules)
    if (::lstrcmpiA(name.c_str(), library) == 0) return module.Get();
  UniqueModule module(::LoadLibraryA(library));
  HMODULE h = module.Get();
  libs.modules.emplace_back(library, std::move(module));
  if (!libs.hookAdded) {
    libs.hookAdded = true;
    AddRuntimeShutdownHook(&FreeBoundLibraries);
  }
  return h;
}

FARPROC Lookup(HMODULE module, const char* exportName) {
  if (exportName[0] == '#') {
    char* end = nullptr;
    unsigned long ordinal = std::strtoul(exportName + 1, &end, 10);
    if (end == exportName + 1 || *end != '\0' || ordinal == 0 || ordinal > 0xFFFF) return nullptr;
    return ::GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
  }
  return ::GetProcAddress(module, exportName);
}

[[noreturn]] void ExportNotFound(const char* library, const char* exportName) {
  std::string message = "无法找到指定DLL库文件“";
  message += library;
  message += "”中的输出命令“";
  message += exportName;
  message += "”";
  FatalError(message);
}

std::uintptr_t CallRaw(const void* fn, const std::uintptr_t* args, std::size_t count, std::int32_t* stackDelta) {
#if defined(__i386__)
  std::uint32_t a32[16] = {};
  for (std::size_t i = 0; i < count && i < 16; ++i) a32[i] = static_cast<std::uint32_t>(args[i]);
  return tavrel_call_stdcall(fn, a32, static_cast<std::uint32_t>(count < 16 ? count : 16), stackDelta);
#else
  // The x64 convention has the caller clean up, so extra zero arguments are
  // harmless and the stack cannot be unbalanced by the callee.
  std::uintptr_t a[16] = {};
  for (std::size_t i = 0; i < count && i < 16; ++i) a[i] = args[i];
  using Fn16 =
      std::uintptr_t (*)(std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                         std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t,
                         std::uintptr_t, std::uintptr_t, std::uintptr_t, std::uintptr_t);
  if (stackDelta) *stackDelta = 0;
  auto f = reinterpret_cast<Fn16>(const_cast<void*>(fn));
  return f(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14], a[15]);
#endif
}

}  // namespace

void* SystemFunction::Bind(bool fatalWhenMissing) {
  if (void* bound = address_.load(std::memory_order_acquire)) return bound;
  void* address = nullptr;
  if (!missing_.load(std::memory_order_acquire)) {
    HMODULE module = LoadKept(library_);
    address = module ? reinterpret_cast<void*>(Lookup(module, export_)) : nullptr;
  }
  if (!address) {
    // A system library does not gain an export while the program runs.
    missing_.store(true, std::memory_order_release);
    if (fatalWhenMissing) ExportNotFound(library_, export_);
    return nullptr;
  }
  address_.store(address, std::memory_order_release);
  return address;
}

void* SystemFunction::Address() { return Bind(true); }
void* SystemFunction::TryAddress() { return Bind(false); }

std::uintptr_t CallSystemFunction(SystemFunction& function, std::initializer_list<std::uintptr_t> args) {
  void* address = function.Address();
  std::int32_t stackDelta = 0;
  std::uintptr_t result = CallRaw(address, args.begin(), args.size(), &stackDelta);
  if (stackDelta != 0) FatalError("调用DLL命令后发现堆栈错误");
  return result;
}

std::uint32_t CallByAddress(const void* address, std::optional<std::uintptr_t> a1, std::optional<std::uintptr_t> a2,
                            std::optional<std::uintptr_t> a3, std::optional<std::uintptr_t> a4,
                            std::optional<std::uintptr_t> a5) {
  const std::uintptr_t args[5] = {a1.value_or(0), a2.value_or(0), a3.value_or(0), a4.value_or(0), a5.value_or(0)};
  std::int32_t ignored = 0;
  return static_cast<std::uint32_t>(CallRaw(address, args, 5, &ignored));
}

void FreeBoundLibraries() {
  auto& libs = Libraries();
  std::lock_guard guard(libs.lock);
  libs.modules.clear();
}

}  // namespace tavrel::win32

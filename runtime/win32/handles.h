// Move-only owners of Win32 handles, each with its own invalid value and
// release function.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>
#include <objbase.h>

#include <utility>

namespace tavrel::win32 {

template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle h) noexcept : handle_(h) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return !Traits::IsInvalid(handle_); }
  Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  void Reset(Handle h = Traits::Invalid()) noexcept {
    if (!Traits::IsInvalid(handle_)) Traits::Close(handle_);
    handle_ = h;
  }
  // For out-parameters of the API that creates the handle.
  Handle* Put() noexcept {
    Reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {  // processes, threads, events: invalid is null
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsInvalid(Handle h) { return h == nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile: invalid is INVALID_HANDLE_VALUE
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsInvalid(Handle h) { return h == INVALID_HANDLE_VALUE || h == nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static bool IsInvalid(Handle h) { return h == nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};
struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() { return nullptr; }
  static bool IsInvalid(Handle h) { return h == nullptr; }
  static void Close(Handle h) { ::InternetCloseHandle(h); }
};
struct SocketTraits {
  using Handle = SOCKET;
  static Handle Invalid() { return INVALID_SOCKET; }
  static bool IsInvalid(Handle h) { return h == INVALID_SOCKET; }
  static void Close(Handle h) { ::closesocket(h); }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static bool IsInvalid(Handle h) { return h == nullptr; }
  static void Close(Handle h) { ::FreeLibrary(h); }
};
struct MappedViewTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static bool IsInvalid(Handle h) { return h == nullptr; }
  static void Close(Handle h) { ::UnmapViewOfFile(h); }
};
struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static bool IsInvalid(Handle h) { return h == nullptr; }
  static void Close(Handle h) { ::DestroyWindow(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueInternet = UniqueHandle<InternetHandleTraits>;
using UniqueSocket = UniqueHandle<SocketTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueMappedView = UniqueHandle<MappedViewTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;

// An owned COM interface pointer.
template <class I>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  explicit ComPtr(I* p) noexcept : p_(p) {}  // takes the reference
  ComPtr(const ComPtr& o) noexcept : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  I* Get() const noexcept { return p_; }
  I* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void Reset() noexcept {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  I** Put() noexcept {
    Reset();
    return &p_;
  }
  void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

 private:
  I* p_ = nullptr;
};

}  // namespace tavrel::win32

// Windows files for the download service: the new file is given its whole
// size (its end set there) before it is mapped, so a full disk fails here
// and not as an in-page error while bytes are copied into the view.
#include <windows.h>

#include <cstdint>
#include <utility>

#include "runtime/download/platform.h"

namespace tavrel::download::platform {
namespace {

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
std::intptr_t AsInt(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }

// Another thread may take the free range between the probe and the mapping;
// the mapping then fails harmlessly and a new range is looked for.
constexpr int kAlignedAttempts = 4;

// Maps the whole file at an address on a kViewAlignment boundary: a
// reservation with room to spare finds a free range, is given back, and the
// view is mapped at the range's aligned start. Where that does not succeed
// the view goes wherever the system puts it.
void* MapAligned(HANDLE mapping, std::size_t size) {
  for (int attempt = 0; attempt < kAlignedAttempts; ++attempt) {
    void* probe = ::VirtualAlloc(nullptr, size + kViewAlignment, MEM_RESERVE, PAGE_NOACCESS);
    if (!probe) break;
    auto base = reinterpret_cast<std::uintptr_t>(probe);
    auto aligned = (base + kViewAlignment - 1) & ~(std::uintptr_t{kViewAlignment} - 1);
    ::VirtualFree(probe, 0, MEM_RELEASE);
    if (void* view = ::MapViewOfFileEx(mapping, FILE_MAP_WRITE, 0, 0, size, reinterpret_cast<void*>(aligned)))
      return view;
  }
  return ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size);
}

}  // namespace

void FileTraits::Close(Handle h) noexcept { ::CloseHandle(AsHandle(h)); }
void MappingTraits::Close(Handle h) noexcept { ::CloseHandle(AsHandle(h)); }
void ViewTraits::Close(Handle h) noexcept { ::UnmapViewOfFile(h.data); }

MappedFile MappedFile::CreateNew(const std::string& path, std::int32_t size) {
  MappedFile f;
  if (size < 0) return f;
  UniqueFile file(AsInt(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file) return f;
  if (size > 0) {
    LARGE_INTEGER end;
    end.QuadPart = size;
    HANDLE h = AsHandle(file.Get());
    if (::SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(h))
      f.mapping_.Reset(AsInt(::CreateFileMappingA(h, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr)));
    void* view = f.mapping_ ? MapAligned(AsHandle(f.mapping_.Get()), static_cast<std::size_t>(size)) : nullptr;
    if (!view) {
      f.mapping_.Reset();
      file.Reset();
      ::DeleteFileA(path.c_str());  // ours: created above
      return f;
    }
    f.view_.Reset({static_cast<std::uint8_t*>(view), static_cast<std::size_t>(size)});
  }
  f.file_ = std::move(file);
  f.size_ = size;
  return f;
}

PlainFile PlainFile::CreateNew(const std::string& path) {
  PlainFile f;
  f.file_.Reset(AsInt(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)));
  return f;
}

PlainFile PlainFile::OpenForReading(const std::string& path) {
  PlainFile f;
  f.file_.Reset(AsInt(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  return f;
}

namespace {

// A synchronous handle reads and writes at the offset an OVERLAPPED names.
OVERLAPPED At(std::int64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

constexpr std::size_t kLargestCall = 1 << 30;

}  // namespace

bool PlainFile::WriteAt(std::int64_t offset, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    OVERLAPPED o = At(offset);
    DWORD written = 0;
    auto part = static_cast<DWORD>(size < kLargestCall ? size : kLargestCall);
    if (!::WriteFile(AsHandle(file_.Get()), bytes, part, &written, &o) || written == 0) return false;
    bytes += written;
    size -= written;
    offset += written;
  }
  return true;
}

std::int64_t PlainFile::ReadAt(std::int64_t offset, void* data, std::size_t size) {
  OVERLAPPED o = At(offset);
  DWORD read = 0;
  auto part = static_cast<DWORD>(size < kLargestCall ? size : kLargestCall);
  if (!::ReadFile(AsHandle(file_.Get()), data, part, &read, &o)) return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  return read;
}

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

std::uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

LocalDateTime Now() {
  SYSTEMTIME t;
  ::GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

bool IsPathLeadByte(unsigned char b) { return ::IsDBCSLeadByte(b) != FALSE; }

}  // namespace tavrel::download::platform

// Windows files for the download service: the new file is given its whole
// size (its end set there) before it is mapped, so a full disk fails here
// and not as an in-page error while bytes are copied into the view.
#include <windows.h>

#include "runtime/download/platform.h"
#include "runtime/win32/handles.h"

namespace tavrel::download::platform {
namespace {

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
std::intptr_t AsInt(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }

}  // namespace

MappedFile::MappedFile(MappedFile&& other) noexcept
    : open_(other.open_), data_(other.data_), size_(other.size_), file_(other.file_), mapping_(other.mapping_) {
  other.open_ = false;
  other.data_ = nullptr;
  other.file_ = -1;
  other.mapping_ = 0;
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Close();
    open_ = other.open_;
    data_ = other.data_;
    size_ = other.size_;
    file_ = other.file_;
    mapping_ = other.mapping_;
    other.open_ = false;
    other.data_ = nullptr;
    other.file_ = -1;
    other.mapping_ = 0;
  }
  return *this;
}

MappedFile MappedFile::CreateNew(const std::string& path, std::int32_t size) {
  MappedFile f;
  if (size < 0) return f;
  win32::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return f;
  win32::UniqueKernelHandle mapping;
  win32::UniqueMappedView view;
  if (size > 0) {
    LARGE_INTEGER end;
    end.QuadPart = size;
    bool ok = ::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get());
    if (ok) mapping.Reset(::CreateFileMappingA(file.Get(), nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), nullptr));
    if (mapping) view.Reset(::MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, static_cast<SIZE_T>(size)));
    if (!view) {
      mapping.Reset();
      file.Reset();
      ::DeleteFileA(path.c_str());  // ours: created above
      return f;
    }
  }
  f.open_ = true;
  f.data_ = static_cast<std::uint8_t*>(view.Release());
  f.size_ = size;
  f.mapping_ = mapping ? AsInt(mapping.Release()) : 0;
  f.file_ = AsInt(file.Release());
  return f;
}

void MappedFile::Close() {
  if (!open_) return;
  if (data_) ::UnmapViewOfFile(data_);
  if (mapping_) ::CloseHandle(AsHandle(mapping_));
  ::CloseHandle(AsHandle(file_));
  open_ = false;
  data_ = nullptr;
  mapping_ = 0;
  file_ = -1;
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

// POSIX files for the download service: the new file is given its whole size
// on disk before it is mapped, so a full disk fails here and not as a fault
// while bytes are copied into the mapping.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <utility>

#include "runtime/download/platform.h"

namespace tavrel::download::platform {

void FileTraits::Close(Handle h) noexcept { ::close(static_cast<int>(h)); }
void MappingTraits::Close(Handle) noexcept {}
void ViewTraits::Close(Handle h) noexcept { ::munmap(h.data, h.size); }

namespace {

// Maps the file at an address on a kViewAlignment boundary: a reservation
// with room to spare is made first and the file mapped over its aligned
// part, which this process alone holds, so no other thread can come
// between; the spare ends are given back.
void* MapAligned(int fd, std::size_t size) {
  std::size_t span = size + kViewAlignment;
  void* reserved = ::mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (reserved == MAP_FAILED) return MAP_FAILED;
  auto base = reinterpret_cast<std::uintptr_t>(reserved);
  std::uintptr_t aligned = (base + kViewAlignment - 1) & ~(std::uintptr_t{kViewAlignment} - 1);
  void* view = ::mmap(reinterpret_cast<void*>(aligned), size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0);
  if (view == MAP_FAILED) {
    ::munmap(reserved, span);
    return MAP_FAILED;
  }
  if (aligned > base) ::munmap(reserved, aligned - base);
  std::uintptr_t tail = aligned + size;
  if (base + span > tail) ::munmap(reinterpret_cast<void*>(tail), base + span - tail);
  return view;
}

}  // namespace

MappedFile MappedFile::CreateNew(const std::string& path, std::int32_t size) {
  MappedFile f;
  if (size < 0) return f;
  UniqueFile file(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!file) return f;
  auto fail = [&]() {
    file.Reset();
    ::unlink(path.c_str());  // ours: created above
    return MappedFile();
  };
  const int fd = static_cast<int>(file.Get());
  if (size > 0) {
    int rc = ::posix_fallocate(fd, 0, size);
    if (rc == EINVAL || rc == EOPNOTSUPP) rc = ::ftruncate(fd, size) == 0 ? 0 : errno;
    if (rc != 0) return fail();
    void* view = MapAligned(fd, static_cast<std::size_t>(size));
    if (view == MAP_FAILED) return fail();
    f.view_.Reset({static_cast<std::uint8_t*>(view), static_cast<std::size_t>(size)});
  }
  f.file_ = std::move(file);
  f.size_ = size;
  return f;
}

PlainFile PlainFile::CreateNew(const std::string& path) {
  PlainFile f;
  f.file_.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  return f;
}

PlainFile PlainFile::OpenForReading(const std::string& path) {
  PlainFile f;
  f.file_.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  // A folder opens too, but has no bytes to send.
  struct stat st {};
  if (f.file_ && (::fstat(static_cast<int>(f.file_.Get()), &st) != 0 || !S_ISREG(st.st_mode))) f.file_.Reset();
  return f;
}

bool PlainFile::WriteAt(std::int64_t offset, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::pwrite(static_cast<int>(file_.Get()), bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
    offset += n;
  }
  return true;
}

std::int64_t PlainFile::ReadAt(std::int64_t offset, void* data, std::size_t size) {
  while (true) {
    ssize_t n = ::pread(static_cast<int>(file_.Get()), data, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::int64_t FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(::syscall(SYS_gettid)); }

LocalDateTime Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

// Host paths are UTF-8, where no byte of a character can be taken for "/".
bool IsPathLeadByte(unsigned char) { return false; }

}  // namespace tavrel::download::platform

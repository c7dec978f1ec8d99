// POSIX files for the download service: the new file is given its whole size
// on disk before it is mapped, so a full disk fails here and not as a fault
// while bytes are copied into the mapping.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "runtime/download/platform.h"

namespace tavrel::download::platform {

MappedFile::MappedFile(MappedFile&& other) noexcept
    : open_(other.open_), data_(other.data_), size_(other.size_), file_(other.file_), mapping_(other.mapping_) {
  other.open_ = false;
  other.data_ = nullptr;
  other.file_ = -1;
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
  }
  return *this;
}

MappedFile MappedFile::CreateNew(const std::string& path, std::int32_t size) {
  MappedFile f;
  if (size < 0) return f;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return f;
  auto fail = [&]() {
    ::close(fd);
    ::unlink(path.c_str());
    return MappedFile();
  };
  if (size > 0) {
    int rc = ::posix_fallocate(fd, 0, size);
    if (rc == EINVAL || rc == EOPNOTSUPP) rc = ::ftruncate(fd, size) == 0 ? 0 : errno;
    if (rc != 0) return fail();
    void* view = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) return fail();
    f.data_ = static_cast<std::uint8_t*>(view);
  }
  f.open_ = true;
  f.size_ = size;
  f.file_ = fd;
  return f;
}

void MappedFile::Close() {
  if (!open_) return;
  if (data_) ::munmap(data_, static_cast<std::size_t>(size_));
  ::close(static_cast<int>(file_));
  open_ = false;
  data_ = nullptr;
  file_ = -1;
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

// What the download service needs from the system: name resolution, TCP
// sockets with time-outs that a stop can cut short, a new file mapped whole,
// and a few facts (thread id, local time, the code page's lead bytes).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/download/log_text.h"
#include "runtime/unique_handle.h"

namespace tavrel::download::platform {

enum class NetStatus {
  kOk,
  kTimeout,     // the time allowed ran out
  kClosed,      // the peer closed the connection (receive only)
  kStopped,     // the stop flag was raised while waiting
  kFailed,      // the call failed; LastError() tells why
  kWaitFailed,  // waiting for the socket failed
  kError,       // the wait reported an error on the socket, without a code
};

// The handles of the download's sockets, files and views, as integers the
// bodies convert: -1 is invalid for sockets and files (INVALID_SOCKET and
// INVALID_HANDLE_VALUE read as -1), 0 for a Windows file-mapping object.
struct SocketTraits {
  using Handle = std::intptr_t;
  static constexpr Handle Invalid() { return -1; }
  static void Close(Handle h) noexcept;
};
struct FileTraits {
  using Handle = std::intptr_t;
  static constexpr Handle Invalid() { return -1; }
  static void Close(Handle h) noexcept;
};
struct MappingTraits {  // the Windows file-mapping object; unused elsewhere
  using Handle = std::intptr_t;
  static constexpr Handle Invalid() { return 0; }
  static void Close(Handle h) noexcept;
};
struct ViewTraits {
  struct Handle {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool operator==(const Handle&) const = default;
  };
  static constexpr Handle Invalid() { return {}; }
  static void Close(Handle h) noexcept;
};
using UniqueSocket = UniqueHandle<SocketTraits>;
using UniqueFile = UniqueHandle<FileTraits>;
using UniqueMapping = UniqueHandle<MappingTraits>;
using UniqueView = UniqueHandle<ViewTraits>;

// A resolved address (a sockaddr's bytes).
struct Endpoint {
  std::vector<std::uint8_t> address;
};

// Numeric addresses are used as they are. Empty when nothing was found.
std::vector<Endpoint> Resolve(const std::string& host, std::uint16_t port);
// A numeric address's endpoints, found without asking any server; empty for
// a name.
std::vector<Endpoint> NumericEndpoints(const std::string& host, std::uint16_t port);

using StopFlag = std::atomic<bool>;

class Socket {
 public:
  bool IsOpen() const { return static_cast<bool>(handle_); }
  NetStatus Connect(const Endpoint& endpoint, std::int32_t timeoutMs, const StopFlag& stop);
  // Sends every byte or fails.
  NetStatus Send(const char* data, std::size_t size, std::int32_t timeoutMs, const StopFlag& stop);
  // Receives 1 to size bytes.
  NetStatus Receive(char* data, std::size_t size, std::int32_t timeoutMs, const StopFlag& stop, std::size_t& received);
  int LastError() const { return error_; }
  // The IPv4 addresses of the two ends (host byte order); false for a
  // socket that is not connected over IPv4.
  bool Ipv4Ends(std::uint32_t& local, std::uint32_t& peer) const;
  void Close() { handle_.Reset(); }

 private:
  friend class Listener;
  UniqueSocket handle_;
  int error_ = 0;
};

Endpoint Ipv4Endpoint(std::uint32_t address, std::uint16_t port);

// A listening socket for a connection the peer opens (FTP's PORT).
class Listener {
 public:
  // Listens on the address, on a port the system picks.
  bool Open(std::uint32_t address);
  std::uint16_t Port() const { return port_; }
  NetStatus Accept(Socket& accepted, std::int32_t timeoutMs, const StopFlag& stop);
  void Close() {
    handle_.Reset();
    port_ = 0;
  }

 private:
  UniqueSocket handle_;
  std::uint16_t port_ = 0;
};

// The alignment of a file's view: the system can then back it with fewer,
// larger page faults.
inline constexpr std::size_t kViewAlignment = std::size_t{2} << 20;

// A file created new and mapped whole for writing.
class MappedFile {
 public:
  // Fails when the file exists or cannot be given its size on disk or mapped;
  // a file it created is removed again then.
  static MappedFile CreateNew(const std::string& path, std::int32_t size);

  bool IsOpen() const { return static_cast<bool>(file_); }
  std::uint8_t* Data() const { return view_.Get().data; }
  std::int32_t Size() const { return size_; }
  // Unmaps and closes.
  void Close() {
    view_.Reset();
    mapping_.Reset();
    file_.Reset();
  }

 private:
  // Declared in the order they are made, so they are let go in reverse.
  UniqueFile file_;
  UniqueMapping mapping_;
  UniqueView view_;
  std::int32_t size_ = 0;
};

// A file read or written by calls at given offsets: the file an upload
// sends, and the file a stream of unknown length is written into.
class PlainFile {
 public:
  // Fails when the file exists.
  static PlainFile CreateNew(const std::string& path);
  static PlainFile OpenForReading(const std::string& path);

  bool IsOpen() const { return static_cast<bool>(file_); }
  // Writes every byte at the offset, growing the file as needed.
  bool WriteAt(std::int64_t offset, const void* data, std::size_t size);
  // Up to size bytes from the offset: how many were read (0 at the end), -1
  // on failure.
  std::int64_t ReadAt(std::int64_t offset, void* data, std::size_t size);
  void Close() { file_.Reset(); }

 private:
  UniqueFile file_;
};

bool PathExists(const std::string& path);
// Size of an existing file, -1 when it cannot be read.
std::int64_t FileSize(const std::string& path);
bool RemoveFile(const std::string& path);

std::uint32_t CurrentThreadId();
LocalDateTime Now();
// Lead bytes of two-byte characters in the code page of file paths.
bool IsPathLeadByte(unsigned char b);

// The system's text for an error code, "" when there is none.
std::string ErrorText(int code);

// Releases the socket library once no task is left.
void NetShutdown();

}  // namespace tavrel::download::platform

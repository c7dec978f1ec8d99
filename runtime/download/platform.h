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

namespace tavrel::download::platform {

enum class NetStatus {
  kOk,
  kTimeout,     // the time allowed ran out
  kClosed,      // the peer closed the connection (receive only)
  kStopped,     // the stop flag was raised while waiting
  kFailed,      // the call failed; LastError() tells why
  kWaitFailed,  // waiting for the socket failed
};

// A resolved address (a sockaddr's bytes).
struct Endpoint {
  std::vector<std::uint8_t> address;
};

// Numeric addresses are used as they are. Empty when nothing was found.
std::vector<Endpoint> Resolve(const std::string& host, std::uint16_t port);

using StopFlag = std::atomic<bool>;

class Socket {
 public:
  Socket() = default;
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool IsOpen() const;
  NetStatus Connect(const Endpoint& endpoint, std::int32_t timeoutMs, const StopFlag& stop);
  // Sends every byte or fails.
  NetStatus Send(const char* data, std::size_t size, std::int32_t timeoutMs, const StopFlag& stop);
  // Receives 1 to size bytes.
  NetStatus Receive(char* data, std::size_t size, std::int32_t timeoutMs, const StopFlag& stop,
                    std::size_t& received);
  int LastError() const { return error_; }
  // The IPv4 addresses of the two ends (host byte order); false for a
  // socket that is not connected over IPv4.
  bool Ipv4Ends(std::uint32_t& local, std::uint32_t& peer) const;
  void Close();

 private:
  friend class Listener;
  std::intptr_t handle_ = -1;
  int error_ = 0;
};

Endpoint Ipv4Endpoint(std::uint32_t address, std::uint16_t port);

// A listening socket for a connection the peer opens (FTP's PORT).
class Listener {
 public:
  Listener() = default;
  ~Listener() { Close(); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Listens on the address, on a port the system picks.
  bool Open(std::uint32_t address);
  std::uint16_t Port() const { return port_; }
  NetStatus Accept(Socket& accepted, std::int32_t timeoutMs, const StopFlag& stop);
  void Close();

 private:
  std::intptr_t handle_ = -1;
  std::uint16_t port_ = 0;
};

// A file created new and mapped whole for writing.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Fails when the file exists or cannot be given its size on disk or mapped;
  // a file it created is removed again then.
  static MappedFile CreateNew(const std::string& path, std::int32_t size);

  bool IsOpen() const { return open_; }
  std::uint8_t* Data() const { return data_; }
  std::int32_t Size() const { return size_; }
  // Unmaps and closes.
  void Close();

 private:
  bool open_ = false;
  std::uint8_t* data_ = nullptr;
  std::int32_t size_ = 0;
  std::intptr_t file_ = -1;
  std::intptr_t mapping_ = 0;
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

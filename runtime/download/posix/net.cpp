// POSIX sockets for the download service: non-blocking, waited on with poll
// in short slices so that a raised stop flag ends any wait promptly.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "runtime/download/endpoint_list.h"
#include "runtime/download/platform.h"

namespace tavrel::download::platform {
namespace {

constexpr int kSliceMs = 50;

using Clock = std::chrono::steady_clock;

// Waits until the socket is ready for the events, the time is up or stop is
// raised. An error the socket reports with no data to read is told apart:
// with its code when the socket has one.
NetStatus WaitFor(int fd, short events, std::int32_t timeoutMs, const StopFlag& stop, int& error) {
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(timeoutMs, 1));
  while (true) {
    if (stop.load(std::memory_order_relaxed)) return NetStatus::kStopped;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return NetStatus::kTimeout;
    pollfd p{fd, events, 0};
    int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, kSliceMs)));
    if (n > 0) {
      if ((p.revents & (POLLERR | POLLNVAL)) == 0 || (p.revents & events) != 0) return NetStatus::kOk;
      int soError = 0;
      socklen_t len = sizeof soError;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
      error = soError;
      return soError != 0 ? NetStatus::kFailed : NetStatus::kError;
    }
    if (n < 0 && errno != EINTR) {
      error = errno;
      return NetStatus::kWaitFailed;
    }
  }
}

std::vector<Endpoint> Lookup(const std::string& host, std::uint16_t port, int flags) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return {};
  std::vector<Endpoint> out = EndpointsOf(list);
  ::freeaddrinfo(list);
  return out;
}

}  // namespace

std::vector<Endpoint> Resolve(const std::string& host, std::uint16_t port) { return Lookup(host, port, 0); }

std::vector<Endpoint> NumericEndpoints(const std::string& host, std::uint16_t port) {
  return Lookup(host, port, AI_NUMERICHOST);
}

void SocketTraits::Close(Handle h) noexcept { ::close(static_cast<int>(h)); }

NetStatus Socket::Connect(const Endpoint& endpoint, std::int32_t timeoutMs, const StopFlag& stop) {
  Close();
  auto* address = reinterpret_cast<const sockaddr*>(endpoint.address.data());
  int fd = ::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (fd < 0) {
    error_ = errno;
    return NetStatus::kFailed;
  }
  handle_.Reset(fd);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd, address, static_cast<socklen_t>(endpoint.address.size())) == 0) return NetStatus::kOk;
  if (errno != EINPROGRESS) {
    error_ = errno;
    return NetStatus::kFailed;
  }
  NetStatus waited = WaitFor(fd, POLLOUT, timeoutMs, stop, error_);
  if (waited != NetStatus::kOk) return waited;
  int soError = 0;
  socklen_t len = sizeof soError;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0) soError = errno;
  if (soError != 0) {
    error_ = soError;
    return NetStatus::kFailed;
  }
  return NetStatus::kOk;
}

NetStatus Socket::Send(const char* data, std::size_t size, std::int32_t timeoutMs, const StopFlag& stop) {
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(timeoutMs, 1));
  std::size_t sent = 0;
  while (sent < size) {
    ssize_t n = ::send(static_cast<int>(handle_.Get()), data + sent, size - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      error_ = errno;
      return NetStatus::kFailed;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return NetStatus::kTimeout;
    NetStatus waited = WaitFor(static_cast<int>(handle_.Get()), POLLOUT, static_cast<std::int32_t>(left), stop, error_);
    if (waited != NetStatus::kOk) return waited;
  }
  return NetStatus::kOk;
}

NetStatus Socket::Receive(char* data, std::size_t size, std::int32_t timeoutMs, const StopFlag& stop,
                          std::size_t& received) {
  received = 0;
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(timeoutMs, 1));
  while (true) {
    // Data already waiting is taken without a poll: on a busy transfer most
    // receives find some.
    ssize_t n = ::recv(static_cast<int>(handle_.Get()), data, size, 0);
    if (n > 0) {
      received = static_cast<std::size_t>(n);
      return NetStatus::kOk;
    }
    if (n == 0) return NetStatus::kClosed;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      error_ = errno;
      return NetStatus::kFailed;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return NetStatus::kTimeout;
    NetStatus status = WaitFor(static_cast<int>(handle_.Get()), POLLIN, static_cast<std::int32_t>(left), stop, error_);
    if (status != NetStatus::kOk) return status;
  }
}

bool Socket::Ipv4Ends(std::uint32_t& local, std::uint32_t& peer) const {
  sockaddr_in mine{}, theirs{};
  socklen_t a = sizeof mine, b = sizeof theirs;
  int fd = static_cast<int>(handle_.Get());
  if (!handle_ || ::getsockname(fd, reinterpret_cast<sockaddr*>(&mine), &a) != 0 ||
      ::getpeername(fd, reinterpret_cast<sockaddr*>(&theirs), &b) != 0 || mine.sin_family != AF_INET ||
      theirs.sin_family != AF_INET)
    return false;
  local = ntohl(mine.sin_addr.s_addr);
  peer = ntohl(theirs.sin_addr.s_addr);
  return true;
}

Endpoint Ipv4Endpoint(std::uint32_t address, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(address);
  auto* bytes = reinterpret_cast<const std::uint8_t*>(&a);
  return Endpoint{std::vector<std::uint8_t>(bytes, bytes + sizeof a)};
}

bool Listener::Open(std::uint32_t address) {
  Close();
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (fd < 0) return false;
  handle_.Reset(fd);
  Endpoint e = Ipv4Endpoint(address, 0);
  sockaddr_in bound{};
  socklen_t len = sizeof bound;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(e.address.data()), static_cast<socklen_t>(e.address.size())) != 0 ||
      ::listen(fd, 1) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len) != 0) {
    Close();
    return false;
  }
  port_ = ntohs(bound.sin_port);
  return true;
}

NetStatus Listener::Accept(Socket& accepted, std::int32_t timeoutMs, const StopFlag& stop) {
  int error = 0;
  NetStatus waited = WaitFor(static_cast<int>(handle_.Get()), POLLIN, timeoutMs, stop, error);
  if (waited != NetStatus::kOk) return waited;
  int fd = ::accept4(static_cast<int>(handle_.Get()), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return NetStatus::kFailed;
  accepted.handle_.Reset(fd);
  return NetStatus::kOk;
}

std::string ErrorText(int code) {
  if (code == 0) return {};
  char buffer[256];
  const char* text = ::strerror_r(code, buffer, sizeof buffer);
  return text ? std::string(text) : std::string();
}

void NetShutdown() {}

}  // namespace tavrel::download::platform

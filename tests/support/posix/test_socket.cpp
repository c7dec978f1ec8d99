#include "tests/support/test_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

namespace tavrel::testing::sock {
namespace {

bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  int n;
  do n = ::poll(&p, 1, timeoutMs);
  while (n < 0 && errno == EINTR);
  return n > 0;
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

void LimitSendTime(int fd) {
  timeval tv{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace

Handle ListenLoopback(std::uint16_t& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kInvalid;
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a = Loopback(port);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 64) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::close(fd);
    return kInvalid;
  }
  port = ntohs(a.sin_port);
  return fd;
}

Handle Accept(Handle listener, int timeoutMs) {
  if (!WaitReadable(static_cast<int>(listener), timeoutMs)) return kInvalid;
  int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return kInvalid;
  LimitSendTime(fd);
  return fd;
}

Handle ConnectLoopback(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kInvalid;
  sockaddr_in a = Loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return kInvalid;
  }
  LimitSendTime(fd);
  return fd;
}

long Receive(Handle s, char* data, std::size_t size, int timeoutMs) {
  if (!WaitReadable(static_cast<int>(s), timeoutMs)) return -2;
  ssize_t n;
  do n = ::recv(static_cast<int>(s), data, size, 0);
  while (n < 0 && errno == EINTR);
  return n < 0 ? -1 : static_cast<long>(n);
}

bool SendAll(Handle s, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::send(static_cast<int>(s), data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void ShutdownWrite(Handle s) { ::shutdown(static_cast<int>(s), SHUT_WR); }
void Close(Handle s) {
  if (s != kInvalid) ::close(static_cast<int>(s));
}

void Abort(Handle s) {
  linger off{1, 0};
  ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &off, sizeof off);
  Close(s);
}

}  // namespace tavrel::testing::sock

#include "tests/support/test_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace tavrel::testing::sock {
namespace {

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

bool WaitReadable(SOCKET s, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return ::select(0, &set, nullptr, nullptr, &tv) > 0;
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

void LimitSendTime(SOCKET s) {
  DWORD ms = 5000;
  ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

}  // namespace

Handle ListenLoopback(std::uint16_t& port) {
  StartWinsock();
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kInvalid;
  sockaddr_in a = Loopback(port);
  int len = sizeof a;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, 64) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::closesocket(s);
    return kInvalid;
  }
  port = ntohs(a.sin_port);
  return static_cast<Handle>(s);
}

Handle Accept(Handle listener, int timeoutMs) {
  if (!WaitReadable(static_cast<SOCKET>(listener), timeoutMs)) return kInvalid;
  SOCKET s = ::accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kInvalid;
  LimitSendTime(s);
  return static_cast<Handle>(s);
}

Handle ConnectLoopback(std::uint16_t port) {
  StartWinsock();
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kInvalid;
  sockaddr_in a = Loopback(port);
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::closesocket(s);
    return kInvalid;
  }
  LimitSendTime(s);
  return static_cast<Handle>(s);
}

long Receive(Handle s, char* data, std::size_t size, int timeoutMs) {
  if (!WaitReadable(static_cast<SOCKET>(s), timeoutMs)) return -2;
  int n = ::recv(static_cast<SOCKET>(s), data, static_cast<int>(size), 0);
  return n < 0 ? -1 : static_cast<long>(n);
}

bool SendAll(Handle s, const char* data, std::size_t size) {
  while (size > 0) {
    int n = ::send(static_cast<SOCKET>(s), data, static_cast<int>(size), 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void ShutdownWrite(Handle s) { ::shutdown(static_cast<SOCKET>(s), SD_SEND); }
void Close(Handle s) {
  if (s != kInvalid) ::closesocket(static_cast<SOCKET>(s));
}

void Abort(Handle s) {
  linger off{1, 0};
  ::setsockopt(static_cast<SOCKET>(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&off), sizeof off);
  Close(s);
}

}  // namespace tavrel::testing::sock

// Winsock for the download service: non-blocking sockets waited on with
// select in short slices, so that a raised stop flag ends any wait promptly.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "runtime/download/endpoint_list.h"
#include "runtime/download/platform.h"

namespace tavrel::download::platform {
namespace {

constexpr int kSliceMs = 50;
using Clock = std::chrono::steady_clock;

std::mutex g_winsockLock;
bool g_winsockStarted = false;

bool StartWinsock() {
  std::lock_guard guard(g_winsockLock);
  if (!g_winsockStarted) {
    WSADATA data;
    g_winsockStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  return g_winsockStarted;
}

SOCKET Native(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

enum class Readiness { kRead, kWrite, kConnect };

// Waits until the socket is ready, the time is up or stop is raised. A
// failed connection attempt, or an error on the socket, shows in the
// exception set.
NetStatus WaitFor(SOCKET s, Readiness what, std::int32_t timeoutMs, const StopFlag& stop, int& error) {
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(timeoutMs, 1));
  while (true) {
    if (stop.load(std::memory_order_relaxed)) return NetStatus::kStopped;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return NetStatus::kTimeout;
    long slice = static_cast<long>(std::min<long long>(left, kSliceMs));
    fd_set readSet, writeSet, errorSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&errorSet);
    if (what == Readiness::kRead) FD_SET(s, &readSet);
    if (what != Readiness::kRead) FD_SET(s, &writeSet);
    FD_SET(s, &errorSet);
    timeval tv{slice / 1000, (slice % 1000) * 1000};
    int n = ::select(0, &readSet, &writeSet, &errorSet, &tv);
    if (n == SOCKET_ERROR) {
      error = WSAGetLastError();
      return NetStatus::kWaitFailed;
    }
    if (n > 0) {
      if (FD_ISSET(s, &errorSet)) {
        int soError = 0;
        int len = sizeof soError;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
        if (what == Readiness::kConnect && soError == 0) soError = WSAECONNREFUSED;
        error = soError;
        return soError != 0 ? NetStatus::kFailed : NetStatus::kError;
      }
      return NetStatus::kOk;
    }
  }
}

std::vector<Endpoint> Lookup(const std::string& host, std::uint16_t port, int flags) {
  if (!StartWinsock()) return {};
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

void SocketTraits::Close(Handle h) noexcept { ::closesocket(Native(h)); }

NetStatus Socket::Connect(const Endpoint& endpoint, std::int32_t timeoutMs, const StopFlag& stop) {
  Close();
  if (!StartWinsock()) {
    error_ = WSANOTINITIALISED;
    return NetStatus::kFailed;
  }
  auto* address = reinterpret_cast<const sockaddr*>(endpoint.address.data());
  SOCKET s = ::socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    error_ = WSAGetLastError();
    return NetStatus::kFailed;
  }
  handle_.Reset(static_cast<std::intptr_t>(s));
  ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  u_long nonBlocking = 1;
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    error_ = WSAGetLastError();
    return NetStatus::kFailed;
  }
  BOOL noDelay = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
  int bufferBytes = 256 * 1024;
  ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes), sizeof bufferBytes);
  if (::connect(s, address, static_cast<int>(endpoint.address.size())) == 0) return NetStatus::kOk;
  int e = WSAGetLastError();
  if (e != WSAEWOULDBLOCK && e != WSAEINPROGRESS) {
    error_ = e;
    return NetStatus::kFailed;
  }
  return WaitFor(s, Readiness::kConnect, timeoutMs, stop, error_);
}

NetStatus Socket::Send(const char* data, std::size_t size, std::int32_t timeoutMs, const StopFlag& stop) {
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(timeoutMs, 1));
  std::size_t sent = 0;
  while (sent < size) {
    int n =
        ::send(Native(handle_.Get()), data + sent, static_cast<int>(std::min<std::size_t>(size - sent, 1 << 20)), 0);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    int e = WSAGetLastError();
    if (n == SOCKET_ERROR && e != WSAEWOULDBLOCK) {
      error_ = e;
      return NetStatus::kFailed;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return NetStatus::kTimeout;
    NetStatus waited = WaitFor(Native(handle_.Get()), Readiness::kWrite, static_cast<std::int32_t>(left), stop, error_);
    if (waited != NetStatus::kOk) return waited;
  }
  return NetStatus::kOk;
}

NetStatus Socket::Receive(char* data, std::size_t size, std::int32_t timeoutMs, const StopFlag& stop,
                          std::size_t& received) {
  received = 0;
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(timeoutMs, 1));
  while (true) {
    int n = ::recv(Native(handle_.Get()), data, static_cast<int>(size), 0);
    if (n > 0) {
      received = static_cast<std::size_t>(n);
      return NetStatus::kOk;
    }
    if (n == 0) return NetStatus::kClosed;
    int e = WSAGetLastError();
    if (e != WSAEWOULDBLOCK) {
      error_ = e;
      return NetStatus::kFailed;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return NetStatus::kTimeout;
    NetStatus status = WaitFor(Native(handle_.Get()), Readiness::kRead, static_cast<std::int32_t>(left), stop, error_);
    if (status != NetStatus::kOk) return status;
  }
}

bool Socket::Ipv4Ends(std::uint32_t& local, std::uint32_t& peer) const {
  sockaddr_in mine{}, theirs{};
  int a = sizeof mine, b = sizeof theirs;
  if (!handle_ || ::getsockname(Native(handle_.Get()), reinterpret_cast<sockaddr*>(&mine), &a) != 0 ||
      ::getpeername(Native(handle_.Get()), reinterpret_cast<sockaddr*>(&theirs), &b) != 0 ||
      mine.sin_family != AF_INET || theirs.sin_family != AF_INET)
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
  if (!StartWinsock()) return false;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  handle_.Reset(static_cast<std::intptr_t>(s));
  ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  Endpoint e = Ipv4Endpoint(address, 0);
  sockaddr_in bound{};
  int len = sizeof bound;
  if (::bind(s, reinterpret_cast<const sockaddr*>(e.address.data()), static_cast<int>(e.address.size())) != 0 ||
      ::listen(s, 1) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &len) != 0) {
    Close();
    return false;
  }
  port_ = ntohs(bound.sin_port);
  return true;
}

NetStatus Listener::Accept(Socket& accepted, std::int32_t timeoutMs, const StopFlag& stop) {
  int error = 0;
  NetStatus waited = WaitFor(Native(handle_.Get()), Readiness::kRead, timeoutMs, stop, error);
  if (waited != NetStatus::kOk) return waited;
  SOCKET s = ::accept(Native(handle_.Get()), nullptr, nullptr);
  if (s == INVALID_SOCKET) return NetStatus::kFailed;
  u_long nonBlocking = 1;
  ::ioctlsocket(s, FIONBIO, &nonBlocking);
  accepted.handle_.Reset(static_cast<std::intptr_t>(s));
  return NetStatus::kOk;
}

std::string ErrorText(int code) {
  if (code == 0) return {};
  char buffer[512];
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
  while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' ')) --n;
  return std::string(buffer, n);
}

void NetShutdown() {
  std::lock_guard guard(g_winsockLock);
  if (g_winsockStarted) WSACleanup();
  g_winsockStarted = false;
}

}  // namespace tavrel::download::platform

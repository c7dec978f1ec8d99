// Blocking TCP sockets on 127.0.0.1 for the servers the tests run.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrel::testing::sock {

using Handle = std::intptr_t;
inline constexpr Handle kInvalid = -1;

// A socket listening on 127.0.0.1; port 0 picks a free port and reports it.
Handle ListenLoopback(std::uint16_t& port);
// kInvalid when nothing arrived within the time.
Handle Accept(Handle listener, int timeoutMs);
Handle ConnectLoopback(std::uint16_t port);
// Bytes received; 0 when the peer closed; -1 on failure; -2 on time-out.
long Receive(Handle s, char* data, std::size_t size, int timeoutMs);
bool SendAll(Handle s, const char* data, std::size_t size);
void ShutdownWrite(Handle s);
void Close(Handle s);
// Closes with a reset: the peer's next receive fails.
void Abort(Handle s);

}  // namespace tavrel::testing::sock

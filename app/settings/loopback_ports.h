// The loopback build's servers listen wherever the tests' system put them:
// a test sets the ports of its own process, and a program a test starts
// reads them from its environment. Without either, the product's ports.
#pragma once

#include <cstdint>

namespace tavrel::app {

inline constexpr char kDownloadPortVariable[] = "TAVREL_LOOPBACK_DOWNLOAD_PORT";
inline constexpr char kUpdatePortVariable[] = "TAVREL_LOOPBACK_UPDATE_PORT";

// 0 hands the port back to the environment.
void SetLoopbackDownloadPort(std::uint16_t port);
void SetLoopbackUpdatePort(std::uint16_t port);

}  // namespace tavrel::app

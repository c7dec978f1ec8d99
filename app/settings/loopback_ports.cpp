#include "app/settings/loopback_ports.h"

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "app/settings.h"

namespace tavrel::app {
namespace {

// Set by a test before the code under test runs, read by that code's threads.
std::atomic<std::uint16_t> g_downloadPort{0};
std::atomic<std::uint16_t> g_updatePort{0};

std::uint16_t PortOf(const std::atomic<std::uint16_t>& set, const char* variable, std::uint16_t fallback) {
  if (std::uint16_t port = set.load()) return port;
  const char* text = std::getenv(variable);
  if (text == nullptr) return fallback;
  const char* end = text + std::strlen(text);
  std::uint16_t port = 0;
  const auto [stop, error] = std::from_chars(text, end, port);
  return error == std::errc() && stop == end && port != 0 ? port : fallback;
}

}  // namespace

std::uint16_t DownloadPort() { return PortOf(g_downloadPort, kDownloadPortVariable, kDownloadPort); }
std::uint16_t UpdatePort() { return PortOf(g_updatePort, kUpdatePortVariable, kUpdatePort); }
void SetLoopbackDownloadPort(std::uint16_t port) { g_downloadPort = port; }
void SetLoopbackUpdatePort(std::uint16_t port) { g_updatePort = port; }

}  // namespace tavrel::app

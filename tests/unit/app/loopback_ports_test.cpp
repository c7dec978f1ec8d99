#include "app/settings/loopback_ports.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/settings.h"

namespace tavrel::app {
namespace {

// nullptr removes the variable.
void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
#endif
}

// A program started by a test takes the port from its environment; a
// variable that is no port leaves the product's.
TEST(LoopbackPorts, FromTheEnvironmentOrTheProducts) {
  struct Row {
    const char* text;
    std::uint16_t port;
  };
  const Row rows[] = {
      {nullptr, kUpdatePort}, {"", kUpdatePort},   {"8443", 8443},       {"65535", 65535},     {"0", kUpdatePort},
      {"65536", kUpdatePort}, {"-1", kUpdatePort}, {"84x", kUpdatePort}, {" 84", kUpdatePort},
  };
  for (const Row& row : rows) {
    SetVariable(kUpdatePortVariable, row.text);
    EXPECT_EQ(UpdatePort(), row.port) << (row.text ? row.text : "unset");
  }
  // A test's own setting comes first, and 0 gives the environment back.
  SetVariable(kDownloadPortVariable, "8088");
  EXPECT_EQ(DownloadPort(), 8088);
  SetLoopbackDownloadPort(9000);
  EXPECT_EQ(DownloadPort(), 9000);
  SetLoopbackDownloadPort(0);
  EXPECT_EQ(DownloadPort(), 8088);
  SetVariable(kDownloadPortVariable, nullptr);
  SetVariable(kUpdatePortVariable, nullptr);
  EXPECT_EQ(DownloadPort(), kDownloadPort);
}

}  // namespace
}  // namespace tavrel::app

// The update decision over the system's WinINet, against a loopback HTTPS
// service with a self-signed certificate that answers each text in turn.
#include <gtest/gtest.h>

#include "app/update_check.h"
#include "tests/support/win32/loopback_server.h"

namespace tavrel::app {
namespace {

TEST(UpdateCheckOverHttps, AnswersOfTheService) {
  const std::pair<std::string, bool> rows[] = {
      {"1", true},    {"1.0", true}, {"1.00000001", true}, {"\xA3\xB1", true},  // full-width one
      {"1abc", true}, {"0", false},  {"2", false},         {"true", false},    {"v1", false}, {"", false},
  };
  testing::LoopbackServer service(true);
  ASSERT_TRUE(service.Running());
  for (const auto& [answer, newer] : rows) {
    ASSERT_TRUE(service.SetAnswer(answer)) << answer;
    EXPECT_EQ(NewerVersionAvailable(service.HostAndPort()), newer) << answer;
  }
}

TEST(UpdateCheckOverHttps, NoServiceMeansNoNewerVersion) {
  const std::uint16_t port = testing::UnusedLoopbackPort();
  ASSERT_NE(port, 0);
  EXPECT_FALSE(NewerVersionAvailable("127.0.0.1:" + std::to_string(port)));
}

}  // namespace
}  // namespace tavrel::app

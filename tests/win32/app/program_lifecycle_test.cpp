#include <gtest/gtest.h>

#include "tests/support/loopback_http_server.h"
#include "tests/support/win32/maker_services.h"
#include "tests/support/win32/tavrel_driver.h"

namespace tavrel {
namespace {

// Closing the main window ends the program with exit code 0.
TEST(Program, ClosingTheWindowEndsWithZero) {
  // The program asks the update service at start: it must reach this
  // test's service, answering "no newer version", and no other test's.
  testing::MakerServices services("0", testing::NoDownloads());
  ASSERT_TRUE(services.Ready()) << "ports 443 and 88 did not come free";
  testing::TavrelDriver tavrel(testing::FreshTestFolder("lifecycle"));
  ASSERT_TRUE(tavrel.Started());
  ASSERT_NE(tavrel.WaitForMainWindow(30000), nullptr) << "the main window did not appear";
  EXPECT_EQ(tavrel.Close(30000), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tavrel

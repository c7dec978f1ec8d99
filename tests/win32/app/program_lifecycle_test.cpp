#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/loopback_http_server.h"
#include "tests/support/test_paths.h"
#include "tests/support/win32/maker_services.h"
#include "tests/support/win32/tavrel_driver.h"

namespace tavrel {
namespace {

// Closing the main window ends the program with exit code 0.
TEST(Program, ClosingTheWindowEndsWithZero) {
  // The program asks the update service at start: this test's one answers
  // "no newer version".
  testing::MakerServices services("0", testing::NoDownloads());
  ASSERT_TRUE(services.Ready()) << "the stand-in services did not start";
  testing::TavrelDriver tavrel(testing::FreshTestFolder("lifecycle"));
  ASSERT_TRUE(tavrel.Started());
  ASSERT_NE(tavrel.WaitForMainWindow(30000), nullptr) << "the main window did not appear";
  EXPECT_EQ(tavrel.Close(30000), std::optional<DWORD>(0));
}

// A standard user can start the program; an administrator is asked to
// elevate. Read from the built executable's own manifest resource.
TEST(Program, ManifestAsksForTheHighestAvailableLevel) {
  std::string path = "Z:" + testing::BinaryDir() + "/Tavrel.exe";
  for (char& c : path)
    if (c == '/') c = '\\';
  HMODULE exe = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr) << path;
  HRSRC found = ::FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(exe, found)));
  const std::string manifest(bytes, ::SizeofResource(exe, found));
  ::FreeLibrary(exe);
  EXPECT_NE(manifest.find("requestedExecutionLevel level=\"highestAvailable\""), std::string::npos) << manifest;
  EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
}

}  // namespace
}  // namespace tavrel

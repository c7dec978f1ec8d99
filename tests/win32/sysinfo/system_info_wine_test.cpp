// System naming and bitness against what the running Windows (Wine) reports
// through other calls than the ones under test.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "runtime/system.h"
#include "sysinfo/bitness.h"
#include "sysinfo/os_name.h"
#include "tests/support/win32/registry_sandbox.h"

namespace tavrel::sysinfo {
namespace {

struct Reported {
  DWORD major, minor, build;
  BYTE productType;
};

Reported RtlVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto get = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  get(&info);
  return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.wProductType};
}

TEST(IsSystem64Bit, MatchesTheNativeArchitecture) {
  EXPECT_EQ(IsSystem64Bit(), testing::NativeSystemIs64Bit() ? 1 : 0);
}

TEST(GetOsDisplayName, NamesTheVersionTheSystemReports) {
  Reported v = RtlVersion();
  ASSERT_EQ(v.productType, VER_NT_WORKSTATION) << "the test prefixes are workstations";
  const std::pair<std::pair<DWORD, DWORD>, const char*> names[] = {
      {{5, 1}, "Windows XP"}, {{6, 0}, "Windows Vista"}, {{6, 1}, "Windows 7"},
      {{6, 2}, "Windows 8"},  {{6, 3}, "Windows 8.1"},   {{10, 0}, "Windows 10"},
  };
  const char* name = nullptr;
  for (const auto& [version, text] : names)
    if (version.first == v.major && version.second == v.minor) name = text;
  ASSERT_NE(name, nullptr) << v.major << "." << v.minor;

  DWORD type = 0;
  ASSERT_TRUE(::GetProductInfo(v.major, v.minor, 0, 0, &type));
  Text edition = EditionOfProductType(type);
  Text expected = Text(name) + " " + edition + " (Build:" + std::to_string(v.build & 0xFFFF) + ")";

  std::int32_t major = -1, minor = -1;
  Text shown = GetOsDisplayName(major, minor, 1, std::nullopt, std::nullopt, 1);
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(major, static_cast<std::int32_t>(v.major));
  EXPECT_EQ(minor, static_cast<std::int32_t>(v.minor));
  std::printf("[ shown    ] %s (product type 0x%lX)\n", shown.c_str(), type);

  BOOL wow64 = FALSE;
  ::IsWow64Process(::GetCurrentProcess(), &wow64);
  Text all = GetOsDisplayName(major, minor, 1, 1, 1, 1);
  Text architecture = wow64 ? " x64" : " x86";
  EXPECT_EQ(all.substr(0, expected.find(" (")), expected.substr(0, expected.find(" (")));
  EXPECT_NE(all.find(architecture + " ("), Text::npos) << all;
  std::printf("[ all      ] %s\n", all.c_str());
}

TEST(GetOsDisplayName, RegistryValuesItReadsExistInTheDefaultView) {
  // Build 0 and a missing service pack fall back to these values; they must
  // be readable the way ReadRegistryText reads them.
  EXPECT_FALSE(ReadRegistryText(4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuild").empty());
  EXPECT_FALSE(ReadRegistryText(4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName").empty());
}

}  // namespace
}  // namespace tavrel::sysinfo

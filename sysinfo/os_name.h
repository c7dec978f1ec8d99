// The one-line name of the running Windows system ("Windows 10 Professional
// (Build:19045)"): platform facts gathered first, then a naming step that
// maps them through fixed tables and asks the platform only on the paths
// that need one more answer.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/system_facts.h"
#include "runtime/value.h"

namespace tavrel::sysinfo {

struct OsFacts {
  std::int32_t major = 0;
  std::int32_t minor = 0;
  std::int32_t build = 0;        // low 16 bits of the platform's build number, sign-extended
  std::uint8_t productType = 0;  // 1 workstation, anything else a server
  std::uint16_t suiteMask = 0;
  Text servicePack;
  bool wow64 = false;
  std::uint16_t processorArchitecture = 0;
};

struct OsNameOptions {
  bool withEdition = false;
  bool withArchitecture = false;
  bool withServicePack = false;
  bool withBuild = false;
};

// The answers the naming asks for on particular paths only.
class OsNameQuestions {
 public:
  virtual ~OsNameQuestions() = default;
  // GetSystemMetrics(SM_SERVERR2); asked for version 5.2 only.
  virtual std::int32_t ServerR2() = 0;
  // The product info type for the version, 0 when the call is missing or
  // leaves it unset; asked when major is 6 or more.
  virtual std::uint32_t ProductInfoType(std::int32_t major, std::int32_t minor) = 0;
  // A text value under HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion,
  // given as its whole path; empty when it cannot be read.
  virtual Text RegistryText(TextView path) = 0;
};

inline constexpr const char* kProductNamePath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName";
inline constexpr const char* kCsdVersionPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CSDVersion";
inline constexpr const char* kCurrentBuildPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuild";

// The platform facts, gathered in the order GetVersionExA, GetSystemInfo,
// IsWow64Process, RtlGetNtVersionNumbers; nothing when the first call fails.
std::optional<OsFacts> GatherOsFacts(SystemFactsApi& api);

// The edition text of a product info type; empty for a type not in the table.
Text EditionOfProductType(std::uint32_t productType);

// The display name from the facts; pure except for the questions it asks.
Text NameOperatingSystem(const OsFacts& facts, const OsNameOptions& options, OsNameQuestions& questions);

// The whole routine over the current platform. major and minor receive the
// version numbers, and stay untouched when the version cannot be read (the
// result is then empty).
Text GetOsDisplayName(std::int32_t& major, std::int32_t& minor, std::optional<Logical> withEdition = std::nullopt,
                      std::optional<Logical> withArchitecture = std::nullopt,
                      std::optional<Logical> withServicePack = std::nullopt,
                      std::optional<Logical> withBuild = std::nullopt);

}  // namespace tavrel::sysinfo

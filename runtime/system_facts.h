// What the program asks the platform about the running system (kernel32,
// user32, ntdll) as one seam: the real functions on Windows, a test's record
// elsewhere. Each method is one platform call with its raw answer.
#pragma once

#include <cstdint>

#include "runtime/seam.h"
#include "runtime/value.h"

namespace tavrel {

// The parts of GetVersionExA's OSVERSIONINFOEXA the program uses.
struct VersionRecord {
  std::uint32_t major = 0, minor = 0, build = 0;
  std::uint8_t productType = 0;  // 1 workstation
  std::uint16_t suiteMask = 0;
  Text servicePack;  // szCSDVersion up to its first zero byte
};

inline constexpr std::int32_t kMetricServerR2 = 89;  // SM_SERVERR2

class SystemFactsApi {
 public:
  virtual ~SystemFactsApi() = default;
  // GetVersionExA; false when it fails and the record is not filled.
  virtual bool VersionEx(VersionRecord* record) = 0;
  // wProcessorArchitecture of GetSystemInfo (9: x64).
  virtual std::uint16_t ProcessorArchitecture() = 0;
  // IsWow64Process on the current process: false unless the call sets it.
  virtual bool RunsUnderWow64() = 0;
  // RtlGetNtVersionNumbers of ntdll, bound by name at run time; false when
  // the system has no such function.
  virtual bool NtVersionNumbers(std::uint32_t* major, std::uint32_t* minor, std::uint32_t* build) = 0;
  // GetSystemMetrics (kMetricServerR2 ...).
  virtual std::int32_t SystemMetric(std::int32_t index) = 0;
  // RtlGetProductInfo of ntdll, bound by name at run time; false when the
  // system has no such function. Writes the product type as the call does.
  virtual bool ProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor, std::uint32_t spMinor,
                           std::uint32_t* productType) = 0;
  // Whether kernel32 exports GetSystemWow64DirectoryA (looked up by name).
  virtual bool HasSystemWow64Directory() = 0;
  // Calls it: the length of the WOW64 system directory, the size needed
  // when the buffer is too small, 0 when the system has no WOW64 layer.
  virtual std::uint32_t SystemWow64Directory(char* buffer, std::uint32_t size) = 0;
};

namespace platform {
SystemFactsApi& DefaultSystemFactsApi();
}  // namespace platform
inline constinit Seam<SystemFactsApi> g_systemFactsSeam{&platform::DefaultSystemFactsApi};

}  // namespace tavrel

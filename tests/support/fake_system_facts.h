// A scripted SystemFactsApi that logs each platform call, installed for one
// test. Presets stand for the systems the tests meet most.
#pragma once

#include <string>
#include <vector>

#include "runtime/system_facts.h"

namespace tavrel::testing {

class FakeSystemFacts final : public SystemFactsApi {
 public:
  bool versionOk = true;
  VersionRecord version{6, 1, 7601, 1, 0x100, "Service Pack 1"};
  std::uint16_t architecture = 0;
  bool wow64 = false;
  bool hasNtVersionNumbers = true;
  std::uint32_t ntMajor = 6, ntMinor = 1, ntBuild = 0xF0001DB1;  // 7601 with the top flag bits set
  std::int32_t serverR2 = 0;
  bool hasProductInfo = true;
  std::uint32_t productType = 1;
  bool hasWow64Directory = false;
  std::uint32_t wow64DirectoryResult = 0;

  std::vector<std::string> calls;
  std::vector<std::uint32_t> productInfoArgs;  // major, minor, spMajor, spMinor, type on entry
  std::string wow64Buffer;                     // what the directory call was given

  // 64-bit Windows 7 SP1 as a 32-bit program sees it (what Wine reports).
  static FakeSystemFacts Windows64() {
    FakeSystemFacts f;
    f.wow64 = true;
    f.hasWow64Directory = true;
    f.wow64DirectoryResult = 20;  // C:\windows\syswow64
    return f;
  }
  static FakeSystemFacts Windows32() {
    FakeSystemFacts f;
    f.hasWow64Directory = true;  // the export exists but fails
    f.wow64DirectoryResult = 0;
    return f;
  }

  bool VersionEx(VersionRecord* record) override {
    calls.push_back("GetVersionExA");
    if (versionOk) *record = version;
    return versionOk;
  }
  std::uint16_t ProcessorArchitecture() override {
    calls.push_back("GetSystemInfo");
    return architecture;
  }
  bool RunsUnderWow64() override {
    calls.push_back("IsWow64Process");
    return wow64;
  }
  bool NtVersionNumbers(std::uint32_t* major, std::uint32_t* minor, std::uint32_t* build) override {
    calls.push_back("RtlGetNtVersionNumbers");
    if (!hasNtVersionNumbers) return false;
    *major = ntMajor;
    *minor = ntMinor;
    *build = ntBuild;
    return true;
  }
  std::int32_t SystemMetric(std::int32_t index) override {
    calls.push_back("GetSystemMetrics(" + std::to_string(index) + ")");
    return index == kMetricServerR2 ? serverR2 : 0;
  }
  bool ProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t spMajor, std::uint32_t spMinor,
                   std::uint32_t* type) override {
    calls.push_back("RtlGetProductInfo");
    productInfoArgs = {major, minor, spMajor, spMinor, *type};
    if (!hasProductInfo) return false;
    *type = productType;
    return true;
  }
  bool HasSystemWow64Directory() override {
    calls.push_back("GetProcAddress(GetSystemWow64DirectoryA)");
    return hasWow64Directory;
  }
  std::uint32_t SystemWow64Directory(char* buffer, std::uint32_t size) override {
    calls.push_back("GetSystemWow64DirectoryA");
    wow64Buffer.assign(buffer, size);
    return wow64DirectoryResult;
  }
};

struct ScopedSystemFacts {
  explicit ScopedSystemFacts(FakeSystemFacts preset = {}) : facts(std::move(preset)) {}

  FakeSystemFacts facts;
  ScopedSeam<g_systemFactsSeam> installed{facts};
};

}  // namespace tavrel::testing

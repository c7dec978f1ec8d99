// The host build runs on no Windows: the version call fails, there is no
// WOW64 layer, and nothing else is known.
#include "runtime/system_facts.h"

namespace tavrel::platform {
namespace {

class NoWindows final : public SystemFactsApi {
 public:
  bool VersionEx(VersionRecord*) override { return false; }
  std::uint16_t ProcessorArchitecture() override { return 0; }
  bool RunsUnderWow64() override { return false; }
  bool NtVersionNumbers(std::uint32_t*, std::uint32_t*, std::uint32_t*) override { return false; }
  std::int32_t SystemMetric(std::int32_t) override { return 0; }
  bool ProductInfo(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t*) override {
    return false;
  }
  bool HasSystemWow64Directory() override { return false; }
  std::uint32_t SystemWow64Directory(char*, std::uint32_t) override { return 0; }
};

}  // namespace

SystemFactsApi& DefaultSystemFactsApi() {
  static NoWindows facts;
  return facts;
}

}  // namespace tavrel::platform

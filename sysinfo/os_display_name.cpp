// The gathering half and GetOsDisplayName over the current platform.
#include "runtime/system.h"
#include "sysinfo/os_name.h"

namespace tavrel::sysinfo {
namespace {

class PlatformQuestions final : public OsNameQuestions {
 public:
  explicit PlatformQuestions(SystemFactsApi& api) : api_(api) {}
  std::int32_t ServerR2() override { return api_.SystemMetric(kMetricServerR2); }
  std::uint32_t ProductInfoType(std::int32_t major, std::int32_t minor) override {
    std::uint32_t type = 0;
    if (!api_.ProductInfo(static_cast<std::uint32_t>(major), static_cast<std::uint32_t>(minor), 0, 0, &type)) return 0;
    return type;
  }
  Text RegistryText(TextView path) override { return ReadRegistryText(rootcode::kLocalMachine, path); }

 private:
  SystemFactsApi& api_;
};

}  // namespace

std::optional<OsFacts> GatherOsFacts(SystemFactsApi& api) {
  VersionRecord version;
  if (!api.VersionEx(&version)) return std::nullopt;
  OsFacts facts;
  facts.productType = version.productType;
  facts.suiteMask = version.suiteMask;
  facts.servicePack = version.servicePack;
  facts.processorArchitecture = api.ProcessorArchitecture();
  facts.wow64 = api.RunsUnderWow64();
  std::uint32_t major = 0, minor = 0, build = 0;
  // GetVersionExA answers what the program's manifest lets it see; ntdll's
  // numbers are the system's own. Only a system without that export falls
  // back to the version record.
  if (!api.NtVersionNumbers(&major, &minor, &build)) {
    major = version.major;
    minor = version.minor;
    build = version.build;
  }
  facts.major = static_cast<std::int32_t>(major);
  facts.minor = static_cast<std::int32_t>(minor);
  // The top bits of the third number are flags (checked build, ...).
  facts.build = static_cast<std::int16_t>(build & 0xFFFF);
  return facts;
}

Text GetOsDisplayName(std::int32_t& major, std::int32_t& minor, std::optional<Logical> withEdition,
                      std::optional<Logical> withArchitecture, std::optional<Logical> withServicePack,
                      std::optional<Logical> withBuild) {
  SystemFactsApi& api = g_systemFactsSeam.Current();
  std::optional<OsFacts> facts = GatherOsFacts(api);
  if (!facts) return {};
  major = facts->major;
  minor = facts->minor;
  OsNameOptions options{withEdition.value_or(0) != 0, withArchitecture.value_or(0) != 0,
                        withServicePack.value_or(0) != 0, withBuild.value_or(0) != 0};
  PlatformQuestions questions(api);
  return NameOperatingSystem(*facts, options, questions);
}

}  // namespace tavrel::sysinfo

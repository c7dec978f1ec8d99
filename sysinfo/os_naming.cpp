// The naming half: facts to name, edition, architecture and suffix.
#include <array>
#include <string>
#include <utility>

#include "runtime/text.h"
#include "sysinfo/os_name.h"

namespace tavrel::sysinfo {
namespace {

constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint16_t kSuiteEnterprise = 0x2, kSuiteDatacenter = 0x80, kSuitePersonal = 0x200,
                        kSuiteStorageServer = 0x2000, kSuiteHomeServer = 0x8000;
constexpr std::uint16_t kArchitectureAmd64 = 9;

constexpr std::array<std::pair<std::uint32_t, const char*>, 25> kEditions = {{
    {0x01, "Ultimate Edition"},
    {0x02, "Home Basic Edition"},
    {0x03, "Home Premium Edition"},
    {0x04, "Enterprise Edition"},
    {0x06, "Business Edition"},
    {0x07, "Standard"},
    {0x08, "Datacenter Edition"},
    {0x09, "Small Business Server"},
    {0x0A, "Enterprise Edition"},
    {0x0B, "Starter Edition"},
    {0x0C, "Datacenter Edition (core installation)"},
    {0x0D, "Standard Edition (core installation)"},
    {0x0E, "Enterprise Edition (core installation)"},
    {0x0F, "Enterprise Edition for Itanium-based Systems"},
    {0x10, "Business N"},
    {0x11, "Web Server (full installation)"},
    {0x12, "HPC Edition"},
    {0x13, "Windows Storage Server 2008 R2 Essentials"},
    {0x14, "Storage Server Express"},
    {0x15, "Storage Server Standard"},
    {0x16, "Storage Server Workgroup"},
    {0x17, "Storage Server Enterprise"},
    {0x19, "Small Business Server Premium Edition"},
    {0x30, "Professional"},
    {0x79, "Education"},
}};

struct NameAndEdition {
  Text name;
  Text edition;
};

NameAndEdition ByVersion(const OsFacts& f, OsNameQuestions& ask) {
  const bool workstation = f.productType == kWorkstation;
  auto pick = [&](const char* client, const char* server) { return NameAndEdition{workstation ? client : server, {}}; };
  if (f.major == 10) {
    if (f.minor != 0) return {};
    return {workstation ? Text("Windows 10") : ask.RegistryText(kProductNamePath), {}};
  }
  if (f.major == 6) {
    switch (f.minor) {
      case 0: return pick("Windows Vista", "Windows Server 2008");
      case 1: return pick("Windows 7", "Windows Server 2008 R2");
      case 2: return pick("Windows 8", "Windows Server 2012");
      case 3: return pick("Windows 8.1", "Windows Server 2012 R2");
      default: return {};
    }
  }
  if (f.major == 5 && f.minor == 0) {
    if (workstation) return {"Windows 2000", "Professional"};
    if (f.suiteMask & kSuiteDatacenter) return {"Windows 2000", "Datacenter Server"};
    if (f.suiteMask & kSuiteEnterprise) return {"Windows 2000", "Advanced Server"};
    return {"Windows 2000", "Server"};
  }
  if (f.major == 5 && f.minor == 1)
    return {"Windows XP", (f.suiteMask & kSuitePersonal) ? "Home Edition" : "Professional"};
  if (f.major == 5 && f.minor == 2) {
    if (ask.ServerR2() != 0) return {"Windows Server 2003 R2, ", {}};
    if (f.suiteMask & kSuiteStorageServer) return {"Windows Storage Server 2003", {}};
    if (f.suiteMask & kSuiteHomeServer) return {"Windows Home Server", {}};
    if (workstation && f.processorArchitecture == kArchitectureAmd64)
      return {"Windows XP Professional x64 Edition", {}};
    return {"Windows Server 2003, ", {}};
  }
  if (f.major == 4 && f.minor == 10) return {"Windows 98", {}};
  return {};
}

}  // namespace

Text EditionOfProductType(std::uint32_t productType) {
  for (const auto& [type, edition] : kEditions)
    if (type == productType) return edition;
  return {};
}

Text NameOperatingSystem(const OsFacts& facts, const OsNameOptions& options, OsNameQuestions& questions) {
  auto [name, edition] = ByVersion(facts, questions);

  if (facts.major >= 6) {
    std::uint32_t type = questions.ProductInfoType(facts.major, facts.minor);
    // An edition the table does not list (most Windows 10 and 11 home and
    // workstation types) keeps the name; without an answer, or without a
    // name to keep (a version no row covers, a server with no product
    // name), the label says the version could not be named.
    if (type != 0) edition = EditionOfProductType(type);
    if (type == 0 || name.empty())
      name = "获取失败，请检查版本:" + std::to_string(facts.major) + "." + std::to_string(facts.minor);
  }

  Text result = name;
  if (options.withEdition) {
    result += ' ';
    if (FindText(name, edition, 1, 0) == -1) result += edition;
  }
  if (options.withArchitecture) result += facts.wow64 ? " x64" : " x86";

  Text suffix;
  if (options.withServicePack) {
    suffix = facts.servicePack.empty() ? questions.RegistryText(kCsdVersionPath) : facts.servicePack;
    if (suffix.size() <= 2) suffix.clear();
  }
  if (options.withBuild) {
    Text build = facts.build != 0 ? std::to_string(facts.build) : questions.RegistryText(kCurrentBuildPath);
    suffix = suffix.empty() ? "Build:" + build : suffix + ",Build:" + build;
  }
  if (!suffix.empty()) result += " (" + suffix + ")";
  return result;
}

}  // namespace tavrel::sysinfo

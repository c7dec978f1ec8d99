#include "sysinfo/os_name.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sysinfo/bitness.h"
#include "tests/support/fake_system_facts.h"
#include "tests/support/scoped_registry.h"

namespace tavrel::sysinfo {
namespace {

// "获取失败，请检查版本:" in GBK, spelled out so a change of the source or
// execution character set cannot go unnoticed.
const Text kFailure = "\xBB\xF1\xC8\xA1\xCA\xA7\xB0\xDC\xA3\xAC\xC7\xEB\xBC\xEC\xB2\xE9\xB0\xE6\xB1\xBE:";

class Answers final : public OsNameQuestions {
 public:
  std::int32_t serverR2 = 0;
  std::uint32_t productType = 0;
  std::map<std::string, Text> registry;  // by value name
  std::vector<std::string> asked;

  std::int32_t ServerR2() override {
    asked.push_back("R2");
    return serverR2;
  }
  std::uint32_t ProductInfoType(std::int32_t major, std::int32_t minor) override {
    asked.push_back("product " + std::to_string(major) + "." + std::to_string(minor));
    return productType;
  }
  Text RegistryText(TextView path) override {
    std::string name(path.substr(path.rfind('\\') + 1));
    EXPECT_EQ(Text(path), "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\" + name);
    asked.push_back(name);
    auto found = registry.find(name);
    return found == registry.end() ? Text() : found->second;
  }
};

constexpr OsNameOptions kNone{};
constexpr OsNameOptions kEdition{.withEdition = true};
constexpr OsNameOptions kWindow{.withEdition = true, .withBuild = true};  // what the main window asks

struct Row {
  const char* what;
  OsFacts facts;
  OsNameOptions options;
  std::int32_t serverR2;
  std::uint32_t productType;
  std::map<std::string, Text> registry;
  Text expected;
  std::vector<std::string> asked;
};

void Check(const Row& r) {
  Answers answers;
  answers.serverR2 = r.serverR2;
  answers.productType = r.productType;
  answers.registry = r.registry;
  EXPECT_EQ(NameOperatingSystem(r.facts, r.options, answers), r.expected) << r.what;
  EXPECT_EQ(answers.asked, r.asked) << r.what;
}

OsFacts V(std::int32_t major, std::int32_t minor, std::uint8_t productType = 1, std::uint16_t suite = 0,
          std::uint16_t architecture = 0) {
  OsFacts f;
  f.major = major;
  f.minor = minor;
  f.build = 1234;
  f.productType = productType;
  f.suiteMask = suite;
  f.processorArchitecture = architecture;
  return f;
}

TEST(OsNaming, NameAndEditionByVersion) {
  const std::map<std::string, Text> server2019 = {{"ProductName", "Windows Server 2019 Datacenter"}};
  const Row rows[] = {
      {"10.0 workstation", V(10, 0), kNone, 0, 48, {}, "Windows 10", {"product 10.0"}},
      {"10.0 server",
       V(10, 0, 3),
       kNone,
       0,
       8,
       server2019,
       "Windows Server 2019 Datacenter",
       {"ProductName", "product 10.0"}},
      {"10.0 server without a product name",
       V(10, 0, 2),
       kNone,
       0,
       8,
       {},
       kFailure + "10.0",
       {"ProductName", "product 10.0"}},
      {"10.1", V(10, 1), kNone, 0, 48, {}, kFailure + "10.1", {"product 10.1"}},
      {"6.0 workstation", V(6, 0), kNone, 0, 6, {}, "Windows Vista", {"product 6.0"}},
      {"6.0 server", V(6, 0, 3), kNone, 0, 7, {}, "Windows Server 2008", {"product 6.0"}},
      {"6.1 workstation", V(6, 1), kNone, 0, 1, {}, "Windows 7", {"product 6.1"}},
      {"6.1 server", V(6, 1, 2), kNone, 0, 7, {}, "Windows Server 2008 R2", {"product 6.1"}},
      {"6.2 workstation", V(6, 2), kNone, 0, 48, {}, "Windows 8", {"product 6.2"}},
      {"6.2 server", V(6, 2, 3), kNone, 0, 7, {}, "Windows Server 2012", {"product 6.2"}},
      {"6.3 workstation", V(6, 3), kNone, 0, 48, {}, "Windows 8.1", {"product 6.3"}},
      {"6.3 server", V(6, 3, 3), kNone, 0, 7, {}, "Windows Server 2012 R2", {"product 6.3"}},
      {"6.4", V(6, 4), kNone, 0, 48, {}, kFailure + "6.4", {"product 6.4"}},
      {"5.0 workstation", V(5, 0, 1, 0x82), kEdition, 0, 0, {}, "Windows 2000 Professional", {}},
      {"5.0 datacenter", V(5, 0, 3, 0x82), kEdition, 0, 0, {}, "Windows 2000 Datacenter Server", {}},
      {"5.0 advanced", V(5, 0, 3, 0x02), kEdition, 0, 0, {}, "Windows 2000 Advanced Server", {}},
      {"5.0 server", V(5, 0, 2, 0x10), kEdition, 0, 0, {}, "Windows 2000 Server", {}},
      {"5.1 home", V(5, 1, 1, 0x200), kEdition, 0, 0, {}, "Windows XP Home Edition", {}},
      {"5.1 professional", V(5, 1, 1, 0x100), kEdition, 0, 0, {}, "Windows XP Professional", {}},
      {"5.1 as a server", V(5, 1, 3, 0x200), kEdition, 0, 0, {}, "Windows XP Home Edition", {}},
      {"5.1 without edition", V(5, 1, 1, 0x200), kNone, 0, 0, {}, "Windows XP", {}},
      {"5.2 R2 before the suites", V(5, 2, 3, 0xA000), kNone, 1, 0, {}, "Windows Server 2003 R2, ", {"R2"}},
      {"5.2 storage before home server", V(5, 2, 3, 0xA000), kNone, 0, 0, {}, "Windows Storage Server 2003", {"R2"}},
      {"5.2 storage", V(5, 2, 3, 0x2000), kNone, 0, 0, {}, "Windows Storage Server 2003", {"R2"}},
      {"5.2 home server", V(5, 2, 3, 0x8000), kNone, 0, 0, {}, "Windows Home Server", {"R2"}},
      {"5.2 XP x64", V(5, 2, 1, 0, 9), kNone, 0, 0, {}, "Windows XP Professional x64 Edition", {"R2"}},
      {"5.2 workstation on x86", V(5, 2, 1, 0, 0), kNone, 0, 0, {}, "Windows Server 2003, ", {"R2"}},
      {"5.2 server on x64", V(5, 2, 3, 0, 9), kNone, 0, 0, {}, "Windows Server 2003, ", {"R2"}},
      {"5.2 with edition", V(5, 2, 3), kEdition, 0, 0, {}, "Windows Server 2003,  ", {"R2"}},
      {"4.10", V(4, 10, 3), kNone, 0, 0, {}, "Windows 98", {}},
      {"4.0", V(4, 0), kNone, 0, 0, {}, "", {}},
      {"3.51", V(3, 51), kEdition, 0, 0, {}, " ", {}},
      {"11.0 is not named", V(11, 0), kNone, 0, 48, {}, kFailure + "11.0", {"product 11.0"}},
  };
  for (const auto& r : rows) Check(r);
}

TEST(OsNaming, EditionTableAndItsBoundaries) {
  const std::pair<std::uint32_t, const char*> table[] = {
      {0, ""},
      {1, "Ultimate Edition"},
      {2, "Home Basic Edition"},
      {3, "Home Premium Edition"},
      {4, "Enterprise Edition"},
      {5, ""},
      {6, "Business Edition"},
      {7, "Standard"},
      {8, "Datacenter Edition"},
      {9, "Small Business Server"},
      {10, "Enterprise Edition"},
      {11, "Starter Edition"},
      {12, "Datacenter Edition (core installation)"},
      {13, "Standard Edition (core installation)"},
      {14, "Enterprise Edition (core installation)"},
      {15, "Enterprise Edition for Itanium-based Systems"},
      {16, "Business N"},
      {17, "Web Server (full installation)"},
      {18, "HPC Edition"},
      {19, "Windows Storage Server 2008 R2 Essentials"},
      {20, "Storage Server Express"},
      {21, "Storage Server Standard"},
      {22, "Storage Server Workgroup"},
      {23, "Storage Server Enterprise"},
      {24, ""},
      {25, "Small Business Server Premium Edition"},
      {26, ""},
      {47, ""},
      {48, "Professional"},
      {49, ""},
      {101, ""},
      {120, ""},
      {121, "Education"},
      {122, ""},
      {0xABCDEF01, ""},
  };
  for (auto [type, edition] : table) EXPECT_EQ(EditionOfProductType(type), edition) << type;

  // Through the naming: only 0 is the failure; an unlisted type keeps the
  // name with an empty edition (Windows 10/11 Home is 101, Pro N 49, ...).
  const Row rows[] = {
      {"0", V(10, 0), kEdition, 0, 0, {}, kFailure + "10.0 ", {"product 10.0"}},
      {"1", V(10, 0), kEdition, 0, 1, {}, "Windows 10 Ultimate Edition", {"product 10.0"}},
      {"5", V(10, 0), kEdition, 0, 5, {}, "Windows 10 ", {"product 10.0"}},
      {"24", V(10, 0), kEdition, 0, 24, {}, "Windows 10 ", {"product 10.0"}},
      {"25", V(10, 0), kEdition, 0, 25, {}, "Windows 10 Small Business Server Premium Edition", {"product 10.0"}},
      {"26", V(10, 0), kEdition, 0, 26, {}, "Windows 10 ", {"product 10.0"}},
      {"48", V(10, 0), kEdition, 0, 48, {}, "Windows 10 Professional", {"product 10.0"}},
      {"101", V(10, 0), kEdition, 0, 101, {}, "Windows 10 ", {"product 10.0"}},
      {"121", V(10, 0), kEdition, 0, 121, {}, "Windows 10 Education", {"product 10.0"}},
      {"0 on 6.1", V(6, 1), kNone, 0, 0, {}, kFailure + "6.1", {"product 6.1"}},
      {"0 on 6.4", V(6, 4), kEdition, 0, 0, {}, kFailure + "6.4 ", {"product 6.4"}},
      // No name to keep: the failure text, never an empty label or a bare
      // build (as the main window asks, with edition and build).
      {"unlisted on 7.0", V(7, 0), kWindow, 0, 101, {}, kFailure + "7.0  (Build:1234)", {"product 7.0"}},
      {"unlisted on a 10.0 server without a name",
       V(10, 0, 3),
       kWindow,
       0,
       101,
       {},
       kFailure + "10.0  (Build:1234)",
       {"ProductName", "product 10.0"}},
      {"listed on a 10.0 server without a name",
       V(10, 0, 3),
       kWindow,
       0,
       8,
       {},
       kFailure + "10.0 Datacenter Edition (Build:1234)",
       {"ProductName", "product 10.0"}},
  };
  for (const auto& r : rows) Check(r);
}

TEST(OsNaming, CompositionOfEditionArchitectureAndSuffix) {
  auto sp = [](OsFacts f, const char* servicePack, std::int32_t build) {
    f.servicePack = servicePack;
    f.build = build;
    return f;
  };
  auto wow = [](OsFacts f, bool wow64) {
    f.wow64 = wow64;
    return f;
  };
  const std::map<std::string, Text> standard = {{"ProductName", "Windows Server 2016 Standard"}};
  const std::map<std::string, Text> datacenter = {{"ProductName", "Windows Server 2016 Datacenter"}};
  const std::map<std::string, Text> lower = {{"ProductName", "Windows Server 2016 standard"}};
  // 0x81 0x53 is one character whose trail byte is "S": "Standard" does not
  // start inside it.
  const std::map<std::string, Text> trail = {{"ProductName", "Server \x81Standard"}};
  const OsNameOptions architectureOnly{.withArchitecture = true};
  const OsNameOptions everything{true, true, true, true};
  const OsNameOptions servicePack{.withServicePack = true};
  const OsNameOptions servicePackAndBuild{.withServicePack = true, .withBuild = true};
  const OsNameOptions build{.withBuild = true};

  const Row rows[] = {
      {"worked example",
       sp(V(10, 0), "", 19045),
       kWindow,
       0,
       48,
       {},
       "Windows 10 Professional (Build:19045)",
       {"product 10.0"}},
      {"home edition keeps the name",
       sp(V(10, 0), "", 19045),
       kWindow,
       0,
       101,
       {},
       "Windows 10  (Build:19045)",
       {"product 10.0"}},
      {"missing product info",
       sp(V(10, 0), "", 19045),
       kWindow,
       0,
       0,
       {},
       kFailure + "10.0  (Build:19045)",
       {"product 10.0"}},
      {"edition inside the name",
       sp(V(10, 0, 3), "", 14393),
       kWindow,
       0,
       7,
       standard,
       "Windows Server 2016 Standard  (Build:14393)",
       {"ProductName", "product 10.0"}},
      {"whole edition not inside",
       sp(V(10, 0, 3), "", 14393),
       kWindow,
       0,
       8,
       datacenter,
       "Windows Server 2016 Datacenter Datacenter Edition (Build:14393)",
       {"ProductName", "product 10.0"}},
      {"edition search is case-sensitive",
       sp(V(10, 0, 3), "", 1),
       kEdition,
       0,
       7,
       lower,
       "Windows Server 2016 standard Standard",
       {"ProductName", "product 10.0"}},
      {"no match inside a two-byte character",
       V(10, 0, 3),
       kEdition,
       0,
       7,
       trail,
       "Server \x81Standard Standard",
       {"ProductName", "product 10.0"}},
      {"no name, edition", V(6, 4), kEdition, 0, 48, {}, kFailure + "6.4 Professional", {"product 6.4"}},
      {"no name and no edition", V(6, 4), kEdition, 0, 101, {}, kFailure + "6.4 ", {"product 6.4"}},
      {"32-bit program on 64-bit", wow(V(6, 1), true), architectureOnly, 0, 1, {}, "Windows 7 x64", {"product 6.1"}},
      {"32-bit program on 32-bit", wow(V(6, 1), false), architectureOnly, 0, 1, {}, "Windows 7 x86", {"product 6.1"}},
      {"all four",
       sp(wow(V(6, 1), true), "Service Pack 1", 7601),
       everything,
       0,
       1,
       {},
       "Windows 7 Ultimate Edition x64 (Service Pack 1,Build:7601)",
       {"product 6.1"}},
      {"XP SP3 suffix",
       sp(V(5, 1), "Service Pack 3", 2600),
       servicePackAndBuild,
       0,
       0,
       {},
       "Windows XP (Service Pack 3,Build:2600)",
       {}},
      {"2-byte service pack dropped",
       sp(V(5, 1), "SP", 2600),
       servicePackAndBuild,
       0,
       0,
       {},
       "Windows XP (Build:2600)",
       {}},
      {"1-byte service pack dropped", sp(V(5, 1), "1", 2600), servicePack, 0, 0, {}, "Windows XP", {}},
      {"3-byte service pack kept", sp(V(5, 1), "SP1", 2600), servicePack, 0, 0, {}, "Windows XP (SP1)", {}},
      {"service pack from the registry",
       sp(V(5, 1), "", 2600),
       servicePack,
       0,
       0,
       {{"CSDVersion", "Service Pack 2"}},
       "Windows XP (Service Pack 2)",
       {"CSDVersion"}},
      {"2-byte registry service pack dropped",
       sp(V(5, 1), "", 2600),
       servicePackAndBuild,
       0,
       0,
       {{"CSDVersion", "S2"}},
       "Windows XP (Build:2600)",
       {"CSDVersion"}},
      {"build 0 from CurrentBuild",
       sp(V(5, 1), "", 0),
       build,
       0,
       0,
       {{"CurrentBuild", "2600"}},
       "Windows XP (Build:2600)",
       {"CurrentBuild"}},
      {"build 0 and no CurrentBuild", sp(V(5, 1), "", 0), build, 0, 0, {}, "Windows XP (Build:)", {"CurrentBuild"}},
      {"negative build", sp(V(5, 1), "", -1), build, 0, 0, {}, "Windows XP (Build:-1)", {}},
      {"no flags", sp(wow(V(6, 1), true), "Service Pack 1", 7601), kNone, 0, 48, {}, "Windows 7", {"product 6.1"}},
  };
  for (const auto& r : rows) Check(r);
}

TEST(OsFacts, GatheredInOrderWithTheBuildSignExtended) {
  struct Row {
    std::uint32_t third;
    std::int32_t build;
  };
  const Row rows[] = {{0xF0004A65, 19045}, {0xF0001DB1, 7601},   {0x00000A28, 2600},
                      {0x0000FFFF, -1},    {0xC0008000, -32768}, {0xF0000000, 0}};
  for (const auto& r : rows) {
    testing::FakeSystemFacts fake = testing::FakeSystemFacts::Windows64();
    fake.ntBuild = r.third;
    fake.architecture = 9;
    std::optional<OsFacts> facts = GatherOsFacts(fake);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->build, r.build) << std::hex << r.third;
    EXPECT_EQ(facts->major, 6);
    EXPECT_EQ(facts->minor, 1);
    EXPECT_EQ(facts->productType, 1);
    EXPECT_EQ(facts->suiteMask, 0x100);
    EXPECT_EQ(facts->servicePack, "Service Pack 1");
    EXPECT_TRUE(facts->wow64);
    EXPECT_EQ(facts->processorArchitecture, 9);
    EXPECT_EQ(fake.calls,
              (std::vector<std::string>{"GetVersionExA", "GetSystemInfo", "IsWow64Process", "RtlGetNtVersionNumbers"}));
  }
}

TEST(GetOsDisplayName, AsksThePlatformOnlyWhereNeeded) {
  struct Row {
    const char* what;
    testing::FakeSystemFacts facts;
    Text expected;
    std::int32_t major, minor;
    std::vector<std::string> calls;
  };
  auto make = [](bool versionOk, std::uint32_t major, std::uint32_t minor, std::uint32_t build, bool hasProductInfo,
                 std::uint32_t type, bool hasNt = true) {
    testing::FakeSystemFacts f = testing::FakeSystemFacts::Windows64();
    f.versionOk = versionOk;
    f.ntMajor = major;
    f.ntMinor = minor;
    f.ntBuild = build;
    f.hasProductInfo = hasProductInfo;
    f.productType = type;
    f.hasNtVersionNumbers = hasNt;
    f.version = {5, 2, 3790, 1, 0, ""};
    return f;
  };
  const std::vector<std::string> gather = {"GetVersionExA", "GetSystemInfo", "IsWow64Process",
                                           "RtlGetNtVersionNumbers"};
  auto with = [&](std::initializer_list<std::string> more) {
    std::vector<std::string> all = gather;
    all.insert(all.end(), more);
    return all;
  };
  const Row rows[] = {
      {"version call fails", make(false, 10, 0, 19045, true, 48), "", 77, 88, {"GetVersionExA"}},
      {"Windows 10 Pro", make(true, 10, 0, 0xF0004A65, true, 48), "Windows 10 Professional (Build:19045)", 10, 0,
       with({"RtlGetProductInfo"})},
      {"Windows 11 Home", make(true, 10, 0, 22631, true, 101), "Windows 10  (Build:22631)", 10, 0,
       with({"RtlGetProductInfo"})},
      {"no RtlGetProductInfo", make(true, 6, 1, 7601, false, 48), kFailure + "6.1  (Build:7601)", 6, 1,
       with({"RtlGetProductInfo"})},
      {"5.2 asks the R2 metric", make(true, 5, 2, 3790, true, 48), "Windows Server 2003,   (Build:3790)", 5, 2,
       with({"GetSystemMetrics(89)"})},
      {"5.1 asks nothing more", make(true, 5, 1, 2600, true, 48), "Windows XP Professional (Build:2600)", 5, 1, gather},
      {"no RtlGetNtVersionNumbers", make(true, 5, 1, 2600, true, 48, false), "Windows Server 2003,   (Build:3790)", 5,
       2, with({"GetSystemMetrics(89)"})},
  };
  for (const auto& r : rows) {
    testing::ScopedRegistry registry;
    testing::ScopedSystemFacts scoped(r.facts);
    std::int32_t major = 77, minor = 88;
    EXPECT_EQ(GetOsDisplayName(major, minor, 1, std::nullopt, std::nullopt, 1), r.expected) << r.what;
    EXPECT_EQ(major, r.major) << r.what;
    EXPECT_EQ(minor, r.minor) << r.what;
    EXPECT_EQ(scoped.facts.calls, r.calls) << r.what;
    if (!scoped.facts.productInfoArgs.empty()) {
      EXPECT_EQ(scoped.facts.productInfoArgs, (std::vector<std::uint32_t>{r.facts.ntMajor, r.facts.ntMinor, 0, 0, 0}))
          << r.what;
    }
  }
}

TEST(GetOsDisplayName, ReadsTheRegistryValuesItNeeds) {
  testing::ScopedRegistry registry;
  const char* key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  registry.registry.SetText(kHkeyLocalMachine, key, "ProductName", "Windows Server 2022 Standard");
  registry.registry.SetText(kHkeyLocalMachine, key, "CurrentBuild", "20348");
  registry.registry.SetText(kHkeyLocalMachine, key, "CSDVersion", "Service Pack 9");
  testing::FakeSystemFacts fake = testing::FakeSystemFacts::Windows64();
  fake.ntMajor = 10;
  fake.ntMinor = 0;
  fake.ntBuild = 0xF0000000;  // build 0
  fake.productType = 7;
  fake.version.productType = 3;
  fake.version.servicePack = "";
  testing::ScopedSystemFacts scoped(fake);
  std::int32_t major = 0, minor = 0;
  EXPECT_EQ(GetOsDisplayName(major, minor, 1, 1, 1, 1),
            "Windows Server 2022 Standard  x64 (Service Pack 9,Build:20348)");
}

TEST(IsSystem64Bit, LooksUpAndCallsTheWow64DirectoryFunction) {
  struct Row {
    const char* what;
    bool hasFunction;
    std::uint32_t result;
    Logical expected;
  };
  const Row rows[] = {
      {"no such export", false, 20, 0},
      {"32-bit system: the call fails", true, 0, 0},
      {"64-bit system", true, 20, 1},
      {"path longer than the buffer", true, 300, 1},
      {"length negative as a 32-bit number", true, 0x80000000u, 0},
  };
  for (const auto& r : rows) {
    testing::FakeSystemFacts fake;
    fake.hasWow64Directory = r.hasFunction;
    fake.wow64DirectoryResult = r.result;
    testing::ScopedSystemFacts scoped(fake);
    EXPECT_EQ(IsSystem64Bit(), r.expected) << r.what;
    if (r.hasFunction) {
      EXPECT_EQ(scoped.facts.wow64Buffer, std::string(255, ' ')) << r.what;
      EXPECT_EQ(scoped.facts.calls.size(), 2u) << r.what;
    } else {
      EXPECT_EQ(scoped.facts.calls.size(), 1u) << r.what << ": the function is not called";
    }
  }
}

}  // namespace
}  // namespace tavrel::sysinfo

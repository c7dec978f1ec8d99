// The in-memory registry that the host tests rely on must answer as the
// real one does: one scenario, run against both, compared step by step.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/memory_registry.h"
#include "tests/support/win32/registry_sandbox.h"

namespace tavrel {
namespace {

constexpr const char* kSandbox = "SOFTWARE\\TavrelConformance";
constexpr const char* kSandbox32 = "SOFTWARE\\TavrelConformance32";

struct Step {
  std::string what;
  long long result;
  bool operator==(const Step&) const = default;
};

std::vector<Step> RunScenario(RegistryApi& api) {
  std::vector<Step> steps;
  auto note = [&](std::string what, long long result) { steps.push_back({std::move(what), result}); };
  const RegKey hklm = RootKey(kHkeyLocalMachine);
  const std::uint32_t all64 = regsam::kAllAccess | regsam::kWow64_64;
  const std::uint32_t all32 = regsam::kAllAccess | regsam::kWow64_32;
  RegKey a = 0, b = 0, sandbox = 0, readOnly = 0, software = 0, extra = 0;
  std::uint32_t disposition = 0, type = 0, size = 0;
  std::uint8_t small[2];
  char name[64];

  note("open missing", api.OpenKeyEx(hklm, "SOFTWARE\\TavrelConformance\\Missing", 0, regsam::kRead, &extra));
  note("create A\\B", api.CreateKeyEx(hklm, "SOFTWARE\\TavrelConformance\\A\\B", 0, all64, &b, &disposition));
  note("disposition new", disposition);
  note("create again", api.CreateKeyEx(hklm, "SOFTWARE\\TavrelConformance\\A\\B", 0, all64, &extra, &disposition));
  note("disposition existing", disposition);
  note("close again", api.CloseKey(extra));
  note("open A by another case", api.OpenKeyEx(hklm, "software\\tavrelconformance\\a", 0, all64, &a));
  note("open sandbox", api.OpenKeyEx(hklm, kSandbox, 0, all64, &sandbox));

  const std::uint8_t hello[] = {'h', 'e', 'l', 'l', 'o', 0};
  note("set s", api.SetValueEx(b, "s", regtype::kSz, hello, sizeof hello));
  size = sizeof small;
  note("query into 2 bytes", api.QueryValueEx(b, "s", &type, small, &size));
  note("size needed", size);
  size = 0;
  note("query size only", api.QueryValueEx(b, "s", &type, nullptr, &size));
  note("size", size);
  note("type", type);
  size = 0;
  note("query missing", api.QueryValueEx(b, "missing", &type, nullptr, &size));
  const std::uint8_t none = 0;
  note("set empty binary", api.SetValueEx(b, "e", regtype::kBinary, &none, 0));
  size = sizeof small;
  note("query empty into a buffer", api.QueryValueEx(b, "e", &type, small, &size));
  note("empty size", size);

  note("enum key 0", api.EnumKey(a, 0, name, sizeof name));
  note("enum key 0 is B", std::string(name) == "B");
  note("enum key 0 without room", api.EnumKey(a, 0, name, 1));
  note("enum key 1", api.EnumKey(a, 1, name, sizeof name));
  std::uint32_t nameSize = sizeof name, dataSize = 0;
  note("enum value 0 size", api.EnumValue(b, 0, name, &nameSize, &type, nullptr, &dataSize));
  note("enum value 0 name size", nameSize);
  note("enum value 0 data size", dataSize);
  nameSize = sizeof name;
  dataSize = 1;
  note("enum value 0 small data", api.EnumValue(b, 0, name, &nameSize, &type, small, &dataSize));
  nameSize = sizeof name;
  note("enum value 2", api.EnumValue(b, 2, name, &nameSize, &type, nullptr, &dataSize));

  note("delete key with subkeys", api.DeleteKey(sandbox, "A"));
  note("open read-only",
       api.OpenKeyEx(hklm, "SOFTWARE\\TavrelConformance\\A\\B", 0, regsam::kRead | regsam::kWow64_64, &readOnly));
  note("set through a read handle", api.SetValueEx(readOnly, "x", regtype::kSz, hello, sizeof hello));
  note("delete value through a read handle", api.DeleteValue(readOnly, "s"));
  note("delete value", api.DeleteValue(b, "s"));
  note("delete value again", api.DeleteValue(b, "s"));
  note("delete B under A", api.DeleteKey(a, "B"));
  size = 0;
  note("query through a deleted key's handle", api.QueryValueEx(b, "e", &type, nullptr, &size));
  note("close deleted key's handle", api.CloseKey(b));
  note("close read handle", api.CloseKey(readOnly));
  note("query through a closed handle", api.QueryValueEx(readOnly, "s", &type, nullptr, &size));
  note("close a closed handle", api.CloseKey(readOnly));
  note("close a predefined root", api.CloseKey(hklm));

  // The views of HKLM\SOFTWARE.
  note("create in the 32-bit view", api.CreateKeyEx(hklm, kSandbox32, 0, all32, &extra, &disposition));
  note("close it", api.CloseKey(extra));
  note("seen as Wow6432Node from the 64-bit view",
       api.OpenKeyEx(hklm, "SOFTWARE\\Wow6432Node\\TavrelConformance32", 0, regsam::kRead | regsam::kWow64_64, &extra));
  if (steps.back().result == 0) api.CloseKey(extra);
  note("not in the 64-bit view", api.OpenKeyEx(hklm, kSandbox32, 0, regsam::kRead | regsam::kWow64_64, &extra));
  if (steps.back().result == 0) api.CloseKey(extra);
  note("in the program's default view", api.OpenKeyEx(hklm, kSandbox32, 0, regsam::kRead, &extra));
  if (steps.back().result == 0) api.CloseKey(extra);
  // A key deleted relative to the 64-bit SOFTWARE key, without a view: the
  // program's default view decides.
  note("open SOFTWARE in the 64-bit view", api.OpenKeyEx(hklm, "SOFTWARE", 0, all64, &software));
  note("delete relative to it", api.DeleteKey(software, "TavrelConformance32"));
  note("32-bit key gone", api.OpenKeyEx(hklm, kSandbox32, 0, regsam::kRead | regsam::kWow64_32, &extra));
  if (steps.back().result == 0) api.CloseKey(extra);

  // Which view a relative call without a flag uses: the handle's.
  RegKey defaultSoftware = 0;
  note("create the 32-bit key again", api.CreateKeyEx(hklm, kSandbox32, 0, all32, &extra, &disposition));
  note("close it again", api.CloseKey(extra));
  note("open SOFTWARE in the default view", api.OpenKeyEx(hklm, "SOFTWARE", 0, regsam::kRead, &defaultSoftware));
  note("relative open from it", api.OpenKeyEx(defaultSoftware, "TavrelConformance32", 0, regsam::kRead, &extra));
  if (steps.back().result == 0) api.CloseKey(extra);
  note("relative open from the 64-bit SOFTWARE",
       api.OpenKeyEx(software, "TavrelConformance32", 0, regsam::kRead, &extra));
  if (steps.back().result == 0) api.CloseKey(extra);
  // Wine answers this one differently for 64-bit processes; nothing in the
  // program opens a key relative to another one with a view flag.
  if (sizeof(void*) == 4) {
    note("relative open from it with the 32-bit flag",
         api.OpenKeyEx(software, "TavrelConformance32", 0, regsam::kRead | regsam::kWow64_32, &extra));
    if (steps.back().result == 0) api.CloseKey(extra);
  }
  note("relative delete from the default view", api.DeleteKey(defaultSoftware, "TavrelConformance32"));
  note("close default SOFTWARE", api.CloseKey(defaultSoftware));

  note("delete A", api.DeleteKey(sandbox, "A"));
  note("close A", api.CloseKey(a));
  note("close sandbox", api.CloseKey(sandbox));
  note("delete sandbox", api.DeleteKey(software, "TavrelConformance"));
  note("close SOFTWARE", api.CloseKey(software));
  return steps;
}

TEST(MemoryRegistryConformance, AnswersAsTheRealRegistry) {
  const REGSAM views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  for (REGSAM view : views) {
    testing::DeleteTree(HKEY_LOCAL_MACHINE, kSandbox, view);
    testing::DeleteTree(HKEY_LOCAL_MACHINE, kSandbox32, view);
  }
  std::vector<Step> real = RunScenario(platform::DefaultRegistryApi());
  MemoryRegistry memory({.system64 = testing::NativeSystemIs64Bit(), .process64 = sizeof(void*) == 8});
  std::vector<Step> fake = RunScenario(memory);
  ASSERT_EQ(real.size(), fake.size());
  for (std::size_t i = 0; i < real.size(); ++i) EXPECT_EQ(fake[i].result, real[i].result) << real[i].what;
  EXPECT_EQ(memory.OpenHandleCount(), 0u);
  for (REGSAM view : views) {
    EXPECT_TRUE(testing::DeleteTree(HKEY_LOCAL_MACHINE, kSandbox, view));
    EXPECT_TRUE(testing::DeleteTree(HKEY_LOCAL_MACHINE, kSandbox32, view));
  }
}

}  // namespace
}  // namespace tavrel

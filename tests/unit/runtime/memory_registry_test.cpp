#include "runtime/memory_registry.h"

#include <gtest/gtest.h>

#include <functional>

namespace tavrel {
namespace {

using View = MemoryRegistry::View;
constexpr std::uint32_t kHklm = kHkeyLocalMachine;
const RegKey kLocalMachine = RootKey(kHkeyLocalMachine);

// Opens a key, reads one value as text and closes the key; the code of the
// step that failed, if any.
struct ReadResult {
  std::int32_t code;
  Text text;
};
ReadResult ReadVia(RegistryApi& api, RegKey root, const char* path, std::uint32_t sam, const char* name) {
  RegKey key = 0;
  std::int32_t code = api.OpenKeyEx(root, path, 0, sam, &key);
  if (code != 0) return {code, {}};
  std::uint8_t buffer[512] = {};
  std::uint32_t size = sizeof buffer, type = 0;
  code = api.QueryValueEx(key, name, &type, buffer, &size);
  api.CloseKey(key);
  return {code, code == 0 ? Text(reinterpret_cast<char*>(buffer)) : Text()};
}

TEST(MemoryRegistry, ResultCodesOfThePlatform) {
  MemoryRegistry reg;
  reg.SetText(kHklm, "SYSTEM\\Locked", "v", "x");
  reg.SetReadOnly(kHklm, "SYSTEM\\Locked");
  reg.SetText(kHklm, "SYSTEM\\Parent\\Child", "v", "x");
  reg.SetText(kHklm, "SYSTEM\\Open", "v", "abcdef");

  RegKey readOnlyHandle = 0, openHandle = 0;
  ASSERT_EQ(reg.OpenKeyEx(kLocalMachine, "SYSTEM\\Open", 0, regsam::kRead, &readOnlyHandle), 0);
  ASSERT_EQ(reg.OpenKeyEx(kLocalMachine, "SYSTEM\\Open", 0, regsam::kAllAccess, &openHandle), 0);

  struct Row {
    const char* what;
    std::function<std::int32_t()> call;
    std::int32_t expected;
  };
  RegKey out = 0;
  std::uint32_t size = 0, type = 0;
  std::uint8_t small[3];
  char name[8];
  const Row rows[] = {
      {"missing key", [&] { return reg.OpenKeyEx(kLocalMachine, "SYSTEM\\Nope", 0, regsam::kRead, &out); }, 2},
      {"read-only key for full access",
       [&] { return reg.OpenKeyEx(kLocalMachine, "SYSTEM\\Locked", 0, regsam::kAllAccess, &out); }, 5},
      {"read-only key, subkey created below",
       [&] { return reg.CreateKeyEx(kLocalMachine, "SYSTEM\\Locked\\New", 0, regsam::kRead, &out, nullptr); }, 5},
      {"write through a read handle", [&] { return reg.SetValueEx(readOnlyHandle, "v", 1, small, 0); }, 5},
      {"delete value through a read handle", [&] { return reg.DeleteValue(readOnlyHandle, "v"); }, 5},
      {"unknown handle", [&] { return reg.QueryValueEx(0x7777, "v", &type, nullptr, &size); }, 6},
      {"close of unknown handle", [&] { return reg.CloseKey(0x7777); }, 6},
      {"data without a size", [&] { return reg.QueryValueEx(openHandle, "v", &type, small, nullptr); }, 87},
      {"missing value", [&] { return reg.QueryValueEx(openHandle, "w", &type, nullptr, &size); }, 2},
      {"buffer too small",
       [&] {
         size = 3;
         return reg.QueryValueEx(openHandle, "v", &type, small, &size);
       },
       234},
      {"value index past the end",
       [&] {
         std::uint32_t n = 8;
         return reg.EnumValue(openHandle, 1, name, &n, &type, nullptr, nullptr);
       },
       259},
      {"subkey index past the end", [&] { return reg.EnumKey(openHandle, 0, name, 8); }, 259},
      {"key with subkeys", [&] { return reg.DeleteKey(kLocalMachine, "SYSTEM\\Parent"); }, 5},
      {"protected key", [&] { return reg.DeleteKey(kLocalMachine, "SYSTEM\\Locked"); }, 5},
      {"missing subkey", [&] { return reg.DeleteKey(kLocalMachine, "SYSTEM\\Nope"); }, 2},
      {"close of a predefined root", [&] { return reg.CloseKey(kLocalMachine); }, 0},
  };
  for (const auto& r : rows) EXPECT_EQ(r.call(), r.expected) << r.what;
  EXPECT_EQ(size, 7u) << "234 sets the size needed";

  // A handle to a key deleted under it answers 1018.
  ASSERT_EQ(reg.DeleteKey(kLocalMachine, "SYSTEM\\Parent\\Child"), 0);
  ASSERT_EQ(reg.DeleteKey(kLocalMachine, "SYSTEM\\Open"), 0);
  EXPECT_EQ(reg.QueryValueEx(openHandle, "v", &type, nullptr, &size), 1018);
  reg.CloseKey(readOnlyHandle);
  reg.CloseKey(openHandle);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(MemoryRegistry, ViewsOf64BitAnd32BitSystems) {
  MemoryRegistry wow({.system64 = true, .process64 = false});
  wow.SetText(kHklm, "SOFTWARE\\JavaSoft\\JDK", "CurrentVersion", "11.0.9", regtype::kSz, View::k64);
  wow.SetText(kHklm, "SOFTWARE\\JavaSoft\\JDK", "CurrentVersion", "1.8", regtype::kSz, View::k32);
  wow.SetText(kHklm, "SYSTEM\\Shared", "v", "both");

  MemoryRegistry native32({.system64 = false});
  native32.SetText(kHklm, "SOFTWARE\\JavaSoft\\JDK", "CurrentVersion", "1.8");

  struct Row {
    MemoryRegistry* reg;
    const char* path;
    std::uint32_t sam;
    std::int32_t code;
    const char* text;
    const char* name = "CurrentVersion";
  };
  const Row rows[] = {
      {&wow, "SOFTWARE\\JavaSoft\\JDK", regsam::kRead | regsam::kWow64_64, 0, "11.0.9"},
      {&wow, "SOFTWARE\\JavaSoft\\JDK", regsam::kRead | regsam::kWow64_32, 0, "1.8"},
      {&wow, "SOFTWARE\\JavaSoft\\JDK", regsam::kRead, 0, "1.8"},  // a 32-bit process defaults to its own view
      {&wow, "SOFTWARE\\Wow6432Node\\JavaSoft\\JDK", regsam::kRead | regsam::kWow64_64, 0, "1.8"},
      {&wow, "software\\javasoft\\jdk", regsam::kRead | regsam::kWow64_64, 0, "11.0.9"},
      {&wow, "SYSTEM\\Shared", regsam::kRead | regsam::kWow64_32, 0, "both", "v"},
      {&wow, "SYSTEM\\Shared", regsam::kRead | regsam::kWow64_64, 0, "both", "v"},
      {&native32, "SOFTWARE\\JavaSoft\\JDK", regsam::kRead | regsam::kWow64_64, 0, "1.8"},
      {&native32, "SOFTWARE\\JavaSoft\\JDK", regsam::kRead | regsam::kWow64_32, 0, "1.8"},
      {&native32, "SOFTWARE\\Wow6432Node\\JavaSoft\\JDK", regsam::kRead, 2, ""},
  };
  for (const auto& r : rows) {
    ReadResult got = ReadVia(*r.reg, kLocalMachine, r.path, r.sam, r.name);
    EXPECT_EQ(got.code, r.code) << r.path << " sam " << std::hex << r.sam;
    EXPECT_EQ(got.text, r.text) << r.path << " sam " << std::hex << r.sam;
  }

  // Opened relative to a handle in the 64-bit tree, a subkey stays there.
  RegKey software = 0, jdk = 0;
  ASSERT_EQ(wow.OpenKeyEx(kLocalMachine, "SOFTWARE\\JavaSoft", 0, regsam::kRead | regsam::kWow64_64, &software), 0);
  ASSERT_EQ(wow.OpenKeyEx(software, "JDK", 0, regsam::kRead, &jdk), 0);
  std::uint8_t buffer[16] = {};
  std::uint32_t size = sizeof buffer;
  ASSERT_EQ(wow.QueryValueEx(jdk, "CurrentVersion", nullptr, buffer, &size), 0);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "11.0.9");
  wow.CloseKey(jdk);
  wow.CloseKey(software);
}

TEST(MemoryRegistry, NamesFoldAsciiCaseOnlyAndSplitOnRealBackslashes) {
  MemoryRegistry reg;
  // B5 5C is a GBK character whose trail byte is a backslash; C7 41 and C7 61
  // are two characters whose trail bytes differ only in ASCII case.
  const Text trailBackslash =
      "SOFTWARE\\A\xB5\x5C"
      "B";
  reg.SetText(kHklm, trailBackslash, "Name", "one", regtype::kSz, View::k64);
  reg.SetText(kHklm, "SOFTWARE\\K", "\xC7\x41", "upper trail", regtype::kSz, View::k64);
  reg.SetText(kHklm, "SOFTWARE\\K", "\xC7\x61", "lower trail", regtype::kSz, View::k64);

  EXPECT_TRUE(reg.HasKey(kHklm, trailBackslash, View::k64));
  EXPECT_FALSE(reg.HasKey(kHklm, "SOFTWARE\\A\xB5", View::k64)) << "the trail byte must not split the path";
  EXPECT_EQ(reg.TextValue(kHklm, trailBackslash, "NAME", View::k64), "one");
  EXPECT_EQ(reg.TextValue(kHklm, "SOFTWARE\\K", "\xC7\x41", View::k64), "upper trail");
  EXPECT_EQ(reg.TextValue(kHklm, "SOFTWARE\\K", "\xC7\x61", View::k64), "lower trail");

  // Rewriting a value through another spelling keeps the stored name.
  RegKey key = 0;
  ASSERT_EQ(reg.OpenKeyEx(kLocalMachine, trailBackslash.c_str(), 0, regsam::kAllAccess | regsam::kWow64_64, &key), 0);
  const std::uint8_t two[] = {'2', 0};
  ASSERT_EQ(reg.SetValueEx(key, "name", regtype::kExpandSz, two, 2), 0);
  char name[16];
  std::uint32_t nameSize = sizeof name, type = 0;
  ASSERT_EQ(reg.EnumValue(key, 0, name, &nameSize, &type, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "Name");
  EXPECT_EQ(nameSize, 4u);
  EXPECT_EQ(type, regtype::kExpandSz);
  reg.CloseKey(key);
}

TEST(MemoryRegistry, CreateReportsDispositionAndRecordsAccessMasks) {
  MemoryRegistry reg;
  RegKey key = 0, user = 0;
  std::uint32_t disposition = 0;
  ASSERT_EQ(reg.CreateKeyEx(kLocalMachine, "SOFTWARE\\New\\Deep", 0, regsam::kAllAccess | regsam::kWow64_64, &key,
                            &disposition),
            0);
  EXPECT_EQ(disposition, 1u);
  reg.CloseKey(key);
  ASSERT_EQ(reg.CreateKeyEx(kLocalMachine, "SOFTWARE\\New\\Deep", 0, regsam::kAllAccess | regsam::kWow64_64, &key,
                            &disposition),
            0);
  EXPECT_EQ(disposition, 2u);
  reg.CloseKey(key);
  EXPECT_TRUE(reg.HasKey(kHklm, "SOFTWARE\\New\\Deep", View::k64));
  EXPECT_FALSE(reg.HasKey(kHklm, "SOFTWARE\\New\\Deep", View::k32));

  ASSERT_EQ(reg.OpenCurrentUser(regsam::kRead | regsam::kWow64_32, &user), 0);
  ASSERT_EQ(reg.CreateKeyEx(user, "Environment", 0, regsam::kAllAccess, &key, nullptr), 0);
  reg.CloseKey(key);
  reg.CloseKey(user);
  EXPECT_TRUE(reg.HasKey(kHkeyCurrentUser, "Environment"));

  auto calls = reg.Calls();
  ASSERT_EQ(calls.size(), 8u);
  EXPECT_EQ(calls[0].op, MemoryRegistry::Op::kCreateKey);
  EXPECT_EQ(calls[0].sam, regsam::kAllAccess | regsam::kWow64_64);
  EXPECT_EQ(calls[0].subKey, "SOFTWARE\\New\\Deep");
  EXPECT_EQ(calls[4].op, MemoryRegistry::Op::kOpenCurrentUser);
  EXPECT_EQ(calls[4].sam, regsam::kRead | regsam::kWow64_32);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST(MemoryRegistry, CurrentConfigIsTheHardwareProfileKey) {
  MemoryRegistry reg;
  reg.SetText(kHkeyCurrentConfig, "Software\\Fonts", "LogPixels", "96");
  EXPECT_EQ(reg.TextValue(kHklm, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts", "LogPixels"),
            "96");
}

TEST(MemoryRegistry, ExpandsKnownReferencesOnly) {
  MemoryRegistry reg;
  reg.SetVariableForExpansion("SystemRoot", "C:\\windows");
  reg.SetVariableForExpansion("JAVA_HOME", "C:\\jdk");
  struct Row {
    const char* in;
    const char* out;
  };
  const Row rows[] = {
      {"%SystemRoot%\\system32", "C:\\windows\\system32"},
      {"%SYSTEMROOT%;%java_home%\\bin", "C:\\windows;C:\\jdk\\bin"},
      {"%UNKNOWN%;%JAVA_HOME%", "%UNKNOWN%;C:\\jdk"},
      {"50% off", "50% off"},
      {"%%", "%%"},
      {"", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(reg.ExpandEnvironmentStrings(r.in), r.out) << r.in;
}

TEST(MemoryRegistry, EnumeratesKeysAndValuesSortedByName) {
  MemoryRegistry reg;
  reg.AddKey(kHklm, "SYSTEM\\E\\beta");
  reg.AddKey(kHklm, "SYSTEM\\E\\Alpha");
  reg.SetValue(kHklm, "SYSTEM\\E", "z", regtype::kDword, {1, 0, 0, 0});
  reg.SetValue(kHklm, "SYSTEM\\E", "B", regtype::kBinary, {});
  reg.SetValue(kHklm, "SYSTEM\\E", "a", regtype::kSz, {'x', 0});
  RegKey key = 0;
  ASSERT_EQ(reg.OpenKeyEx(kLocalMachine, "SYSTEM\\E", 0, regsam::kRead, &key), 0);

  char name[8];
  ASSERT_EQ(reg.EnumKey(key, 0, name, sizeof name), 0);
  EXPECT_STREQ(name, "Alpha");
  ASSERT_EQ(reg.EnumKey(key, 1, name, sizeof name), 0);
  EXPECT_STREQ(name, "beta");
  EXPECT_EQ(reg.EnumKey(key, 1, name, 4), 234) << "no room for the terminator";

  struct Row {
    std::uint32_t index;
    const char* name;
    std::uint32_t type, size;
  };
  const Row rows[] = {{0, "a", regtype::kSz, 2}, {1, "B", regtype::kBinary, 0}, {2, "z", regtype::kDword, 4}};
  for (const auto& r : rows) {
    std::uint32_t nameSize = sizeof name, type = 0, dataSize = 0;
    ASSERT_EQ(reg.EnumValue(key, r.index, name, &nameSize, &type, nullptr, &dataSize), 0) << r.name;
    EXPECT_STREQ(name, r.name);
    EXPECT_EQ(type, r.type) << r.name;
    EXPECT_EQ(dataSize, r.size) << r.name;
  }
  std::uint8_t data[4] = {};
  std::uint32_t nameSize = sizeof name, type = 0, dataSize = 2;
  EXPECT_EQ(reg.EnumValue(key, 2, name, &nameSize, &type, data, &dataSize), 234);
  EXPECT_EQ(dataSize, 4u);
  reg.CloseKey(key);
}

TEST(MemoryRegistry, RelativeCallsWithoutAFlagUseTheHandlesView) {
  MemoryRegistry reg({.system64 = true, .process64 = false});
  reg.SetText(kHklm, "SOFTWARE\\Only32", "v", "32", regtype::kSz, View::k32);
  reg.SetText(kHklm, "SOFTWARE\\Only64", "v", "64", regtype::kSz, View::k64);
  RegKey software64 = 0, softwareDefault = 0;
  ASSERT_EQ(reg.OpenKeyEx(kLocalMachine, "SOFTWARE", 0, regsam::kRead | regsam::kWow64_64, &software64), 0);
  ASSERT_EQ(reg.OpenKeyEx(kLocalMachine, "SOFTWARE", 0, regsam::kRead, &softwareDefault), 0);
  struct Row {
    RegKey* parent;
    const char* path;
    std::uint32_t sam;
    std::int32_t code;
  };
  const Row rows[] = {
      {&software64, "Only64", regsam::kRead, 0},
      {&software64, "Only32", regsam::kRead, 2},
      {&software64, "Only32", regsam::kRead | regsam::kWow64_32, 0},
      {&softwareDefault, "Only32", regsam::kRead, 0},
      {&softwareDefault, "Only64", regsam::kRead, 2},
  };
  for (const auto& r : rows) {
    RegKey key = 0;
    EXPECT_EQ(reg.OpenKeyEx(*r.parent, r.path, 0, r.sam, &key), r.code) << r.path << " " << std::hex << r.sam;
    if (key) reg.CloseKey(key);
  }
  EXPECT_EQ(reg.DeleteKey(software64, "Only32"), 2);
  EXPECT_EQ(reg.DeleteKey(software64, "Only64"), 0);
  EXPECT_EQ(reg.DeleteKey(softwareDefault, "Only32"), 0);
  reg.CloseKey(software64);
  reg.CloseKey(softwareDefault);
}

}  // namespace
}  // namespace tavrel

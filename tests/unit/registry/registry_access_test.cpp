#include "registry/registry_access.h"

#include <gtest/gtest.h>

#include <functional>

#include "runtime/convert.h"
#include "tests/support/fake_system_facts.h"
#include "tests/support/scoped_registry.h"

namespace tavrel::registry {
namespace {

using Op = MemoryRegistry::Op;
using View = MemoryRegistry::View;
constexpr std::uint32_t kHklm = kHkeyLocalMachine;
constexpr const char* kJdk8 = "SOFTWARE\\JavaSoft\\Java Development Kit";
constexpr bool kNative64 = sizeof(void*) == 8;

ByteSet Bytes(std::initializer_list<int> values) {
  ByteSet b;
  for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
  return b;
}

std::size_t Count(const std::vector<MemoryRegistry::Call>& calls, Op op) {
  return static_cast<std::size_t>(
      std::count_if(calls.begin(), calls.end(), [op](const auto& c) { return c.op == op; }));
}

// A 32-bit program on 64-bit Windows, with an empty registry.
class RegistryAccessTest : public ::testing::Test {
 protected:
  testing::ScopedRegistry scope;
  testing::ScopedSystemFacts facts{testing::FakeSystemFacts::Windows64()};
  MemoryRegistry& reg = scope.registry;
};

TEST_F(RegistryAccessTest, ViewChosenAtConstructionAndWhenSwitched) {
  struct Row {
    const char* what;
    bool wow64;
    std::function<void(RegistryAccess&)> switchView;
    std::uint32_t flag;
  };
  const Row rows[] = {
      {"64-bit system", true, nullptr, regsam::kWow64_64},
      {"32-bit system", false, nullptr, kNative64 ? regsam::kWow64_64 : regsam::kWow64_32},
      {"switched to 32", true, [](RegistryAccess& a) { a.Use32BitView(); }, regsam::kWow64_32},
      {"switched to 64", false, [](RegistryAccess& a) { a.Use64BitView(); }, regsam::kWow64_64},
  };
  reg.AddKey(kHklm, "SOFTWARE\\Both", View::k64);
  reg.AddKey(kHklm, "SOFTWARE\\Both", View::k32);
  for (const auto& r : rows) {
    facts.facts.wow64 = r.wow64;
    RegistryAccess access;
    if (r.switchView) {
      ASSERT_NE(access.OpenKey(kHklm, "SOFTWARE\\Both"), -1);
      r.switchView(access);
      EXPECT_FALSE(access.IsOpen()) << r.what;
    }
    reg.ClearCalls();
    ASSERT_NE(access.OpenKey(kHklm, "SOFTWARE\\Both"), -1) << r.what << ": a view switch forces a reopen";
    auto calls = reg.Calls();
    ASSERT_EQ(Count(calls, Op::kOpenKey), 1u) << r.what;
    EXPECT_EQ(calls.back().sam, regsam::kAllAccess | r.flag) << r.what;
  }
}

TEST_F(RegistryAccessTest, EveryAccessMaskCarriesTheViewFlag) {
  for (bool use64 : {true, false}) {
    RegistryAccess access;
    use64 ? access.Use64BitView() : access.Use32BitView();
    const std::uint32_t flag = use64 ? regsam::kWow64_64 : regsam::kWow64_32;
    reg.ClearCalls();
    Array<Text> names;
    Array<RegistryValue> values;
    RegistryValue record;
    access.OpenOrCreateKey(kHklm, "SOFTWARE\\T\\Sub");
    access.WriteBytesValue(kHklm, "SOFTWARE\\T", "s", {'x'}, 1, true);
    access.WriteIntegerValue(kHkeyCurrentUser, "Software\\T", "d", 5, 4, true);
    access.WriteQwordFromHex(kHkeyCurrentConfig, "Software\\T", "q", "01");
    access.ReadValue(kHklm, "SOFTWARE\\T", "s", record);
    access.EnumSubkeys(kHklm, "SOFTWARE", names);
    access.EnumValues(kHkeyCurrentUser, "Software\\T", values);
    access.DeleteValue(kHkeyCurrentUser, "Software", "none");
    access.DeleteKey(kHklm, "SOFTWARE\\T\\Sub");
    EXPECT_TRUE(access.KeyExists(kHklm, "SOFTWARE\\T"));

    std::size_t opens = 0;
    for (const auto& call : reg.Calls()) {
      if (call.op != Op::kOpenKey && call.op != Op::kCreateKey && call.op != Op::kOpenCurrentUser) continue;
      ++opens;
      EXPECT_EQ(call.sam & (regsam::kWow64_64 | regsam::kWow64_32), flag) << "call on " << call.subKey;
      std::uint32_t rights = call.sam & ~flag;
      bool keyExists = call.subKey == "SOFTWARE\\T" && rights == regsam::kRead;
      EXPECT_TRUE(rights == regsam::kAllAccess || keyExists) << "call on " << call.subKey << std::hex << call.sam;
    }
    EXPECT_GE(opens, 12u);
  }
}

TEST_F(RegistryAccessTest, ReusesTheOpenKeyAndClosesItOnAnotherPath) {
  reg.SetText(kHklm, kJdk8, "CurrentVersion", "1.8", regtype::kSz, View::k64);
  reg.SetText(kHklm, "SOFTWARE\\JavaSoft\\JDK", "CurrentVersion", "11.0.9", regtype::kSz, View::k64);
  {
    RegistryAccess access;
    RegistryValue first, second, other;
    EXPECT_NE(access.OpenKey(kHklm, kJdk8), -1);
    EXPECT_EQ(access.ReadValue(kHklm, kJdk8, "CurrentVersion", first), 0);
    EXPECT_EQ(access.ReadValue(kHklm, kJdk8, "CurrentVersion", second), 0);
    auto calls = reg.Calls();
    EXPECT_EQ(Count(calls, Op::kOpenKey), 1u) << "two reads of one key make one open";
    EXPECT_EQ(Count(calls, Op::kCloseKey), 0u);

    EXPECT_EQ(access.ReadValue(kHklm, "software\\javasoft\\jdk", "CurrentVersion", other), 0);
    calls = reg.Calls();
    EXPECT_EQ(Count(calls, Op::kOpenKey), 2u) << "path comparison is exact";
    EXPECT_EQ(Count(calls, Op::kCloseKey), 1u);
    EXPECT_EQ(reg.OpenHandleCount(), 1u);
    EXPECT_EQ(first.data, Bytes({'1', '.', '8'}));
    EXPECT_EQ(other.data, Bytes({'1', '1', '.', '0', '.', '9'}));

    EXPECT_EQ(access.CloseKey(), 0);
    EXPECT_EQ(access.CloseKey(), -1) << "nothing open";
    EXPECT_EQ(access.LastError(), 0) << "a close with nothing open changes nothing";
    EXPECT_NE(access.OpenKey(kHklm, kJdk8), -1);
  }
  EXPECT_EQ(reg.OpenHandleCount(), 0u) << "destruction closes the key";
}

TEST_F(RegistryAccessTest, ReadValueResultsAndTheDroppedTerminator) {
  const char* key = "SOFTWARE\\Values";
  reg.SetText(kHklm, key, "JavaHome", "C:\\Program Files\\Java\\jdk1.8.0_271", regtype::kSz, View::k64);
  reg.SetValue(kHklm, key, "Unterminated", regtype::kSz, Bytes({'a', 'b', 'c'}), View::k64);
  reg.SetValue(kHklm, key, "Dword", regtype::kDword, Bytes({1, 2, 3, 4}), View::k64);
  reg.SetValue(kHklm, key, "Empty", regtype::kBinary, {}, View::k64);
  reg.SetText(kHklm, "SOFTWARE\\Locked", "v", "x", regtype::kSz, View::k64);
  reg.SetReadOnly(kHklm, "SOFTWARE\\Locked", true, View::k64);

  struct Row {
    const char* path;
    const char* name;
    std::int32_t code;
    ByteSet data;
    std::int32_t type;
  };
  const ByteSet untouched = Bytes({0xEE});
  const Text home = "C:\\Program Files\\Java\\jdk1.8.0_271";
  const Row rows[] = {
      {key, "JavaHome", 0, ByteSet(home.begin(), home.end()), 1},
      {key, "Unterminated", 0, Bytes({'a', 'b', 'c'}), 1},  // no zero: nothing dropped
      {key, "Dword", 0, Bytes({1, 2, 3, 4}), 4},
      {key, "Empty", 0, untouched, 3},
      {key, "Missing", 2, untouched, -7},
      {"SOFTWARE\\Nope", "v", 2, untouched, -7},
      {"SOFTWARE\\Locked", "v", 5, untouched, -7},  // full access is refused before any read
  };
  for (const auto& r : rows) {
    RegistryAccess access;
    RegistryValue record{"", untouched, -7};
    reg.ClearCalls();
    EXPECT_EQ(access.ReadValue(kHklm, r.path, r.name, record), r.code) << r.name;
    EXPECT_EQ(access.LastError(), r.code) << r.name;
    EXPECT_EQ(record.data, r.data) << r.name;
    EXPECT_EQ(record.type, r.type) << r.name;
    auto calls = reg.Calls();
    if (r.code == 0 && r.data != untouched) {
      ASSERT_EQ(Count(calls, Op::kQueryValue), 2u) << r.name;
      EXPECT_EQ(calls[1].result, regerr::kMoreData) << r.name << ": the first query asks with no room";
    }
    if (r.code == 5) {
      EXPECT_EQ(Count(calls, Op::kQueryValue), 0u);
    }
  }
}

// A key that a standard user may only read opens for reading, serves
// reads without reopening, and a change on it asks for full access again.
TEST_F(RegistryAccessTest, OpenKeyForReadingAsksOnlyForReadRights) {
  reg.SetText(kHklm, "SOFTWARE\\Locked", "v", "x", regtype::kSz, View::k64);
  reg.SetReadOnly(kHklm, "SOFTWARE\\Locked", true, View::k64);
  RegistryAccess access;
  ASSERT_NE(access.OpenKeyForReading(kHklm, "SOFTWARE\\Locked"), -1);
  RegistryValue record;
  EXPECT_EQ(access.ReadValue(kHklm, "SOFTWARE\\Locked", "v", record), 0);
  EXPECT_EQ(ToText(record.data), "x");
  EXPECT_EQ(access.WriteBytesValue(kHklm, "SOFTWARE\\Locked", "v", Bytes({'y'}), 1), regerr::kAccessDenied);
  auto calls = reg.Calls();
  ASSERT_EQ(Count(calls, Op::kOpenKey), 2u) << "the read reused the key; the write reopened it";
  EXPECT_EQ(calls[0].sam, regsam::kRead | regsam::kWow64_64);
  EXPECT_EQ(calls.back().sam, regsam::kAllAccess | regsam::kWow64_64);
}

// What is written comes back as it was given, for every type.
TEST_F(RegistryAccessTest, EveryTypeReadsBackWhatWasWritten) {
  const char* key = "SOFTWARE\\RoundTrip";
  struct Row {
    const char* name;
    std::int32_t type;
    ByteSet data;             // written as bytes, and what comes back
    std::int64_t number = 0;  // the integer types: written as this number
  };
  const Row rows[] = {
      {"sz", 1, Bytes({'j', 'd', 'k'})},
      {"expand", 2, Bytes({'%', 'X', '%'})},
      {"multi", 7, Bytes({'a', 0, 'b', 0})},
      {"binary", 3, Bytes({1, 2, 3})},
      {"binary ending in zero", 3, Bytes({1, 0})},
      {"dword", 4, Bytes({4, 3, 2, 1}), 0x01020304},
      {"big endian", 5, Bytes({1, 2, 3, 4}), 0x01020304},
      {"qword", 11, Bytes({8, 7, 6, 5, 4, 3, 2, 1}), 0x0102030405060708},
  };
  RegistryAccess access;
  for (const Row& r : rows) {
    const std::int32_t written = r.number ? access.WriteIntegerValue(kHklm, key, r.name, r.number, r.type, true)
                                          : access.WriteBytesValue(kHklm, key, r.name, r.data, r.type, true);
    ASSERT_EQ(written, 0) << r.name;
    RegistryValue record;
    EXPECT_EQ(access.ReadValue(kHklm, key, r.name, record), 0) << r.name;
    EXPECT_EQ(record.data, r.data) << r.name;
    EXPECT_EQ(record.type, r.type) << r.name;
  }
}

TEST_F(RegistryAccessTest, CurrentUserAndCurrentConfigAreOpenedThroughTheirParents) {
  reg.SetText(kHkeyCurrentUser, "Environment", "TEMP", "t");
  reg.SetText(kHkeyCurrentConfig, "System", "v", "c");
  RegistryAccess access;
  RegistryValue record;
  reg.ClearCalls();
  ASSERT_EQ(access.ReadValue(kHkeyCurrentUser, "Environment", "TEMP", record), 0);
  auto calls = reg.Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0].op, Op::kOpenCurrentUser);
  EXPECT_EQ(calls[1].op, Op::kOpenKey);
  EXPECT_NE(calls[1].key, RootKey(kHkeyCurrentUser)) << "opened under RegOpenCurrentUser's key";
  EXPECT_EQ(calls[2].op, Op::kCloseKey);
  EXPECT_EQ(calls[2].key, calls[1].key);

  reg.ClearCalls();
  ASSERT_EQ(access.ReadValue(kHkeyCurrentConfig, "System", "v", record), 0);
  calls = reg.Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[1].op, Op::kOpenKey);
  EXPECT_EQ(calls[1].key, RootKey(kHkeyLocalMachine));
  EXPECT_EQ(calls[1].subKey, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");
  EXPECT_EQ(calls[2].subKey, "System");
  EXPECT_EQ(record.data, Bytes({'c'}));

  // Keys created under the current user last.
  ASSERT_NE(access.OpenOrCreateKey(kHkeyCurrentUser, "Software\\New"), -1);
  EXPECT_EQ(reg.Calls().back().op, Op::kCloseKey);
  for (const auto& call : reg.Calls()) {
    if (call.op == Op::kCreateKey) {
      EXPECT_EQ(call.options, 0u);
    }
  }
  EXPECT_TRUE(reg.HasKey(kHkeyCurrentUser, "Software\\New"));
}

TEST_F(RegistryAccessTest, EnumerationEndsWith259TurnedInto0) {
  reg.AddKey(kHklm, "SOFTWARE\\JavaSoft\\JDK\\11.0.9", View::k64);
  reg.AddKey(kHklm, "SOFTWARE\\JavaSoft\\JDK\\1.8", View::k64);
  reg.SetText(kHklm, "SOFTWARE\\JavaSoft\\JDK", "CurrentVersion", "11.0.9", regtype::kSz, View::k64);
  reg.SetValue(kHklm, "SOFTWARE\\JavaSoft\\JDK", "Flags", regtype::kDword, Bytes({7, 0, 0, 0}), View::k64);
  reg.SetValue(kHklm, "SOFTWARE\\JavaSoft\\JDK", "Nothing", regtype::kBinary, {}, View::k64);
  reg.AddKey(kHklm, "SOFTWARE\\Empty", View::k64);

  RegistryAccess access;
  Array<Text> names({"stale"});
  EXPECT_EQ(access.EnumSubkeys(kHklm, "SOFTWARE\\JavaSoft\\JDK", names), 2);
  EXPECT_EQ(access.LastError(), 0);
  ASSERT_EQ(names.Count(), 2);
  EXPECT_EQ(names[1], "1.8");
  EXPECT_EQ(names[2], "11.0.9");

  Array<RegistryValue> values({RegistryValue{"stale", {}, 0}});
  EXPECT_EQ(access.EnumValues(kHklm, "SOFTWARE\\JavaSoft\\JDK", values), 3);
  EXPECT_EQ(access.LastError(), 0);
  ASSERT_EQ(values.Count(), 3);
  EXPECT_EQ(values[1].name, "CurrentVersion");
  EXPECT_EQ(values[1].data, Bytes({'1', '1', '.', '0', '.', '9', 0}));
  EXPECT_EQ(values[1].type, 1);
  EXPECT_EQ(values[2].data, Bytes({7, 0, 0, 0}));
  EXPECT_EQ(values[3].name, "Nothing");
  EXPECT_TRUE(values[3].data.empty());

  EXPECT_EQ(access.EnumSubkeys(kHklm, "SOFTWARE\\Empty", names), 0);
  EXPECT_EQ(access.LastError(), 0);
  EXPECT_EQ(names.Count(), 0);
  EXPECT_EQ(access.EnumSubkeys(kHklm, "SOFTWARE\\Nope", names), 2) << "a failed open returns its code";

  // The first enumeration call failing with another code returns that code.
  ASSERT_NE(access.OpenKey(kHklm, "SOFTWARE\\JavaSoft\\JDK"), -1);
  reg.RemoveKeyTree(kHklm, "SOFTWARE\\JavaSoft\\JDK", View::k64);
  EXPECT_EQ(access.EnumSubkeys(kHklm, "SOFTWARE\\JavaSoft\\JDK", names), regerr::kKeyDeleted);
}

// Names longer than the first buffer are enumerated whole, and every entry
// after them too.
TEST_F(RegistryAccessTest, EnumerationReadsNamesOfAnyLength) {
  const char* key = "SOFTWARE\\Long";
  const Text longKey(400, 'k'), longValue(5000, 'v');
  reg.AddKey(kHklm, std::string(key) + "\\" + longKey, View::k64);
  reg.AddKey(kHklm, std::string(key) + "\\z", View::k64);
  reg.SetText(kHklm, key, longValue, "long", regtype::kSz, View::k64);
  reg.SetText(kHklm, key, "z", "short", regtype::kSz, View::k64);
  RegistryAccess access;
  Array<Text> names;
  EXPECT_EQ(access.EnumSubkeys(kHklm, key, names), 2);
  EXPECT_EQ(access.LastError(), 0);
  EXPECT_EQ(names.Elements(), (std::vector<Text>{longKey, "z"}));
  Array<RegistryValue> values;
  EXPECT_EQ(access.EnumValues(kHklm, key, values), 2);
  EXPECT_EQ(access.LastError(), 0);
  ASSERT_EQ(values.Count(), 2);
  EXPECT_EQ(values[1].name, longValue);
  EXPECT_EQ(values[2].name, "z");
}

TEST_F(RegistryAccessTest, KeyExistsTouchesNeitherTheOpenKeyNorLastError) {
  reg.SetText(kHklm, kJdk8, "CurrentVersion", "1.8", regtype::kSz, View::k64);
  reg.AddKey(kHklm, "SOFTWARE\\Only32", View::k32);
  reg.AddKey(kHklm, "SOFTWARE\\Locked", View::k64);
  reg.SetReadOnly(kHklm, "SOFTWARE\\Locked", true, View::k64);
  RegistryAccess access;
  RegistryValue record;
  EXPECT_EQ(access.ReadValue(kHklm, kJdk8, "Missing", record), 2);

  struct Row {
    const char* path;
    Logical exists;
  };
  const Row rows[] = {
      {kJdk8, 1}, {"SOFTWARE\\JavaSoft", 1}, {"SOFTWARE\\Only32", 0}, {"SOFTWARE\\Locked", 1}, {"SOFTWARE\\Nope", 0}};
  for (const auto& r : rows) {
    EXPECT_EQ(access.KeyExists(kHklm, r.path), r.exists) << r.path;
    EXPECT_EQ(access.LastError(), 2) << r.path;
  }
  reg.ClearCalls();
  EXPECT_EQ(access.ReadValue(kHklm, kJdk8, "CurrentVersion", record), 0);
  EXPECT_EQ(Count(reg.Calls(), Op::kOpenKey), 0u) << "the open key was kept";
  EXPECT_EQ(reg.OpenHandleCount(), 1u) << "the temporary handles were closed";
}

TEST_F(RegistryAccessTest, WriteTypesOutsideTheirListsFailBeforeAnyPlatformCall) {
  RegistryAccess access;
  for (std::int32_t type : {-1, 0, 4, 5, 6, 8, 9, 10, 11, 12}) {
    reg.ClearCalls();
    EXPECT_EQ(access.WriteBytesValue(kHklm, "SOFTWARE\\W", "v", {'x'}, type, true), -1) << type;
    EXPECT_TRUE(reg.Calls().empty()) << type;
  }
  for (std::int32_t type : {-1, 0, 1, 2, 3, 6, 7, 12}) {
    reg.ClearCalls();
    EXPECT_EQ(access.WriteIntegerValue(kHklm, "SOFTWARE\\W", "v", 1, type, true), -1) << type;
    EXPECT_TRUE(reg.Calls().empty()) << type;
  }
  EXPECT_FALSE(reg.HasKey(kHklm, "SOFTWARE\\W", View::k64));
}

TEST_F(RegistryAccessTest, WrittenBytes) {
  struct Row {
    const char* what;
    std::function<std::int32_t(RegistryAccess&)> write;
    std::uint32_t type;
    ByteSet stored;
  };
  const ByteSet text = {'a', 'b', 'c'};
  const Row rows[] = {
      {"REG_SZ gets its terminator",
       [&](RegistryAccess& a) { return a.WriteBytesValue(kHklm, "SOFTWARE\\W", "v", text, 1, true); }, 1,
       Bytes({'a', 'b', 'c', 0})},
      {"REG_EXPAND_SZ", [](RegistryAccess& a) { return a.WriteBytesValue(kHklm, "SOFTWARE\\W", "v", {'%'}, 2, true); },
       2, Bytes({'%', 0})},
      {"REG_MULTI_SZ",
       [](RegistryAccess& a) {
         return a.WriteBytesValue(kHklm, "SOFTWARE\\W", "v", {'a', 0, 'b', 0}, 7, true);
       },
       7, Bytes({'a', 0, 'b', 0, 0})},
      {"REG_BINARY exactly as given",
       [](RegistryAccess& a) {
         return a.WriteBytesValue(kHklm, "SOFTWARE\\W", "v", {1, 2}, 3, true);
       },
       3, Bytes({1, 2})},
      {"REG_DWORD little-endian",
       [](RegistryAccess& a) { return a.WriteIntegerValue(kHklm, "SOFTWARE\\W", "v", 0x12345678, 4, true); }, 4,
       Bytes({0x78, 0x56, 0x34, 0x12})},
      {"REG_DWORD keeps the low 4 bytes",
       [](RegistryAccess& a) { return a.WriteIntegerValue(kHklm, "SOFTWARE\\W", "v", 0x1122334455667788, 4, true); }, 4,
       Bytes({0x88, 0x77, 0x66, 0x55})},
      {"REG_DWORD_BIG_ENDIAN big-endian",
       [](RegistryAccess& a) { return a.WriteIntegerValue(kHklm, "SOFTWARE\\W", "v", 0x12345678, 5, true); }, 5,
       Bytes({0x12, 0x34, 0x56, 0x78})},
      {"REG_QWORD", [](RegistryAccess& a) { return a.WriteIntegerValue(kHklm, "SOFTWARE\\W", "v", -2, 11, true); }, 11,
       Bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {"hex: last pair first",
       [](RegistryAccess& a) { return a.WriteQwordFromHex(kHklm, "SOFTWARE\\W", "v", "0102030405060708") ? 0 : 1; }, 11,
       Bytes({8, 7, 6, 5, 4, 3, 2, 1})},
      {"hex: odd first digit alone",
       [](RegistryAccess& a) { return a.WriteQwordFromHex(kHklm, "SOFTWARE\\W", "v", "abc") ? 0 : 1; }, 11,
       Bytes({0xBC, 0x0A, 0, 0, 0, 0, 0, 0})},
      {"hex: other characters skipped",
       [](RegistryAccess& a) { return a.WriteQwordFromHex(kHklm, "SOFTWARE\\W", "v", "0xG1ff") ? 0 : 1; }, 11,
       Bytes({0xFF, 0x01, 0x00, 0, 0, 0, 0, 0})},
      {"hex: empty text", [](RegistryAccess& a) { return a.WriteQwordFromHex(kHklm, "SOFTWARE\\W", "v", "") ? 0 : 1; },
       11, Bytes({0, 0, 0, 0, 0, 0, 0, 0})},
      {"hex: only the first 8 bytes",
       [](RegistryAccess& a) { return a.WriteQwordFromHex(kHklm, "SOFTWARE\\W", "v", "AA0102030405060708") ? 0 : 1; },
       11, Bytes({8, 7, 6, 5, 4, 3, 2, 1})},
  };
  for (const auto& r : rows) {
    RegistryAccess access;
    EXPECT_EQ(r.write(access), 0) << r.what;
    auto stored = reg.Value(kHklm, "SOFTWARE\\W", "v", View::k64);
    ASSERT_TRUE(stored) << r.what;
    EXPECT_EQ(stored->type, r.type) << r.what;
    EXPECT_EQ(stored->data, r.stored) << r.what;
  }
  EXPECT_EQ(text, Bytes({'a', 'b', 'c'})) << "the caller's bytes are left as they were";

  RegistryAccess access;
  EXPECT_EQ(access.WriteBytesValue(kHklm, "SOFTWARE\\Missing", "v", {'x'}, 1), 2) << "no create: the key must exist";
  EXPECT_EQ(access.WriteIntegerValue(kHklm, "SOFTWARE\\Missing", "v", 1, 4), 2);
  reg.SetReadOnly(kHklm, "SOFTWARE\\W", true, View::k64);
  EXPECT_EQ(access.WriteQwordFromHex(kHklm, "SOFTWARE\\W", "v", "01"), 0);
  EXPECT_EQ(access.LastError(), 5);
}

TEST(HexToInt64, DigitsFromTheEnd) {
  const std::pair<const char*, std::int64_t> rows[] = {
      {"", 0}, {"f", 15}, {"1A", 26}, {"x1-a", 26}, {"FFFFFFFFFFFFFFFF", -1}, {"123456789ABCDEF01", 0x23456789ABCDEF01},
  };
  for (auto [text, value] : rows) EXPECT_EQ(HexToInt64(text), value) << text;
}

TEST_F(RegistryAccessTest, DeleteKeySplitsAtTheLastBackslash) {
  struct Row {
    const char* what;
    const char* setUp;  // created before the call
    std::uint32_t root;
    const char* path;
    std::int32_t code;
    const char* parentOpened;
    const char* gone;  // absent afterwards
  };
  const Row rows[] = {
      {"child under parent", "SOFTWARE\\A\\B", kHklm, "SOFTWARE\\A\\B", 0, "SOFTWARE\\A", "SOFTWARE\\A\\B"},
      {"no backslash: directly under the root", "Top", kHkeyCurrentUser, "Top", 0, "", "Top"},
      {"trail byte 0x5C is not a separator",
       "SOFTWARE\\G\\A\xB5\x5C"
       "B",
       kHklm,
       "SOFTWARE\\G\\A\xB5\x5C"
       "B",
       0, "SOFTWARE\\G",
       "SOFTWARE\\G\\A\xB5\x5C"
       "B"},
      {"key with subkeys", "SOFTWARE\\G\\P\\Q", kHklm, "SOFTWARE\\G\\P", 5, "SOFTWARE\\G", nullptr},
      {"missing child", "SOFTWARE\\E", kHklm, "SOFTWARE\\E\\Nope", 2, "SOFTWARE\\E", nullptr},
      {"missing parent", "SOFTWARE\\E", kHklm, "SOFTWARE\\Nope\\X", 2, nullptr, nullptr},
  };
  for (const auto& r : rows) {
    reg.AddKey(r.root, r.setUp, View::k64);
    RegistryAccess access;
    reg.ClearCalls();
    EXPECT_EQ(access.DeleteKey(r.root, r.path), r.code) << r.what;
    EXPECT_EQ(access.LastError(), r.code) << r.what;
    auto calls = reg.Calls();
    if (r.parentOpened) {
      auto open = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.op == Op::kOpenKey; });
      ASSERT_NE(open, calls.end()) << r.what;
      EXPECT_EQ(open->subKey, r.parentOpened) << r.what;
    } else {
      EXPECT_EQ(Count(calls, Op::kDeleteKey), 0u) << r.what;
    }
    if (r.gone) {
      EXPECT_FALSE(reg.HasKey(r.root, r.gone, View::k64)) << r.what;
    }
  }
}

TEST_F(RegistryAccessTest, DeleteValue) {
  reg.SetText(kHklm, "SOFTWARE\\D", "v", "x", regtype::kSz, View::k64);
  RegistryAccess access;
  EXPECT_EQ(access.DeleteValue(kHklm, "SOFTWARE\\D", "v"), 0);
  EXPECT_FALSE(reg.Value(kHklm, "SOFTWARE\\D", "v", View::k64));
  EXPECT_EQ(access.DeleteValue(kHklm, "SOFTWARE\\D", "v"), 2);
  EXPECT_EQ(access.DeleteValue(kHklm, "SOFTWARE\\Nope", "v"), 2);
}

TEST_F(RegistryAccessTest, MovedObjectsCloseTheirKeyOnce) {
  reg.AddKey(kHklm, "SOFTWARE\\M", View::k64);
  {
    RegistryAccess first;
    ASSERT_NE(first.OpenKey(kHklm, "SOFTWARE\\M"), -1);
    RegistryAccess second(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_TRUE(second.IsOpen());
    RegistryAccess third;
    ASSERT_NE(third.OpenKey(kHklm, "SOFTWARE"), -1);
    third = std::move(second);
    EXPECT_EQ(reg.OpenHandleCount(), 1u) << "the assigned-to object closed its own key";
  }
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
  for (const auto& call : reg.Calls()) {
    if (call.op == Op::kCloseKey) {
      EXPECT_EQ(call.result, 0) << "no handle closed twice";
    }
  }
}

TEST(RegistryAccessTypeName, Table) {
  const std::pair<std::int32_t, const char*> rows[] = {
      {-1, "键值非法"},
      {0, "键值非法"},
      {1, "REG_SZ"},
      {2, "REG_EXPAND_SZ"},
      {3, "REG_BINARY"},
      {4, "REG_DWORD"},
      {5, "REG_DWORD_BIG_ENDIAN"},
      {6, "REG_LINK"},
      {7, "REG_MULTI_SZ"},
      {8, "REG_RESOURCE_LIST"},
      {9, "NULL"},
      {10, "NULL"},
      {11, "REG_QWORD"},
      {12, "键值非法"},
  };
  for (auto [type, name] : rows) EXPECT_EQ(RegistryAccess::TypeName(type), name) << type;
  EXPECT_EQ(RegistryAccess::TypeName(0), "\xBC\xFC\xD6\xB5\xB7\xC7\xB7\xA8");
}

TEST(RegistryAccessPadBytes, PadsOnlyShorterStrings) {
  struct Row {
    ByteSet in;
    std::int32_t length;
    ByteSet out;
  };
  const Row rows[] = {
      {{}, 3, {0, 0, 0}}, {{1}, 3, {1, 0, 0}}, {{1, 2, 3, 4}, 3, {1, 2, 3, 4}}, {{1}, 0, {1}}, {{1}, -2, {1}}};
  for (auto r : rows) {
    RegistryAccess::PadBytes(r.in, r.length);
    EXPECT_EQ(r.in, r.out);
  }
}

}  // namespace
}  // namespace tavrel::registry

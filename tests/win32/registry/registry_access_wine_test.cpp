// The registry object against the real registry, in both views.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "registry/registry_access.h"
#include "tests/support/win32/registry_sandbox.h"

namespace tavrel::registry {
namespace {

constexpr const char* kKey = "SOFTWARE\\TavrelAccessTest";

class RegistryAccessWineTest : public ::testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    testing::DeleteTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY);
    testing::DeleteTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY);
    testing::DeleteTree(HKEY_CURRENT_USER, "Software\\TavrelAccessTest");
  }
};

TEST_F(RegistryAccessWineTest, StartsInTheNativeView) {
  RegistryAccess access;
  EXPECT_EQ(access.Uses64BitView(), testing::NativeSystemIs64Bit());
}

TEST_F(RegistryAccessWineTest, RoundTripsInBothViews) {
  const bool wow = testing::NativeSystemIs64Bit();
  {
    RegistryAccess in64;
    in64.Use64BitView();
    EXPECT_EQ(in64.WriteBytesValue(kHkeyLocalMachine, kKey, "where", {'6', '4'}, regtype::kSz, true), 0);
    RegistryAccess in32;
    in32.Use32BitView();
    EXPECT_EQ(in32.WriteBytesValue(kHkeyLocalMachine, kKey, "where", {'3', '2'}, regtype::kSz, true), 0);
  }
  // On 64-bit Windows the views are two keys; on 32-bit Windows one.
  EXPECT_EQ(testing::ReadRawText(HKEY_LOCAL_MACHINE, kKey, "where", KEY_WOW64_64KEY), wow ? "64" : "32");
  EXPECT_EQ(testing::ReadRawText(HKEY_LOCAL_MACHINE, kKey, "where", KEY_WOW64_32KEY), "32");
  EXPECT_EQ(testing::KeyExistsRaw(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\TavrelAccessTest", KEY_WOW64_64KEY), wow);

  for (bool use64 : {true, false}) {
    RegistryAccess access;
    use64 ? access.Use64BitView() : access.Use32BitView();
    RegistryValue record;
    EXPECT_EQ(access.ReadValue(kHkeyLocalMachine, kKey, "where", record), 0);
    EXPECT_EQ(record.data, ByteSet(use64 && wow ? ByteSet{'6', '4'} : ByteSet{'3', '2'})) << use64;
    EXPECT_EQ(record.type, 1);
  }
}

TEST_F(RegistryAccessWineTest, EveryKindOfValueThroughThePlatform) {
  RegistryAccess access;
  Text longText(5000, 'x');
  ByteSet longBytes(longText.begin(), longText.end());
  ASSERT_EQ(access.WriteBytesValue(kHkeyLocalMachine, kKey, "long", longBytes, regtype::kExpandSz, true), 0);
  ASSERT_EQ(access.WriteBytesValue(kHkeyLocalMachine, kKey, "binary", {1, 0, 2}, regtype::kBinary), 0);
  ASSERT_EQ(access.WriteIntegerValue(kHkeyLocalMachine, kKey, "dword", 0x01020304, regtype::kDword), 0);
  ASSERT_EQ(access.WriteIntegerValue(kHkeyLocalMachine, kKey, "big", 0x01020304, regtype::kDwordBigEndian), 0);
  ASSERT_EQ(access.WriteIntegerValue(kHkeyLocalMachine, kKey, "qword", 0x0102030405060708, regtype::kQword), 0);
  ASSERT_EQ(access.WriteQwordFromHex(kHkeyLocalMachine, kKey, "hex", "A1B2C3"), 1);

  const REGSAM view = KEY_WOW64_64KEY;  // where the object writes on either kind of system
  using testing::RawValue;
  std::string withZero = longText + '\0';
  EXPECT_EQ(testing::ReadRaw(HKEY_LOCAL_MACHINE, kKey, "long", view),
            (RawValue{REG_EXPAND_SZ, std::vector<BYTE>(withZero.begin(), withZero.end())}));
  EXPECT_EQ(testing::ReadRaw(HKEY_LOCAL_MACHINE, kKey, "binary", view), (RawValue{REG_BINARY, {1, 0, 2}}));
  EXPECT_EQ(testing::ReadRaw(HKEY_LOCAL_MACHINE, kKey, "dword", view), (RawValue{REG_DWORD, {4, 3, 2, 1}}));
  EXPECT_EQ(testing::ReadRaw(HKEY_LOCAL_MACHINE, kKey, "big", view), (RawValue{REG_DWORD_BIG_ENDIAN, {1, 2, 3, 4}}));
  EXPECT_EQ(testing::ReadRaw(HKEY_LOCAL_MACHINE, kKey, "qword", view), (RawValue{REG_QWORD, {8, 7, 6, 5, 4, 3, 2, 1}}));
  EXPECT_EQ(testing::ReadRaw(HKEY_LOCAL_MACHINE, kKey, "hex", view),
            (RawValue{REG_QWORD, {0xC3, 0xB2, 0xA1, 0, 0, 0, 0, 0}}));

  RegistryValue record;
  EXPECT_EQ(access.ReadValue(kHkeyLocalMachine, kKey, "long", record), 0);
  EXPECT_EQ(record.data, longBytes) << "the terminating zero is the byte dropped";
  // Other types keep every byte.
  for (const auto& [name, bytes] : {std::pair<const char*, ByteSet>{"binary", {1, 0, 2}},
                                    {"dword", {4, 3, 2, 1}},
                                    {"qword", {8, 7, 6, 5, 4, 3, 2, 1}}}) {
    EXPECT_EQ(access.ReadValue(kHkeyLocalMachine, kKey, name, record), 0) << name;
    EXPECT_EQ(record.data, bytes) << name;
  }
  EXPECT_EQ(access.ReadValue(kHkeyLocalMachine, kKey, "missing", record), ERROR_FILE_NOT_FOUND);

  Array<RegistryValue> values;
  EXPECT_EQ(access.EnumValues(kHkeyLocalMachine, kKey, values), 6);
  EXPECT_EQ(access.LastError(), 0) << "the final 259 becomes 0";

  ASSERT_NE(access.OpenOrCreateKey(kHkeyLocalMachine, std::string(kKey) + "\\Sub\\Deeper"), -1);
  Array<Text> names;
  EXPECT_EQ(access.EnumSubkeys(kHkeyLocalMachine, kKey, names), 1);
  EXPECT_EQ(access.DeleteKey(kHkeyLocalMachine, std::string(kKey) + "\\Sub"), ERROR_ACCESS_DENIED)
      << "a key with subkeys";
  EXPECT_EQ(access.DeleteKey(kHkeyLocalMachine, std::string(kKey) + "\\Sub\\Deeper"), 0);
  EXPECT_EQ(access.DeleteKey(kHkeyLocalMachine, std::string(kKey) + "\\Sub"), 0);
  EXPECT_FALSE(access.KeyExists(kHkeyLocalMachine, std::string(kKey) + "\\Sub"));
  EXPECT_TRUE(access.KeyExists(kHkeyLocalMachine, kKey));
  EXPECT_EQ(access.DeleteValue(kHkeyLocalMachine, kKey, "binary"), 0);
  EXPECT_FALSE(testing::ReadRaw(HKEY_LOCAL_MACHINE, kKey, "binary", view));
}

TEST_F(RegistryAccessWineTest, CurrentUserThroughRegOpenCurrentUser) {
  RegistryAccess access;
  ASSERT_EQ(access.WriteBytesValue(kHkeyCurrentUser, "Software\\TavrelAccessTest", "v", {'u'}, regtype::kSz, true), 0);
  EXPECT_EQ(testing::ReadRawText(HKEY_CURRENT_USER, "Software\\TavrelAccessTest", "v"), "u");
  RegistryValue record;
  EXPECT_EQ(access.ReadValue(kHkeyCurrentUser, "Software\\TavrelAccessTest", "v", record), 0);
  EXPECT_EQ(record.data, ByteSet{'u'});
}

// A key named with 200 two-byte characters (400 bytes in the code page) and
// a value with a 1000-character name are enumerated whole, and what follows
// them too.
TEST_F(RegistryAccessWineTest, EnumerationReadsNamesLongerThanTheFirstBuffer) {
  Text longKey;
  for (int i = 0; i < 200; ++i) longKey += "键";
  const Text longValue(1000, 'v');
  RegistryAccess access;
  ASSERT_NE(access.OpenOrCreateKey(kHkeyLocalMachine, std::string(kKey) + "\\" + longKey), -1);
  ASSERT_NE(access.OpenOrCreateKey(kHkeyLocalMachine, std::string(kKey) + "\\z"), -1);
  ASSERT_EQ(access.WriteBytesValue(kHkeyLocalMachine, kKey, longValue, {'l'}, regtype::kSz), 0);
  ASSERT_EQ(access.WriteBytesValue(kHkeyLocalMachine, kKey, "z", {'s'}, regtype::kSz), 0);
  Array<Text> names;
  EXPECT_EQ(access.EnumSubkeys(kHkeyLocalMachine, kKey, names), 2);
  EXPECT_EQ(access.LastError(), 0);
  std::vector<Text> found = names.Elements();
  std::sort(found.begin(), found.end());  // the registry's order is its own
  EXPECT_EQ(found, (std::vector<Text>{"z", longKey}));
  Array<RegistryValue> values;
  EXPECT_EQ(access.EnumValues(kHkeyLocalMachine, kKey, values), 2);
  EXPECT_EQ(access.LastError(), 0);
  found.clear();
  for (const RegistryValue& v : values) found.push_back(v.name);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<Text>{longValue, "z"}));
}

}  // namespace
}  // namespace tavrel::registry

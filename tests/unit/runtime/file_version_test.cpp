#include "runtime/file_version.h"

#include <gtest/gtest.h>

#include "tests/support/fake_version_resources.h"

namespace tavrel {
namespace {

using testing::FakeVersionResources;
using testing::ScopedVersionResources;

const char* const kNames[] = {"FileVersion",     "FileDescription",  "InternalName", "CompanyName",    "LegalCopyright",
                              "LegalTrademarks", "OriginalFilename", "ProductName",  "ProductVersion", "Comments"};

// Every string of a file under one translation code, each value naming its key.
FakeVersionResources::File FileWithAllStrings(const Text& code, std::vector<std::uint32_t> translations) {
  FakeVersionResources::File file;
  file.translations = std::move(translations);
  for (const char* name : kNames) file.strings["\\StringFileInfo\\" + code + "\\" + name] = Text(name) + "@" + code;
  return file;
}

TEST(ReadFileVersionInfo, TranslationCodeAndFields) {
  struct Row {
    const char* what;
    std::vector<std::uint32_t> translations;
    Text code;
    Text languages;
  };
  const Row rows[] = {
      {"own executable", {0x04b00804}, "080404b0", "中文(简体)"},
      {"written in lower case", {0x04E40409}, "040904e4", "English"},
      {"two translations, strings of the first", {0x04b00804, 0x04E40409}, "080404b0", "中文(简体), English"},
      {"no translation table", {}, "040904E4", ""},
      {"unnamed language", {0x00000000}, "00000000", ""},
      {"unnamed second language", {0x04E40409, 0x04b0007f}, "040904e4", "English, "},
  };
  for (const auto& row : rows) {
    FakeVersionResources fake;
    fake.languages = {{0x0804, "中文(简体)"}, {0x0409, "English"}};
    fake.files["C:\\app\\x.exe"] = FileWithAllStrings(row.code, row.translations);
    ScopedVersionResources scope(fake);
    FileVersionInfo info;
    ASSERT_EQ(ReadFileVersionInfo("C:\\app\\x.exe", info), 1) << row.what;
    const Text suffix = "@" + row.code;
    EXPECT_EQ(info.fileVersion, "FileVersion" + suffix) << row.what;
    EXPECT_EQ(info.fileDescription, "FileDescription" + suffix) << row.what;
    EXPECT_EQ(info.internalName, "InternalName" + suffix) << row.what;
    EXPECT_EQ(info.companyName, "CompanyName" + suffix) << row.what;
    EXPECT_EQ(info.legalCopyright, "LegalCopyright" + suffix) << row.what;
    EXPECT_EQ(info.legalTrademarks, "LegalTrademarks" + suffix) << row.what;
    EXPECT_EQ(info.originalFilename, "OriginalFilename" + suffix) << row.what;
    EXPECT_EQ(info.productName, "ProductName" + suffix) << row.what;
    EXPECT_EQ(info.productVersion, "ProductVersion" + suffix) << row.what;
    EXPECT_EQ(info.languages, row.languages) << row.what;
    EXPECT_EQ(info.comments, "Comments" + suffix) << row.what;
    ASSERT_EQ(fake.queries.size(), 10u);
    EXPECT_EQ(fake.queries[0], "\\StringFileInfo\\" + row.code + "\\FileVersion");
    EXPECT_EQ(fake.queries[1], "\\StringFileInfo\\" + row.code + "\\CompanyName");
    EXPECT_EQ(fake.queries[9], "\\StringFileInfo\\" + row.code + "\\Comments");
  }
}

TEST(ReadFileVersionInfo, NoResourceEmptiesEveryField) {
  FakeVersionResources fake;
  fake.files["a.exe"] = FileWithAllStrings("080404b0", {0x04b00804});
  fake.languages = {{0x0804, "Chinese"}};
  ScopedVersionResources scope(fake);

  FileVersionInfo info;
  ASSERT_EQ(ReadFileVersionInfo("a.exe", info), 1);
  EXPECT_EQ(info.languages, "Chinese");
  EXPECT_EQ(ReadFileVersionInfo("missing.exe", info), 0);
  const Text* fields[] = {&info.fileVersion,    &info.fileDescription, &info.internalName,     &info.companyName,
                          &info.legalCopyright, &info.legalTrademarks, &info.originalFilename, &info.productName,
                          &info.productVersion, &info.languages,       &info.comments};
  for (const Text* field : fields) EXPECT_EQ(*field, "");
  EXPECT_EQ(fake.loads, (std::vector<Text>{"a.exe", "missing.exe"}));
}

TEST(ReadFileVersionInfo, SecondReadReplacesTheFirst) {
  FakeVersionResources fake;
  fake.files["a.exe"] = FileWithAllStrings("080404b0", {0x04b00804});
  // b.exe has only a version: fields it lacks must not keep a.exe's values.
  fake.files["b.exe"].strings["\\StringFileInfo\\040904E4\\FileVersion"] = "2.0";
  ScopedVersionResources scope(fake);
  FileVersionInfo info;
  ReadFileVersionInfo("a.exe", info);
  ASSERT_EQ(ReadFileVersionInfo("b.exe", info), 1);
  EXPECT_EQ(info.fileVersion, "2.0");
  EXPECT_EQ(info.companyName, "");
  EXPECT_EQ(info.comments, "");
  EXPECT_EQ(info.languages, "");
}

TEST(ReadFileVersionInfo, FieldsHoldAtMost255Bytes) {
  const std::pair<Text, Text> rows[] = {
      {Text(255, 'v'), Text(255, 'v')},
      {Text(300, 'v'), Text(255, 'v')},
      // A two-byte character across the limit is left out whole.
      {Text(254, 'v') + "\xD6\xD0", Text(254, 'v')},
      {Text(253, 'v') + "\xD6\xD0", Text(253, 'v') + "\xD6\xD0"},
  };
  for (const auto& [value, stored] : rows) {
    FakeVersionResources fake;
    fake.files["a.exe"].strings["\\StringFileInfo\\040904E4\\Comments"] = value;
    ScopedVersionResources scope(fake);
    FileVersionInfo info;
    ASSERT_EQ(ReadFileVersionInfo("a.exe", info), 1);
    EXPECT_EQ(info.comments, stored) << value.size();
  }
}

TEST(TranslationCode, FourHexDigitsEachInLowerCase) {
  const std::pair<std::uint32_t, Text> rows[] = {{0x04b00804, "080404b0"},
                                                 {0x04E40409, "040904e4"},
                                                 {0, "00000000"},
                                                 {0xFFFFFFFF, "ffffffff"},
                                                 {0x00010002, "00020001"}};
  for (const auto& [entry, code] : rows) EXPECT_EQ(TranslationCode(entry), code);
}

// What the system's query points at is read only as far as the resource goes.
TEST(ResourceBounds, TranslationsAndTextsStayInsideTheResource) {
  const ByteSet resource{0x04, 0x08, 0xb0, 0x04, 0x09, 0x04, 'v', '1', 0, 'x', 'y'};
  const std::uint8_t* at = resource.data();
  struct Row {
    const void* value;
    std::size_t claimed;
    std::vector<std::uint32_t> entries;
  };
  const Row rows[] = {
      {at, 4, {0x04b00804}},
      {at, 0x4000, {0x04b00804, 0x31760409}},  // claims more than the resource holds
      {at + 8, 8, {}},                         // fewer than 4 bytes left
      {at + resource.size(), 4, {}},           // just past the end
      {nullptr, 4, {}},
  };
  for (const auto& r : rows) EXPECT_EQ(TranslationEntries(resource, r.value, r.claimed), r.entries) << r.claimed;

  const std::pair<const void*, std::optional<Text>> texts[] = {
      {at + 6, Text("v1")}, {at + 9, Text("xy")}, {at + resource.size(), std::nullopt}, {nullptr, std::nullopt}};
  for (const auto& [value, text] : texts) EXPECT_EQ(ResourceText(resource, value), text);
}

}  // namespace
}  // namespace tavrel

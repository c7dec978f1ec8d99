// The version reader against the system's version.dll: on Tavrel.exe and on
// copies of this test program carrying version resources made for the test.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "runtime/file_version.h"
#include "tests/support/test_paths.h"
#include "tests/support/win32/version_resource_builder.h"

namespace tavrel {
namespace {

using testing::VersionResourceLayout;

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string ThisProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// A copy of this program with the given resource (none: left without one).
std::string MadeFile(const std::string& name, const VersionResourceLayout* layout) {
  const std::string folder = WindowsPath(testing::BinaryDir() + "/tests/version-files");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = folder + "\\" + std::to_string(GetCurrentProcessId()) + "-" + name + ".exe";
  if (!testing::CopyWithVersionResource(ThisProgram(), path, layout)) return {};
  return path;
}

std::vector<std::pair<std::string, std::string>> AllStrings(const std::string& tag) {
  return {{"FileVersion", "9.8.7.6-" + tag},       {"FileDescription", "desc-" + tag},
          {"InternalName", "internal-" + tag},     {"CompanyName", "company-" + tag},
          {"LegalCopyright", "copyright-" + tag},  {"LegalTrademarks", "marks-" + tag},
          {"OriginalFilename", "original-" + tag}, {"ProductName", "product-" + tag},
          {"ProductVersion", "pv-" + tag},         {"Comments", "comments-" + tag}};
}

Text LanguageName(DWORD language) {
  char name[256] = {};
  VerLanguageNameA(language, name, sizeof name);
  return name;
}

TEST(ReadFileVersionInfoOnWindows, OwnExecutable) {
  FileVersionInfo info;
  ASSERT_EQ(ReadFileVersionInfo(WindowsPath(testing::BinaryDir() + "/Tavrel.exe"), info), 1);
  EXPECT_EQ(info.fileVersion, "1.5.0.5");
  EXPECT_EQ(info.productVersion, "1.5.0.5");
  EXPECT_EQ(info.productName, "Tavrel");
  EXPECT_EQ(info.originalFilename, "Tavrel.exe");
  EXPECT_EQ(info.internalName, "Tavrel");
  EXPECT_EQ(info.languages, LanguageName(0x0804));
  EXPECT_FALSE(info.languages.empty());
}

TEST(ReadFileVersionInfoOnWindows, TranslationTableChoosesTheStringTable) {
  struct Row {
    const char* what;
    VersionResourceLayout layout;
    std::string tag;  // whose strings are read
    Text languages;
  };
  const Row rows[] = {
      {"no translation table, read under 040904E4",
       {{{"040904E4", AllStrings("us")}, {"080404b0", AllStrings("cn")}}, false, {}},
       "us",
       ""},
      {"empty translation table", {{{"040904E4", AllStrings("us")}}, true, {}}, "us", ""},
      {"first of two translations",
       {{{"080404b0", AllStrings("cn")}, {"040904e4", AllStrings("us")}}, true, {0x04b00804, 0x04E40409}},
       "cn",
       LanguageName(0x0804) + ", " + LanguageName(0x0409)},
      {"code page 04E4 in lower case",
       {{{"040904e4", AllStrings("us")}}, true, {0x04E40409}},
       "us",
       LanguageName(0x0409)},
  };
  int n = 0;
  for (const auto& row : rows) {
    const std::string file = MadeFile("table" + std::to_string(++n), &row.layout);
    ASSERT_FALSE(file.empty()) << row.what;
    FileVersionInfo info;
    ASSERT_EQ(ReadFileVersionInfo(file, info), 1) << row.what;
    EXPECT_EQ(info.fileVersion, "9.8.7.6-" + row.tag) << row.what;
    EXPECT_EQ(info.fileDescription, "desc-" + row.tag) << row.what;
    EXPECT_EQ(info.internalName, "internal-" + row.tag) << row.what;
    EXPECT_EQ(info.companyName, "company-" + row.tag) << row.what;
    EXPECT_EQ(info.legalCopyright, "copyright-" + row.tag) << row.what;
    EXPECT_EQ(info.legalTrademarks, "marks-" + row.tag) << row.what;
    EXPECT_EQ(info.originalFilename, "original-" + row.tag) << row.what;
    EXPECT_EQ(info.productName, "product-" + row.tag) << row.what;
    EXPECT_EQ(info.productVersion, "pv-" + row.tag) << row.what;
    EXPECT_EQ(info.comments, "comments-" + row.tag) << row.what;
    EXPECT_EQ(info.languages, row.languages) << row.what;
    DeleteFileA(file.c_str());
  }
}

TEST(ReadFileVersionInfoOnWindows, MissingKeysAndLongValues) {
  VersionResourceLayout layout{
      {{"040904E4", {{"FileVersion", std::string(300, '7')}, {"Comments", "\xD6\xD0\xCE\xC4"}}}}, false, {}};
  const std::string file = MadeFile("partial", &layout);
  ASSERT_FALSE(file.empty());
  FileVersionInfo info;
  ASSERT_EQ(ReadFileVersionInfo(file, info), 1);
  EXPECT_EQ(info.fileVersion, std::string(255, '7'));
  EXPECT_EQ(info.comments, "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(info.companyName, "");
  EXPECT_EQ(info.productName, "");
  DeleteFileA(file.c_str());
}

TEST(ReadFileVersionInfoOnWindows, NoResourceOrNoFile) {
  const std::string bare = MadeFile("bare", nullptr);
  ASSERT_FALSE(bare.empty());
  FileVersionInfo info;
  info.fileVersion = "stale";
  info.languages = "stale";
  EXPECT_EQ(ReadFileVersionInfo(bare, info), 0);
  EXPECT_EQ(info.fileVersion, "");
  EXPECT_EQ(info.languages, "");
  EXPECT_EQ(ReadFileVersionInfo(bare + ".missing", info), 0);
  EXPECT_EQ(ReadFileVersionInfo("", info), 0);
  DeleteFileA(bare.c_str());
}

// A resource whose translation table claims more bytes than the resource
// holds: the reader takes the entries that are there and reads nothing beyond.
TEST(ReadFileVersionInfoOnWindows, TranslationTableLongerThanTheResource) {
  VersionResourceLayout layout;
  layout.translations = {0x04b00804};
  ByteSet resource = testing::BuildVersionResource(layout);
  const std::u16string key = u"Translation";
  const auto* keyBytes = reinterpret_cast<const std::uint8_t*>(key.data());
  const auto at = std::search(resource.begin(), resource.end(), keyBytes, keyBytes + key.size() * 2);
  ASSERT_NE(at, resource.end());
  const std::size_t valueLength = static_cast<std::size_t>(at - resource.begin()) - 4;  // wLength, wValueLength, wType
  resource[valueLength] = 0x00;
  resource[valueLength + 1] = 0x40;  // 16 KiB
  // The table is the resource's last value: its one entry is all there is.
  EXPECT_EQ(platform::DefaultVersionResourceApi().QueryTranslations(resource), std::vector<std::uint32_t>{0x04b00804});
}

}  // namespace
}  // namespace tavrel

#include "runtime/download/file_naming.h"

#include <gtest/gtest.h>

#include "runtime/download/log_text.h"

namespace tavrel::download {
namespace {

TEST(FileNameStart, SeparatorsAndTwoByteCharacters) {
  // "表" in GBK is B1 ED; "\x95\x5C" is a GBK character whose second byte is
  // the backslash's code.
  struct Row {
    std::string path;
    LeadBytePredicate lead;
    std::size_t start;
  };
  const Row rows[] = {
      {"C:\\dl\\a.exe", GbkLeadByte, 6},
      {"/tmp/dl/a.exe", NoLeadBytes, 8},
      {"C:\\dl\\", GbkLeadByte, 6},
      {"a.exe", GbkLeadByte, 0},
      {"C:\\dl\\\x95\x5C.exe", GbkLeadByte, 6},  // the 0x5C is part of a character
      {"C:\\dl\\\x95\x5C.exe", NoLeadBytes, 8},  // read byte by byte, it is not
      {"C:\\dl\\\x95\x5C", GbkLeadByte, 6},
  };
  for (const auto& r : rows) EXPECT_EQ(FileNameStart(r.path, r.lead), r.start) << r.path;
  EXPECT_TRUE(EndsWithSeparator("C:\\dl\\", GbkLeadByte));
  EXPECT_TRUE(EndsWithSeparator("/tmp/dl/", NoLeadBytes));
  EXPECT_FALSE(EndsWithSeparator("C:\\dl\\\x95\x5C", GbkLeadByte));
  EXPECT_FALSE(EndsWithSeparator("", GbkLeadByte));
}

TEST(SafeFileName, ServerChosenNamesStayInsideTheFolder) {
  struct Row {
    std::string name;
    const char* safe;  // nullptr: refused
  };
  const Row rows[] = {
      {"jdk-8u271-windows-x64.exe", "jdk-8u271-windows-x64.exe"},
      {"jdk 8.exe", "jdk 8.exe"},
      {"../../evil.exe", "evil.exe"},
      {"..\\..\\Windows\\evil.exe", "evil.exe"},
      {"/etc/passwd", "passwd"},
      {"C:\\evil.exe", "evil.exe"},
      {"\xB1\xED.exe", "\xB1\xED.exe"},
      {"\x95\x7C.exe", "\x95\x7C.exe"},  // second byte equals "|" but belongs to a character
      {"", nullptr},
      {".", nullptr},
      {"..", nullptr},
      {"dir/", nullptr},
      {"...", nullptr},
      {" . ", nullptr},
      {"CON", nullptr},
      {"con.exe", nullptr},
      {"Nul.txt", nullptr},
      {"aux", nullptr},
      {"PRN.log", nullptr},
      {"COM1", nullptr},
      {"com9.exe", nullptr},
      {"LPT5", nullptr},
      {"CON .exe", nullptr},
      {"COM0", "COM0"},
      {"COM10", "COM10"},
      {"CONSOLE.exe", "CONSOLE.exe"},
      {"a:b.exe", nullptr},
      {"C:evil.exe", nullptr},
      {"a\tb.exe", nullptr},
      {std::string("a\0b.exe", 7), nullptr},
      {"a\x7F.exe", nullptr},
      {"a?.exe", nullptr},
      {"a*.exe", nullptr},
      {"a|b.exe", nullptr},
      {"a\"b.exe", nullptr},
      {"a<b>.exe", nullptr},
  };
  for (const auto& r : rows) {
    auto safe = SafeFileName(r.name, GbkLeadByte);
    if (!r.safe) {
      EXPECT_FALSE(safe) << r.name;
    } else {
      ASSERT_TRUE(safe) << r.name;
      EXPECT_EQ(*safe, r.safe) << r.name;
    }
  }
}

TEST(UrlPathFileName, LastPartDecoded) {
  const std::pair<const char*, const char*> rows[] = {
      {"/jdk-8u271-windows-x64.exe", "jdk-8u271-windows-x64.exe"},
      {"/dir/my%20file.exe", "my file.exe"},
      {"/dir/file.exe?token=1/2", "file.exe"},
      {"/dir/", ""},
      {"/dir/..%2F..%2Fevil.exe", "../../evil.exe"},  // decoded, then reduced by SafeFileName
      {"/%E8%A1%A8.zip", "\xE8\xA1\xA8.zip"},
  };
  for (auto [path, name] : rows) EXPECT_EQ(UrlPathFileName(path), name) << path;
}

TEST(NextFreeName, BracketsBeforeTheExtension) {
  struct Row {
    const char* path;
    const char* next;
  };
  const Row rows[] = {
      {"C:\\dl\\jdk.exe", "C:\\dl\\jdk(1).exe"},
      {"C:\\dl\\jdk(1).exe", "C:\\dl\\jdk(2).exe"},
      {"C:\\dl\\jdk(9).exe", "C:\\dl\\jdk(10).exe"},
      {"C:\\dl\\jdk(42).exe", "C:\\dl\\jdk(43).exe"},
      {"C:\\dl\\jdk(99).exe", "C:\\dl\\jdk(100).exe"},
      {"C:\\dl\\jdk(100).exe", "C:\\dl\\jdk(100)(1).exe"},  // three digits: not a counter
      {"C:\\dl\\jdk().exe", "C:\\dl\\jdk()(1).exe"},
      {"C:\\dl\\jdk(a).exe", "C:\\dl\\jdk(a)(1).exe"},
      {"C:\\dl\\archive.tar.gz", "C:\\dl\\archive.tar(1).gz"},
      {"C:\\dl\\README", "C:\\dl\\README(1)"},
      {"C:\\d.l\\README", "C:\\d.l\\README(1)"},  // a dot in the folder is no extension
      {"/tmp/x(3)", "/tmp/x(4)"},
      {"C:\\dl\\(7).exe", "C:\\dl\\(8).exe"},
  };
  for (const auto& r : rows) EXPECT_EQ(NextFreeName(r.path, GbkLeadByte), r.next) << r.path;

  // Ninety-nine tries from a plain name end at (99).
  std::string name = "C:\\dl\\jdk.exe";
  for (int i = 0; i < kMaxRenames; ++i) name = NextFreeName(name, GbkLeadByte);
  EXPECT_EQ(name, "C:\\dl\\jdk(99).exe");
}

TEST(LogTimeText, DropsTrailingZeroParts) {
  struct Row {
    LocalDateTime t;
    const char* text;
  };
  const Row rows[] = {
      {{2024, 3, 7, 14, 5, 9}, "2024年3月7日14时5分9秒"},   {{2024, 3, 7, 14, 5, 0}, "2024年3月7日14时5分"},
      {{2024, 3, 7, 14, 0, 0}, "2024年3月7日14时"},         {{2024, 3, 7, 0, 0, 0}, "2024年3月7日"},
      {{2024, 12, 31, 0, 0, 1}, "2024年12月31日0时0分1秒"}, {{2024, 12, 31, 0, 1, 0}, "2024年12月31日0时1分"},
      {{2024, 1, 1, 23, 0, 59}, "2024年1月1日23时0分59秒"},
  };
  for (const auto& r : rows) EXPECT_EQ(LogTimeText(r.t), r.text) << r.text;
}

}  // namespace
}  // namespace tavrel::download

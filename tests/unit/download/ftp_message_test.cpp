#include "runtime/download/ftp_message.h"

#include <gtest/gtest.h>

namespace tavrel::download {
namespace {

TEST(ParseFtpReply, SingleAndMultiLineReplies) {
  struct Row {
    std::string data;
    bool complete;
    int code = 0;
    std::size_t end = 0;
  };
  const std::string multi = "230-Welcome\r\n230-second line\r\n 230 not the end\r\n230 Login successful.\r\n";
  const Row rows[] = {
      {"220 (vsFTPd 3.0.3)\r\n", true, 220, 20},
      {"331 Please specify the password.\r\n230 next", true, 331, 34},
      {multi + "200 next\r\n", true, 230, multi.size()},
      {"230-Welcome\r\n230-more\r\n", false},
      {"220 no end", false},
      {"", false},
      {"hello\r\n", true, -1, 7},
      {"150-\r\n150\r\n", true, 150, 11},
  };
  for (const auto& r : rows) {
    auto reply = ParseFtpReply(r.data);
    ASSERT_EQ(reply.has_value(), r.complete) << r.data;
    if (!reply) continue;
    EXPECT_EQ(reply->code, r.code) << r.data;
    EXPECT_EQ(reply->end, r.end) << r.data;
    EXPECT_EQ(reply->text, r.data.substr(0, r.end));
  }
}

TEST(ParsePassiveReply, AddressAndPort) {
  struct Row {
    const char* text;
    bool ok;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
  };
  const Row rows[] = {
      {"227 Entering Passive Mode (127,0,0,1,195,80).\r\n", true, 0x7F000001, 195 * 256 + 80},
      {"227 Entering Passive Mode (10, 1, 2, 3, 4, 5)\r\n", true, 0x0A010203, 1029},
      {"227 (255,255,255,255,255,255)", true, 0xFFFFFFFF, 65535},
      {"227 Entering Passive Mode 127,0,0,1,195,80\r\n", false},
      {"227 (127,0,0,1,195)", false},
      {"227 (127,0,0,1,195,80,1)", false},
      {"227 (127,0,0,256,1,1)", false},
      {"227 (127,0,0,1,0,0)", false},
      {"227 (a,0,0,1,1,1)", false},
  };
  for (const auto& r : rows) {
    auto a = ParsePassiveReply(r.text);
    ASSERT_EQ(a.has_value(), r.ok) << r.text;
    if (!a) continue;
    EXPECT_EQ(a->address, r.address) << r.text;
    EXPECT_EQ(a->port, r.port) << r.text;
  }
  EXPECT_EQ(PortArgument({0x7F000001, 50000}), "127,0,0,1,195,80");
  EXPECT_EQ(PortArgument({0xC0A80A02, 21}), "192,168,10,2,0,21");
}

TEST(FtpTransferType, ByTypeAndExtension) {
  const std::string list = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
  struct Row {
    const char* path;
    std::int32_t type;
    char expected;
  };
  const Row rows[] = {
      {"/a.txt", 1, 'I'},  {"/a.exe", 1, 'I'},          {"/a.exe", 0, 'A'}, {"/a.exe", 2, 'A'},
      {"/a.exe", 3, 'I'},  {"/A.EXE", 3, 'I'},          {"/a.txt", 3, 'A'}, {"/a.rm", 3, 'I'},
      {"/a.rmvb", 3, 'A'}, {"/dir.zip/readme", 3, 'A'}, {"/noext", 3, 'A'}, {"/a.zip?x=1", 3, 'I'},
  };
  for (const auto& r : rows) EXPECT_EQ(FtpTransferType(r.path, r.type, list), r.expected) << r.path << r.type;
  EXPECT_EQ(FtpTransferType("/a.exe", 3, ""), 'A');
}

}  // namespace
}  // namespace tavrel::download

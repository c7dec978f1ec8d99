// A download as large as the 32-bit program can map: its view needs more
// address space than a process without the large-address flag is given.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "runtime/download/platform.h"
#include "tests/support/download_fixture.h"

namespace tavrel::download {
namespace {

using testing::HttpDownload;
using testing::HttpRequest;
using testing::ServerConnection;

constexpr std::int64_t kSize = std::int64_t{1} << 30;
constexpr std::size_t kPiece = 1 << 20;

// Content made from its offset, so that a byte stored at another offset
// shows; nothing of it is held in memory as a whole.
void Fill(std::vector<char>& piece, std::int64_t from) {
  for (std::size_t i = 0; i < piece.size(); ++i) {
    auto at = static_cast<std::uint64_t>(from) + i;
    std::uint32_t word = static_cast<std::uint32_t>(at / 4) * 2654435761u;
    word ^= word >> 15;
    piece[i] = static_cast<char>(word >> (8 * (at % 4)));
  }
}

void ServeGenerated(const HttpRequest& r, ServerConnection& c) {
  std::int64_t from = r.RangeStart().value_or(0);
  std::string fields = "Content-Length: " + std::to_string(kSize - from) + "\r\n";
  if (from > 0)
    fields += "Content-Range: bytes " + std::to_string(from) + "-" + std::to_string(kSize - 1) + "/" +
              std::to_string(kSize) + "\r\n";
  if (!c.Send(testing::ResponseHead(from > 0 ? 206 : 200, fields))) return;
  std::vector<char> piece;
  for (std::int64_t at = from; at < kSize; at += static_cast<std::int64_t>(piece.size())) {
    piece.resize(static_cast<std::size_t>(std::min<std::int64_t>(kPiece, kSize - at)));
    Fill(piece, at);
    if (!c.Send(std::string_view(piece.data(), piece.size()))) return;
  }
}

TEST_F(HttpDownload, AFileOfOneGibibyteDownloadsWhole) {
  testing::LoopbackHttpServer server(&ServeGenerated);
  const std::string path = folder_ + "large.bin";
  ASSERT_TRUE(StartDownload(download_, Param(server.Url("/large.bin"), path)));
  ASSERT_TRUE(recorder_.WaitForEnd(110000)) << recorder_.LogText();
  EXPECT_EQ(recorder_.EndedValue(), kSize) << recorder_.LogText();

  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  std::vector<char> expected(kPiece), actual(kPiece);
  std::int64_t at = 0;
  for (; at < kSize && in.read(actual.data(), kPiece); at += kPiece) {
    Fill(expected, at);
    ASSERT_EQ(expected, actual) << "the MiB from " << at;
  }
  EXPECT_EQ(at, kSize);
  in.close();
  platform::RemoveFile(path);
}

}  // namespace
}  // namespace tavrel::download

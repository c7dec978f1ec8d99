#include "runtime/download/http_message.h"

#include <gtest/gtest.h>

namespace tavrel::download {
namespace {

TEST(BuildGetRequest, DirectFormLineByLine) {
  RequestParts parts;
  parts.hostPart = "127.0.0.1:88";
  parts.target = "/my files/jdk 8.exe";
  parts.referer = "http://127.0.0.1:88";
  auto plain = BuildGetRequest(parts);
  ASSERT_TRUE(plain);
  EXPECT_EQ(*plain,
            "GET /my%20files/jdk%208.exe HTTP/1.1\r\n"
            "Host: 127.0.0.1:88\r\n"
            "Accept: */*\r\n"
            "Referer: http://127.0.0.1:88\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
            "Pragma: no-cache\r\n"
            "Cache-Control: no-cache\r\n"
            "Connection: close\r\n"
            "\r\n");

  parts.extraLine = "Range: bytes=200000-";
  auto ranged = BuildGetRequest(parts);
  ASSERT_TRUE(ranged);
  EXPECT_NE(ranged->find("Windows 98)\r\nRange: bytes=200000-\r\nPragma: no-cache\r\n"), std::string::npos);
}

TEST(BuildGetRequest, ProxyForm) {
  RequestParts parts;
  parts.hostPart = "files.example:88";
  parts.target = "http://files.example:88/a b.exe";
  parts.referer = "ignored";
  parts.viaProxy = true;
  EXPECT_EQ(*BuildGetRequest(parts),
            "GET http://files.example:88/a%20b.exe HTTP/1.1\r\n"
            "Host: files.example:88\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
            "Proxy-Connection: Keep-Alive\r\n"
            "\r\n\r\n");
  parts.extraLine = "Range: bytes=5-";
  EXPECT_NE(BuildGetRequest(parts)->find("Windows 98)\r\nRange: bytes=5-\r\nProxy-Connection"), std::string::npos);
}

TEST(BuildGetRequest, MeasuresTheWholeRequestAfterEncoding) {
  RequestParts parts;
  parts.hostPart = "h";
  parts.referer = "http://h";
  parts.target = "/";
  const std::size_t base = BuildGetRequest(parts)->size() - 1;  // all but the target
  struct Row {
    std::string target;
    std::string extra;
    bool fits;
  };
  const std::size_t room = kMaxRequestBytes - base;
  const Row rows[] = {
      {"/" + std::string(room - 1, 'a'), "", true},
      {"/" + std::string(room, 'a'), "", false},
      // Each space costs three bytes once encoded.
      {"/" + std::string(room - 4, 'a') + " ", "", true},
      {"/" + std::string(room - 3, 'a') + " ", "", false},
      {"/" + std::string(room - 10, 'a'), "Cookie: " + std::string(10, 'c'), false},
      {"/" + std::string(2000, 'a'), "", false},
  };
  for (const auto& r : rows) {
    parts.target = r.target;
    parts.extraLine = r.extra;
    auto request = BuildGetRequest(parts);
    EXPECT_EQ(request.has_value(), r.fits) << r.target.size();
    if (request) {
      EXPECT_LE(request->size(), kMaxRequestBytes);
    }
  }
}

TEST(ScanResponseHeader, FindsTheHeaderAndItsEnd) {
  using State = HeaderScan::State;
  struct Row {
    std::string data;
    State state;
    std::size_t begin, end;
  };
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
  const Row rows[] = {
      {head + "hello", State::kComplete, 0, head.size()},
      {"junk" + head, State::kComplete, 4, 4 + head.size()},
      {"HTTP/1.0 404 Not Found\r\n\r\n", State::kComplete, 0, 26},
      {"HTTP/2 200\r\n\r\nHTTP/1.1 200 OK\r\n\r\n", State::kComplete, 14, 33},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", State::kIncomplete, 0, 0},
      {"HTTP/1.1 200 OK\r\nX: " + std::string(4080, 'x') + "\r\n\r\n", State::kTooLong, 0, 0},
      {"HTTP/1.1 200 OK\r\nX: " + std::string(4080, 'x'), State::kTooLong, 0, 0},
      {std::string(5000, 'x'), State::kTooLong, 0, 0},
  };
  for (const auto& r : rows) {
    HeaderScan scan = ScanResponseHeader(r.data);
    EXPECT_EQ(scan.state, r.state) << r.data.substr(0, 40);
    if (r.state == State::kComplete) {
      EXPECT_EQ(scan.begin, r.begin);
      EXPECT_EQ(scan.end, r.end);
    }
  }
  // Exactly at the limit is still a header; one byte more is not.
  std::string fill(kMaxHeaderBytes - std::string("HTTP/1.1 200 OK\r\nX: \r\n\r\n").size(), 'x');
  EXPECT_EQ(ScanResponseHeader("HTTP/1.1 200 OK\r\nX: " + fill + "\r\n\r\n").state, State::kComplete);
  EXPECT_EQ(ScanResponseHeader("HTTP/1.1 200 OK\r\nX: " + fill + "y\r\n\r\n").state, State::kTooLong);
}

TEST(StatusCode, ThreeDigitsAfterTheProtocol) {
  const std::pair<const char*, int> rows[] = {
      {"HTTP/1.1 200 OK\r\n", 200}, {"HTTP/1.0 302 Found\r\n", 302},
      {"HTTP/1.1 404\r\n", 404},    {"HTTP/1.1 20 OK\r\n", -1},
      {"HTTP/1.1 2000 OK\r\n", -1}, {"HTTP/1.1  200 OK\r\n", -1},
      {"HTTP/1.1 abc\r\n", -1},     {"", -1},
  };
  for (auto [header, code] : rows) EXPECT_EQ(StatusCode(header), code) << header;
}

TEST(FindField, AnyLetterCaseAndBlanksAfterTheColon) {
  const std::string header =
      "HTTP/1.1 200 OK\r\n"
      "content-length:   1234  \r\n"
      "CONTENT-RANGE:\tbytes 0-9/1234\r\n"
      "X-Location: /wrong\r\n"
      "Location: /right\r\n"
      "Set-Cookie: a=1; Path=/\r\n"
      "Set-Cookie: b=2\r\n"
      "Empty:\r\n"
      "\r\n"
      "Server: in the body\r\n";
  const std::pair<const char*, const char*> rows[] = {
      {"Content-Length", "1234"}, {"Content-length", "1234"},    {"content-range", "bytes 0-9/1234"},
      {"Location", "/right"},     {"Set-Cookie", "a=1; Path=/"}, {"Empty", ""},
  };
  for (auto [name, value] : rows) {
    auto field = FindField(header, name);
    ASSERT_TRUE(field) << name;
    EXPECT_EQ(*field, value) << name;
  }
  EXPECT_FALSE(FindField(header, "Server"));  // after the empty line
  EXPECT_FALSE(FindField(header, "Content"));
  EXPECT_FALSE(FindField(header, "HTTP/1.1 200 OK"));
}

TEST(Numbers, LengthsAndRanges) {
  const std::pair<const char*, std::int64_t> lengths[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n", 1000000},
      {"HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\n", 12},
      {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", -5},
      {"HTTP/1.1 200 OK\r\nContent-Length: 2147483648\r\n\r\n", 2147483648LL},
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", 999999999999999999LL},
      {"HTTP/1.1 200 OK\r\nContent-Length: x\r\n\r\n", -1},
      {"HTTP/1.1 200 OK\r\n\r\n", -1},
  };
  for (auto [header, n] : lengths) EXPECT_EQ(ContentLength(header), n) << header;

  struct RangeRow {
    const char* value;
    bool ok;
    std::int64_t first = 0, last = 0, total = 0;
  };
  const RangeRow ranges[] = {
      {"bytes 0-9/10", true, 0, 9, 10},
      {"bytes 200000-399999/1000000", true, 200000, 399999, 1000000},
      {"BYTES  5-5/6", true, 5, 5, 6},
      {"bytes 0-9/*", true, 0, 9, -1},
      {"bytes */10", true, -1, -1, 10},
      {"bytes 9-0/10", false},
      {"bytes 0-9", false},
      {"items 0-9/10", false},
      {"bytes=0-9/10", false},
      {"", false},
      {"bytes 0-1000/1000", false},
      {"bytes 5-9/0", false},  // last byte beyond the file
  };
  for (const auto& r : ranges) {
    auto range = ParseContentRange(r.value);
    ASSERT_EQ(range.has_value(), r.ok) << r.value;
    if (!r.ok) continue;
    EXPECT_EQ(range->first, r.first) << r.value;
    EXPECT_EQ(range->last, r.last) << r.value;
    EXPECT_EQ(range->total, r.total) << r.value;
  }
}

TEST(CookiesAndDisposition, TheUsefulPartOfEach) {
  EXPECT_EQ(CookieOf("sid=abc; Path=/; HttpOnly"), "sid=abc");
  EXPECT_EQ(CookieOf("sid=abc"), "sid=abc");
  const std::pair<const char*, const char*> rows[] = {
      {"attachment; filename=\"jdk 8.exe\"", "jdk 8.exe"},
      {"attachment; filename=plain.zip", "plain.zip"},
      {"attachment; FileName=plain.zip; size=3", "plain.zip"},
      {"attachment; filename*=UTF-8''x.exe; filename=\"y.exe\"", "y.exe"},
      {"inline", ""},
      {"attachment; filename=\"../../evil.exe\"", "../../evil.exe"},
  };
  for (auto [value, name] : rows) EXPECT_EQ(DispositionFileName(value), name) << value;
  EXPECT_EQ(TextBeforeLastSlash("http://h:88/dir/f.exe"), "http://h:88/dir");
  EXPECT_EQ(TextBeforeLastSlash("http://h:88/f.exe"), "http://h:88");
}

}  // namespace
}  // namespace tavrel::download

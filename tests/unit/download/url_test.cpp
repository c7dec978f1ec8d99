#include "runtime/download/url.h"

#include <gtest/gtest.h>

#include "runtime/download/redirect.h"

namespace tavrel::download {
namespace {

TEST(ParseUrl, SchemesHostsPortsAndPaths) {
  struct Row {
    const char* address;
    bool ok;
    Scheme scheme = Scheme::kHttp;
    const char* hostPart = "";
    const char* host = "";
    int port = 0;
    const char* path = "";
  };
  const Row rows[] = {
      {"http://download.example:88/jdk-8u271-windows-x64.exe", true, Scheme::kHttp, "download.example:88",
       "download.example", 88, "/jdk-8u271-windows-x64.exe"},
      {"HTTP://Host/Path/File.EXE", true, Scheme::kHttp, "Host", "Host", 80, "/Path/File.EXE"},
      {"ftp://user:pw@files.example/pub/a.zip", true, Scheme::kFtp, "user:pw@files.example", "files.example", 21,
       "/pub/a.zip"},
      {"ftp://user:p:w@files.example:2121/a", true, Scheme::kFtp, "user:p:w@files.example:2121", "files.example", 2121,
       "/a"},
      {"mms://media.example/live", true, Scheme::kMms, "media.example", "media.example", 1755, "/live"},
      {"mmst://media.example/live", true, Scheme::kMms, "media.example", "media.example", 1755, "/live"},
      {"rtsp://media.example/a.rm", true, Scheme::kRtsp, "media.example", "media.example", 554, "/a.rm"},
      {"http://[::1]:8080/x", true, Scheme::kHttp, "[::1]:8080", "::1", 8080, "/x"},
      {"http://h/", true, Scheme::kHttp, "h", "h", 80, "/"},
      {"http://h/a b?c=d", true, Scheme::kHttp, "h", "h", 80, "/a b?c=d"},
      {"http://host", false},     // no path
      {"http:///path", false},    // empty host
      {"https://host/x", false},  // unknown scheme
      {"gopher://host/x", false},
      {"host/x", false},
      {"http://host:/x", false},  // empty port
      {"http://host:0/x", false},
      {"http://host:65536/x", false},
      {"http://host:8a/x", false},
      {"http://user@:80/x", false},  // nothing left of the host
      {"", false},
  };
  for (const auto& r : rows) {
    auto url = ParseUrl(r.address);
    ASSERT_EQ(url.has_value(), r.ok) << r.address;
    if (!r.ok) continue;
    EXPECT_EQ(url->scheme, r.scheme) << r.address;
    EXPECT_EQ(url->hostPart, r.hostPart) << r.address;
    EXPECT_EQ(url->host, r.host) << r.address;
    EXPECT_EQ(url->port, r.port) << r.address;
    EXPECT_EQ(url->path, r.path) << r.address;
  }
}

TEST(ParseUrl, CredentialsBeforeTheHost) {
  auto url = ParseUrl("ftp://joe:secret@h:21/f");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->user, "joe");
  EXPECT_EQ(url->password, "secret");
}

TEST(DecodePercentEscapes, DecodesOnlyWholeEscapes) {
  const std::pair<const char*, const char*> rows[] = {
      {"a%20b", "a b"}, {"%41%62", "Ab"}, {"100%", "100%"}, {"%2", "%2"},
      {"%zz", "%zz"},   {"%2f", "/"},     {"", ""},         {"%E4%B8%AD", "\xE4\xB8\xAD"},
  };
  for (auto [in, out] : rows) EXPECT_EQ(DecodePercentEscapes(in), out) << in;
}

TEST(FollowLocation, FullAddressesPathsAndRefusals) {
  auto current = *ParseUrl("http://a.example:88/dir/sub/file.exe");
  struct Row {
    const char* location;
    bool ok;
    const char* hostPart = "";
    int port = 0;
    const char* path = "";
    const char* referer = "";
  };
  const Row rows[] = {
      {"http://b.example:9090/x/y.exe", true, "b.example:9090", 9090, "/x/y.exe", "http://b.example:9090/x"},
      {"HTTP://b.example/y.exe", true, "b.example", 80, "/y.exe", "HTTP://b.example"},
      {"/other/z.exe", true, "a.example:88", 88, "/other/z.exe", "http://a.example:88/other"},
      {"z.exe", true, "a.example:88", 88, "/dir/sub/z.exe", "http://a.example:88/dir/sub"},
      {"more/z.exe", true, "a.example:88", 88, "/dir/sub/more/z.exe", "http://a.example:88/dir/sub/more"},
      {"//c.example/q", true, "c.example", 80, "/q", "http://c.example"},
      {"/frag.exe#part", true, "a.example:88", 88, "/frag.exe", "http://a.example:88"},
      {"ftp://b.example/y.exe", false},
      {"https://b.example/y.exe", false},
      {"mms://b.example/y", false},
      {"http://b.example", false},  // no path
      {"", false},
      {"/a\r\nX-Injected: 1", false},
      {"/a\nb", false},
  };
  for (const auto& r : rows) {
    auto next = FollowLocation(current, r.location);
    ASSERT_EQ(next.has_value(), r.ok) << r.location;
    if (!r.ok) continue;
    EXPECT_EQ(next->url.hostPart, r.hostPart) << r.location;
    EXPECT_EQ(next->url.port, r.port) << r.location;
    EXPECT_EQ(next->url.path, r.path) << r.location;
    EXPECT_EQ(next->referer, r.referer) << r.location;
  }
}

}  // namespace
}  // namespace tavrel::download

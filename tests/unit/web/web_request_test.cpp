#include "web/web_request.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/support/fake_wininet.h"

namespace tavrel {
namespace {

using testing::FakeWinInet;
using testing::ScopedWinInet;

constexpr std::uint32_t kBaseFlags = 0x80000010;  // reload | need file
constexpr std::uint32_t kSecure = 0x800000;
constexpr std::uint32_t kIgnoreRedirectToHttps = 0x4000;
constexpr std::uint32_t kNoCookies = 0x80000;
constexpr std::uint32_t kNoAutoRedirect = 0x200000;
const Text kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::string AsString(const ByteSet& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(WebRequest, OnlyAnHttpsUrlMakesTheUpdateCheckRequest) {
  FakeWinInet fake;
  fake.body = "1";
  fake.rawHeaders = "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n";
  ScopedWinInet scope(fake);

  const Text url = "https://api.example/api/update/checkupdate?version=1.5.0.5";
  EXPECT_EQ(AsString(WebRequest(url)), "1");

  ASSERT_EQ(fake.opens.size(), 1u);
  EXPECT_EQ(fake.opens[0].agent, kDefaultAgent);
  EXPECT_EQ(fake.opens[0].accessType, 1u);
  EXPECT_EQ(fake.opens[0].proxy, std::nullopt);
  EXPECT_EQ(fake.opens[0].bypass, std::nullopt);
  EXPECT_EQ(fake.opens[0].flags, 0u);

  ASSERT_EQ(fake.connects.size(), 1u);
  const auto& c = fake.connects[0];
  EXPECT_EQ(c.internet, FakeWinInet::kInternet);
  EXPECT_EQ(c.host, "api.example");
  EXPECT_EQ(c.port, 443);
  EXPECT_TRUE(c.userNull);
  EXPECT_TRUE(c.passwordNull);
  EXPECT_EQ(c.service, 3u);
  EXPECT_EQ(c.flags, 0u);
  EXPECT_EQ(c.context, 0u);

  ASSERT_EQ(fake.openRequests.size(), 1u);
  const auto& r = fake.openRequests[0];
  EXPECT_EQ(r.connection, FakeWinInet::kConnection);
  EXPECT_EQ(r.verb, "GET");
  EXPECT_EQ(r.object, "/api/update/checkupdate?version=1.5.0.5");
  EXPECT_EQ(r.version, "HTTP/1.1");
  EXPECT_TRUE(r.referrerNull);
  EXPECT_TRUE(r.acceptTypesNull);
  EXPECT_EQ(r.flags, kBaseFlags | kSecure);
  EXPECT_EQ(r.context, 0u);

  EXPECT_EQ(fake.securityFlagsSet, std::vector<std::uint32_t>{0x1F380});
  ASSERT_EQ(fake.sends.size(), 1u);
  EXPECT_EQ(fake.sends[0].headers, "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn");
  EXPECT_EQ(fake.sends[0].headersLength, fake.sends[0].headers->size());
  EXPECT_EQ(fake.sends[0].body, std::nullopt);
  EXPECT_EQ(fake.sends[0].bodyLength, 0u);

  EXPECT_EQ(fake.queryLevels, std::vector<std::uint32_t>{22});
  EXPECT_EQ(fake.queryLengths, std::vector<std::uint32_t>{5000});
  EXPECT_EQ(fake.closed,
            (std::vector<InternetHandle>{FakeWinInet::kRequest, FakeWinInet::kConnection, FakeWinInet::kInternet}));
  EXPECT_EQ(fake.sequence, (std::vector<std::string>{"Open", "Connect", "OpenRequest", "SetOption", "Send", "Read",
                                                     "Read", "QueryInfo", "Close", "Close", "Close"}));
}

TEST(WebRequest, RequestFlagsForEachArgumentCombination) {
  struct Row {
    Text url;
    bool cookiesGiven;
    bool noRedirect;
    std::uint32_t flags;
  };
  const Row rows[] = {
      {"https://srv/x", false, false, kBaseFlags | kSecure},
      {"HTTPS://Host/x", false, false, kBaseFlags | kSecure},
      {"http://srv/x", false, false, kBaseFlags | kIgnoreRedirectToHttps},
      {"srv/x", false, false, kBaseFlags | kIgnoreRedirectToHttps},
      {"https://srv/x", true, false, kBaseFlags | kSecure | kNoCookies},
      {"http://srv/x", true, false, kBaseFlags | kIgnoreRedirectToHttps | kNoCookies},
      {"https://srv/x", false, true, kBaseFlags | kSecure | kNoAutoRedirect},
      {"http://srv/x", false, true, kBaseFlags | kIgnoreRedirectToHttps | kNoAutoRedirect},
      {"https://srv/x", true, true, kBaseFlags | kSecure | kNoCookies | kNoAutoRedirect},
      {"http://srv/x", true, true, kBaseFlags | kIgnoreRedirectToHttps | kNoCookies | kNoAutoRedirect},
  };
  for (const auto& row : rows) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    Text cookies;  // given, and empty: still switches WinINet's cookies off
    WebRequestArgs args;
    if (row.cookiesGiven) args.cookies = &cookies;
    args.noRedirect = row.noRedirect;
    WebRequest(row.url, args);
    ASSERT_EQ(fake.openRequests.size(), 1u);
    EXPECT_EQ(fake.openRequests[0].flags, row.flags) << row.url << " " << row.cookiesGiven << row.noRedirect;
    EXPECT_EQ(fake.securityFlagsSet, std::vector<std::uint32_t>{0x1F380}) << row.url;
  }
}

TEST(WebRequest, MethodTableAndItsBounds) {
  const std::pair<std::int32_t, Text> rows[] = {
      {0, "GET"},   {1, "POST"},    {2, "HEAD"}, {3, "PUT"}, {4, "OPTIONS"}, {5, "DELETE"},
      {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"},  {9, "GET"}, {-1, "GET"},    {INT_MIN, "GET"},
  };
  for (const auto& [method, verb] : rows) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    WebRequest("http://srv/", {.method = method, .postText = "k=v"});
    ASSERT_EQ(fake.openRequests.size(), 1u);
    EXPECT_EQ(fake.openRequests[0].verb, verb) << method;
    // A method that falls back to GET sends no body either.
    ASSERT_EQ(fake.sends.size(), 1u);
    EXPECT_EQ(fake.sends[0].body.has_value(), verb != "GET") << method;
  }
}

TEST(WebRequest, HeaderTextByteExact) {
  const Text url = "http://srv/a?b=1";
  const Text defaults = "Accept: */*\r\nReferer: http://srv/a?b=1\r\nAccept-Language: zh-cn";
  const Text form = "\r\nContent-Type: application/x-www-form-urlencoded";
  struct Row {
    const char* what;
    WebRequestArgs args;
    std::optional<Text> cookies;
    std::optional<Text> sent;
  };
  const Row rows[] = {
      {"defaults", {}, std::nullopt, defaults},
      {"post adds a content type", {.method = 1}, std::nullopt, defaults + form},
      {"put has no default content type", {.method = 3}, std::nullopt, defaults},
      {"given content type kept",
       {.method = 1, .headers = "content-type: text/plain"},
       std::nullopt,
       "Content-Type: text/plain\r\n" + defaults},
      {"substring test",
       {.headers = "X-Accept: 1"},
       std::nullopt,
       "X-Accept: 1\r\nReferer: http://srv/a?b=1\r\nAccept-Language: zh-cn"},
      {"referer in any case",
       {.headers = "referer: r", .normalizeHeaders = false},
       std::nullopt,
       "referer: r\r\nAccept: */*\r\nAccept-Language: zh-cn"},
      {"lines without colon dropped", {.headers = "garbage\r\nx-y: 1\r\n"}, std::nullopt, "X-Y: 1\r\n" + defaults},
      {"normalised, stray line dropped", {.headers = "x-y: 1\r\nz"}, std::nullopt, "X-Y: 1\r\n" + defaults},
      {"normalisation off keeps text",
       {.headers = "x-y: 1\r\nz", .normalizeHeaders = false},
       std::nullopt,
       "x-y: 1\r\nz\r\n" + defaults},
      {"no defaults, nothing else", {.addDefaultHeaders = false}, std::nullopt, std::nullopt},
      {"no defaults, cookie only", {.addDefaultHeaders = false}, "a=1", "\r\nCookie: a=1"},
      {"cookie line given whole", {}, "Cookie: a=1", defaults + "\r\nCookie: a=1"},
      {"cookie name in lower case", {}, "cookie: a=1", defaults + "\r\nCookie: cookie: a=1"},
      {"empty cookies add no line", {}, "", defaults},
      {"user agent line stays", {.headers = "user-agent: Foo"}, std::nullopt, "User-Agent: Foo\r\n" + defaults},
      {"all defaults present",
       {.method = 1, .headers = "Accept: a\r\nReferer: r\r\nAccept-Language: en\r\nContent-Type: t"},
       std::nullopt,
       "Accept: a\r\nReferer: r\r\nAccept-Language: en\r\nContent-Type: t"},
  };
  for (const auto& row : rows) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    WebRequestArgs args = row.args;
    Text cookies = row.cookies.value_or("");
    if (row.cookies) args.cookies = &cookies;
    WebRequest(url, args);
    ASSERT_EQ(fake.sends.size(), 1u) << row.what;
    EXPECT_EQ(fake.sends[0].headers, row.sent) << row.what;
    EXPECT_EQ(fake.sends[0].headersLength, row.sent ? row.sent->size() : 0u) << row.what;
  }
}

TEST(WebRequest, UserAgentFoundThreeWays) {
  struct Row {
    Text headers;
    bool normalize;
    std::optional<Text> agent;
  };
  const Row rows[] = {
      {"", true, kDefaultAgent},
      {"Accept: x", true, kDefaultAgent},
      {"user-agent: Foo", true, "Foo"},  // cut out between name and line end
      {"Accept: a\r\nUser-Agent:  Bar \r\nX-B: c", true, "Bar"},
      {"user-agent: Foo", false, "Foo"},  // value after the first colon
      {"Accept: x\r\nUSER-AGENT: Foo", false, "x\r\nUSER-AGENT: Foo"},
      {"User-Agent:   ", true, std::nullopt},  // blank: passed as none
      {"User-Agent: \xD6\xD0\xCE\xC4", true, "\xD6\xD0\xCE\xC4"},
  };
  for (const auto& row : rows) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    WebRequest("http://srv/", {.headers = row.headers, .normalizeHeaders = row.normalize});
    ASSERT_EQ(fake.opens.size(), 1u);
    EXPECT_EQ(fake.opens[0].agent, row.agent) << row.headers;
  }
}

TEST(WebRequest, ProxyChoosesAccessType) {
  struct Row {
    Text url, proxy;
    std::uint32_t accessType;
    std::optional<Text> proxyText, bypass;
  };
  const Row rows[] = {
      {"http://srv/", "", 1, std::nullopt, std::nullopt},
      {"https://srv/", "", 1, std::nullopt, std::nullopt},
      {"https://srv/", "127.0.0.1:3128", 3, "127.0.0.1:3128", ""},
      {"http://srv/", "127.0.0.1:3128", 3, "http=127.0.0.1:3128", ""},
  };
  for (const auto& row : rows) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    WebRequest(row.url, {.proxy = row.proxy});
    ASSERT_EQ(fake.opens.size(), 1u);
    EXPECT_EQ(fake.opens[0].accessType, row.accessType) << row.url << row.proxy;
    EXPECT_EQ(fake.opens[0].proxy, row.proxyText) << row.url << row.proxy;
    EXPECT_EQ(fake.opens[0].bypass, row.bypass) << row.url << row.proxy;
  }
}

TEST(WebRequest, HostPortAndPathFromTheUrl) {
  const std::tuple<Text, Text, std::uint16_t, Text> rows[] = {
      {"HTTPS://Srv:8443/A/b?c=D", "srv", 8443, "/A/b?c=D"},
      {"http://127.0.0.1:88/jdk.exe", "127.0.0.1", 88, "/jdk.exe"},
      {"http://srv", "srv", 80, "/"},
  };
  for (const auto& [url, host, port, path] : rows) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    WebRequest(url);
    EXPECT_EQ(fake.connects.at(0).host, host) << url;
    EXPECT_EQ(fake.connects.at(0).port, port) << url;
    EXPECT_EQ(fake.openRequests.at(0).object, path) << url;
  }
  // A port that 16 bits cannot hold, or none at all, is no address: nothing
  // is opened.
  for (const Text url :
       {"http://srv:65616/x", "http://srv:65536/", "http://srv:-1/", "http://srv:0/", "http://srv:abc/"}) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    Text headers = "untouched";
    WebRequestArgs args;
    args.responseHeaders = &headers;
    EXPECT_TRUE(WebRequest(url, args).empty()) << url;
    EXPECT_TRUE(fake.sequence.empty()) << url;
    EXPECT_EQ(headers, "untouched") << url;
  }
  FakeWinInet highest;
  ScopedWinInet scope(highest);
  WebRequest("http://srv:65535/");
  EXPECT_EQ(highest.connects.at(0).port, 65535);
}

// Time-outs bound each phase only when the caller asks, on the request.
TEST(WebRequest, PhaseTimeoutsOnlyWhenGiven) {
  using Option = FakeWinInet::OptionCall;
  constexpr auto kRequest = FakeWinInet::kRequest;
  const std::pair<std::uint32_t, std::vector<Option>> rows[] = {
      {0, {}},
      {5000, {{kRequest, 3, 1}, {kRequest, 2, 5000}, {kRequest, 5, 5000}, {kRequest, 6, 5000}}},
  };
  for (const auto& [timeout, expected] : rows) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    WebRequestArgs args;
    args.phaseTimeoutMs = timeout;
    WebRequest("https://srv/", args);
    EXPECT_EQ(fake.options, expected) << timeout;
  }
}

TEST(WebRequest, RequestBodies) {
  struct Row {
    const char* what;
    std::int32_t method;
    Text postText;
    std::optional<ByteSet> postBytes;  // nullopt: not given
    std::optional<std::string> sentBody;
    std::optional<std::string> postBytesAfter;
  };
  const Row rows[] = {
      {"post text into post bytes", 1, "k=v", ByteSet{}, "k=v", "k=v"},
      {"post bytes win", 1, "k=v", ByteSet{'x', 0, 'y'}, std::string("x\0y", 3), std::string("x\0y", 3)},
      {"get sends nothing", 0, "k=v", ByteSet{}, std::nullopt, ""},
      {"get ignores post bytes", 0, "", ByteSet{'a'}, std::nullopt, "a"},
      {"head sends a body too", 2, "h", std::nullopt, "h", std::nullopt},
      {"post without any body", 1, "", ByteSet{}, std::nullopt, ""},
  };
  for (const auto& row : rows) {
    FakeWinInet fake;
    ScopedWinInet scope(fake);
    ByteSet postBytes = row.postBytes.value_or(ByteSet{});
    WebRequestArgs args{.method = row.method, .postText = row.postText};
    if (row.postBytes) args.postBytes = &postBytes;
    WebRequest("http://srv/form", args);
    ASSERT_EQ(fake.sends.size(), 1u) << row.what;
    EXPECT_EQ(fake.sends[0].body, row.sentBody) << row.what;
    EXPECT_EQ(fake.sends[0].bodyLength, row.sentBody ? row.sentBody->size() : 0u) << row.what;
    if (row.postBytesAfter) {
      EXPECT_EQ(AsString(postBytes), *row.postBytesAfter) << row.what;
    }
  }
}

TEST(WebRequest, BodyReadWholeInChunksWithZeroBytes) {
  const std::uint32_t limits[] = {1024, 700, 1, ~0u};
  for (std::uint32_t limit : limits) {
    FakeWinInet fake;
    for (int i = 0; i < 5000; ++i) fake.body.push_back(static_cast<char>(i * 7 % 256));
    fake.readLimit = limit;
    ScopedWinInet scope(fake);
    EXPECT_EQ(AsString(WebRequest("http://srv/big")), fake.body) << limit;
    for (std::uint32_t asked : fake.readSizes) EXPECT_EQ(asked, 1024u);
  }
}

TEST(WebRequest, ResponseHeadersAndSetCookieCollection) {
  FakeWinInet fake;
  fake.rawHeaders =
      "HTTP/1.1 200 OK\r\n"
      "Set-Cookie: sid=abc; Path=/\r\n"
      "set-cookie: lower=ignored\r\n"
      "SET-COOKIE: upper=ignored\r\n"
      "Set-Cookie: lang=zh\r\n"
      "Set-Cookie:nospace=ignored\r\n"
      "Set-Cookie:  pad=1  ; HttpOnly\r\n"
      "X-Set-Cookie: x=ignored\r\n"
      "Content-Length: 0\r\n\r\n";
  ScopedWinInet scope(fake);
  Text responseHeaders = "old";
  Text newCookies = "old";
  WebRequest("http://srv/", {.newCookies = &newCookies, .responseHeaders = &responseHeaders});
  EXPECT_EQ(responseHeaders, fake.rawHeaders);
  EXPECT_EQ(newCookies, "sid=abc; lang=zh; pad=1");
}

TEST(WebRequest, ReceivedCookiesMergedIntoTheCallers) {
  struct Row {
    const char* what;
    std::optional<Text> cookies;  // nullopt: not given
    bool merge;
    Text newCookies, cookiesAfter;
  };
  const Row rows[] = {
      {"merged", "a=1; b=2", true, "b=3; a=1", "b=3; a=1"},
      {"merge off", "a=1; b=2", false, "b=3", "a=1; b=2"},
      {"given empty still merges", "", true, "b=3", "b=3"},
      {"not given", std::nullopt, true, "b=3", ""},
  };
  for (const auto& row : rows) {
    FakeWinInet fake;
    fake.rawHeaders = "HTTP/1.1 302 Found\r\nSet-Cookie: b=3; Path=/\r\nLocation: /x\r\n\r\n";
    ScopedWinInet scope(fake);
    Text cookies = row.cookies.value_or("");
    Text newCookies;
    WebRequestArgs args{.newCookies = &newCookies, .mergeCookies = row.merge};
    if (row.cookies) args.cookies = &cookies;
    WebRequest("http://srv/", args);
    EXPECT_EQ(newCookies, row.newCookies) << row.what;
    EXPECT_EQ(cookies, row.cookiesAfter) << row.what;
  }
}

TEST(WebRequest, FailuresCloseWhatWasOpenedAndLeaveOutputs) {
  enum class Fail { kOpen, kConnect, kOpenRequest };
  struct Row {
    Fail fail;
    std::vector<InternetHandle> closed;
  };
  const Row rows[] = {
      {Fail::kOpen, {}},
      {Fail::kConnect, {FakeWinInet::kInternet}},
      {Fail::kOpenRequest, {FakeWinInet::kConnection, FakeWinInet::kInternet}},
  };
  for (const auto& row : rows) {
    FakeWinInet fake;
    fake.body = "never read";
    fake.failOpen = row.fail == Fail::kOpen;
    fake.failConnect = row.fail == Fail::kConnect;
    fake.failOpenRequest = row.fail == Fail::kOpenRequest;
    ScopedWinInet scope(fake);
    Text cookies = "a=1", newCookies = "n", responseHeaders = "h";
    ByteSet postBytes;
    const ByteSet body = WebRequest("http://srv/", {.method = 1,
                                                    .postText = "p",
                                                    .cookies = &cookies,
                                                    .newCookies = &newCookies,
                                                    .responseHeaders = &responseHeaders,
                                                    .postBytes = &postBytes});
    const int at = static_cast<int>(row.fail);
    EXPECT_TRUE(body.empty()) << at;
    EXPECT_EQ(fake.closed, row.closed) << at;
    EXPECT_TRUE(fake.sends.empty()) << at;
    EXPECT_EQ(cookies, "a=1") << at;
    EXPECT_EQ(newCookies, "n") << at;
    EXPECT_EQ(responseHeaders, "h") << at;
    EXPECT_TRUE(postBytes.empty()) << at;
  }
}

TEST(WebRequest, FailedSendLeavesSpacesAndEmptyBody) {
  const std::pair<std::optional<Text>, Text> rows[] = {{std::nullopt, ""}, {"a=1; b=2", "a=1; b=2"}};
  for (const auto& [given, expectedNew] : rows) {
    FakeWinInet fake;
    fake.failSend = true;
    fake.rawHeaders = "HTTP/1.1 200 OK\r\nSet-Cookie: z=9\r\n\r\n";
    ScopedWinInet scope(fake);
    Text cookies = given.value_or("");
    Text newCookies = "n", responseHeaders;
    WebRequestArgs args{.newCookies = &newCookies, .responseHeaders = &responseHeaders};
    if (given) args.cookies = &cookies;
    EXPECT_TRUE(WebRequest("http://127.0.0.1:1/", args).empty());
    EXPECT_EQ(responseHeaders, Text(5000, ' '));
    EXPECT_EQ(newCookies, expectedNew);
    EXPECT_EQ(cookies, given.value_or(""));
    EXPECT_EQ(fake.closed.size(), 3u);
  }
}

TEST(WebRequest, HeaderBlockLargerThanTheFirstBufferIsStillRead) {
  FakeWinInet fake;
  fake.rawHeaders = "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(6000, 'p') + "\r\nSet-Cookie: big=1; Path=/\r\n\r\n";
  ScopedWinInet scope(fake);
  Text responseHeaders, newCookies;
  WebRequest("http://srv/", {.newCookies = &newCookies, .responseHeaders = &responseHeaders});
  EXPECT_EQ(responseHeaders, fake.rawHeaders);
  EXPECT_EQ(newCookies, "big=1");
  ASSERT_EQ(fake.queryLengths.size(), 2u);
  EXPECT_EQ(fake.queryLengths[0], 5000u);
  EXPECT_GT(fake.queryLengths[1], fake.rawHeaders.size());
}

TEST(WebRequest, HeaderBlockExactlyFillingTheBuffer) {
  // 4999 bytes and the terminator fit; one byte more needs the second query.
  for (std::size_t size : {4999u, 5000u}) {
    FakeWinInet fake;
    fake.rawHeaders = "HTTP/1.1 200 OK\r\n";
    fake.rawHeaders += "X: " + std::string(size - fake.rawHeaders.size() - 7, 'q') + "\r\n\r\n";
    ASSERT_EQ(fake.rawHeaders.size(), size);
    ScopedWinInet scope(fake);
    Text responseHeaders;
    WebRequest("http://srv/", {.responseHeaders = &responseHeaders});
    EXPECT_EQ(responseHeaders, fake.rawHeaders) << size;
    EXPECT_EQ(fake.queryLengths.size(), size == 4999u ? 1u : 2u) << size;
  }
}

}  // namespace
}  // namespace tavrel

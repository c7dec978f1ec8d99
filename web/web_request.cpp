#include "web/web_request.h"

#include <cstring>
#include <utility>

#include "runtime/convert.h"
#include "runtime/text.h"
#include "web/cookies.h"
#include "web/header_text.h"
#include "web/url_parts.h"
#include "web/wininet_api.h"

namespace tavrel {
namespace {

constexpr const char* kMethods[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr std::int32_t kPost = 1;
constexpr TextView kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr TextView kLineBreak = "\r\n";

constexpr std::uint32_t kOpenTypeDirect = 1;
constexpr std::uint32_t kOpenTypeProxy = 3;
constexpr std::uint32_t kServiceHttp = 3;
constexpr std::uint32_t kFlagReload = 0x80000000;
constexpr std::uint32_t kFlagNeedFile = 0x10;
constexpr std::uint32_t kFlagNoCookies = 0x80000;
constexpr std::uint32_t kFlagNoAutoRedirect = 0x200000;
constexpr std::uint32_t kFlagSecure = 0x800000;
constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x4000;
constexpr std::uint32_t kOptionSecurityFlags = 31;
constexpr std::uint32_t kOptionConnectTimeout = 2;
constexpr std::uint32_t kOptionConnectRetries = 3;
constexpr std::uint32_t kOptionSendTimeout = 5;
constexpr std::uint32_t kOptionReceiveTimeout = 6;
constexpr std::int32_t kHighestPort = 65535;
// Revocation, unknown CA, wrong usage, CN and date invalid, redirects between
// HTTP and HTTPS, and 0x10000: any certificate is accepted.
constexpr std::uint32_t kIgnoreAllCertificateErrors = 0x1F380;
constexpr std::uint32_t kQueryRawHeadersCrLf = 22;
constexpr std::uint32_t kReadChunk = 1024;
constexpr std::uint32_t kHeaderBuffer = 5000;
// A header block larger than this is not worth holding.
constexpr std::uint32_t kHeaderBufferLimit = 1u << 20;

const char* TextOrNone(const Text& text) { return text.empty() ? nullptr : text.c_str(); }

Text ChooseAgent(const Text& headers) {
  if (FindText(headers, "User-Agent:", 1, 1) == -1) return Text(kDefaultAgent);
  Text agent = TrimSpaces(TextBetween(ConcatText({headers, kLineBreak}), "User-Agent:", kLineBreak));
  // Another spelling of the name, or a blank value.
  if (agent.empty()) agent = ValueAfterColon(headers);
  return agent;
}

void AppendLine(Text& headers, TextView line) {
  headers += kLineBreak;
  headers += line;
}

void AddDefaultHeaders(Text& headers, TextView url, std::int32_t method) {
  // Substring tests, not anchored at a line start: "X-Accept:" also counts.
  if (headers.empty()) headers = "Accept: */*";
  if (FindText(headers, "Accept:", 1, 1) == -1) AppendLine(headers, "Accept: */*");
  if (FindText(headers, "Referer:", 1, 1) == -1) AppendLine(headers, ConcatText({"Referer: ", url}));
  if (FindText(headers, "Accept-Language:", 1, 1) == -1) AppendLine(headers, "Accept-Language: zh-cn");
  if (method == kPost && FindText(headers, "Content-Type:", 1, 1) == -1) {
    AppendLine(headers, "Content-Type: application/x-www-form-urlencoded");
  }
}

void AddCookieHeader(Text& headers, const Text* cookies) {
  if (cookies == nullptr || cookies->empty()) return;
  if (FindText(*cookies, "Cookie:") != -1) {
    AppendLine(headers, *cookies);  // the caller wrote the whole line
  } else {
    AppendLine(headers, ConcatText({"Cookie: ", *cookies}));
  }
}

ByteSet ReadBody(WinInetApi& api, InternetHandle request) {
  // One growing buffer: appending chunk by chunk stays linear in the body size.
  ByteSet body;
  std::uint8_t chunk[kReadChunk] = {};
  for (;;) {
    std::uint32_t count = 0;
    api.Read(request, chunk, kReadChunk, &count);
    if (count == 0) break;
    if (count > kReadChunk) count = kReadChunk;
    body.insert(body.end(), chunk, chunk + count);
  }
  return body;
}

// The raw header block, or 5000 spaces when the query fails. A block larger
// than the first buffer is read again into a buffer of the size the platform
// asks for, so that its Set-Cookie lines are not lost.
Text ReadRawHeaders(WinInetApi& api, InternetHandle request) {
  std::uint32_t capacity = kHeaderBuffer;
  for (int attempt = 0; attempt < 2; ++attempt) {
    Text buffer = SpaceText(static_cast<std::int32_t>(capacity));
    std::uint32_t length = capacity;
    if (api.QueryInfo(request, kQueryRawHeadersCrLf, buffer.data(), &length, nullptr)) {
      buffer.resize(strnlen(buffer.data(), capacity));
      return buffer;
    }
    if (length <= capacity || length >= kHeaderBufferLimit) break;
    capacity = length + 1;
  }
  return SpaceText(kHeaderBuffer);
}

Text CollectSetCookies(const Text& responseHeaders) {
  Text cookies;
  for (const Text& line : SplitText(responseHeaders, kLineBreak)) {
    if (TextBefore(line, ": ") != "Set-Cookie") continue;
    Text value;
    if (FindText(line, ";") != -1) {
      value = TrimSpaces(TextBetween(line, "Set-Cookie:", ";"));  // without its attributes
    } else {
      value = TrimSpaces(ReplaceText(line, "Set-Cookie:"));
    }
    cookies += value;
    cookies += "; ";
  }
  return TextLeft(cookies, TextLength(cookies) - 2);
}

// Set on the request itself: not every WinINet passes an internet handle's
// time-outs on to the requests made under it.
void SetTimeouts(WinInetApi& api, InternetHandle request, std::uint32_t timeoutMs) {
  const std::uint32_t oneAttempt = 1;
  api.SetOption(request, kOptionConnectRetries, &oneAttempt, sizeof oneAttempt);
  for (std::uint32_t option : {kOptionConnectTimeout, kOptionSendTimeout, kOptionReceiveTimeout})
    api.SetOption(request, option, &timeoutMs, sizeof timeoutMs);
}

}  // namespace

ByteSet WebRequest(TextView url, const WebRequestArgs& args) {
  WinInetApi& api = g_winInetSeam.Current();
  // Cut to 16 bits, ":65616" would reach port 80 and ":-1" port 65535.
  const std::int32_t port = UrlPort(url);
  if (port < 1 || port > kHighestPort) return {};

  Text headers = args.normalizeHeaders ? NormalizeHeaderNames(args.headers) : Text(args.headers);
  const std::int32_t method = (args.method < 0 || args.method > 7) ? 0 : args.method;
  const bool https = ToLower(TextLeft(url, 8)) == "https://";
  const Text agent = ChooseAgent(headers);

  ByteSet localPostBytes;
  ByteSet& postBytes = args.postBytes ? *args.postBytes : localPostBytes;
  Text localResponseHeaders;
  Text& responseHeaders = args.responseHeaders ? *args.responseHeaders : localResponseHeaders;

  ByteSet body;
  {
    const Text proxy(args.proxy);
    const Text httpProxy = ConcatText({"http=", proxy});
    UniqueInternetHandle internet(proxy.empty() ? api.Open(TextOrNone(agent), kOpenTypeDirect, nullptr, nullptr, 0)
                                  : https       ? api.Open(TextOrNone(agent), kOpenTypeProxy, proxy.c_str(), "", 0)
                                          : api.Open(TextOrNone(agent), kOpenTypeProxy, httpProxy.c_str(), "", 0));
    if (!internet) return {};

    const Text host = UrlHost(url);
    UniqueInternetHandle connection(api.Connect(internet.Get(), host.c_str(), static_cast<std::uint16_t>(port), nullptr,
                                                nullptr, kServiceHttp, 0, 0));
    if (!connection) return {};

    const Text path = UrlPath(url);
    std::uint32_t flags = kFlagReload | kFlagNeedFile;
    if (args.cookies) flags |= kFlagNoCookies;
    if (args.noRedirect) flags |= kFlagNoAutoRedirect;
    flags |= https ? kFlagSecure : kFlagIgnoreRedirectToHttps;
    UniqueInternetHandle request(
        api.OpenRequest(connection.Get(), kMethods[method], path.c_str(), "HTTP/1.1", nullptr, nullptr, flags, 0));
    if (!request) return {};

    const std::uint32_t securityFlags = kIgnoreAllCertificateErrors;
    api.SetOption(request.Get(), kOptionSecurityFlags, &securityFlags, sizeof securityFlags);
    if (args.phaseTimeoutMs != 0) SetTimeouts(api, request.Get(), args.phaseTimeoutMs);

    if (args.addDefaultHeaders) AddDefaultHeaders(headers, url, method);
    AddCookieHeader(headers, args.cookies);

    const auto headersLength = static_cast<std::uint32_t>(headers.size());
    if (method == 0) {
      api.SendRequest(request.Get(), TextOrNone(headers), headersLength, nullptr, 0);
    } else {
      if (postBytes.empty()) postBytes = ToByteSet(args.postText);
      api.SendRequest(request.Get(), TextOrNone(headers), headersLength, postBytes.empty() ? nullptr : postBytes.data(),
                      static_cast<std::uint32_t>(postBytes.size()));
    }

    body = ReadBody(api, request.Get());
    responseHeaders = ReadRawHeaders(api, request.Get());
  }  // request, connection and internet handle close here, in that order

  Text received = CollectSetCookies(responseHeaders);
  if (args.mergeCookies && args.cookies) received = MergeCookies(*args.cookies, received);
  if (args.newCookies) *args.newCookies = std::move(received);
  return body;
}

}  // namespace tavrel

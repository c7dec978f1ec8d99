#include "web/url_parts.h"

#include "runtime/convert.h"
#include "runtime/text.h"
#include "web/header_text.h"

namespace tavrel {

Text UrlHost(TextView url, bool keepPort) {
  Text u = ToLower(url);
  if (TextRight(u, 1) != "/") u += '/';
  Text host;
  if (TextLeft(u, 8) == "https://") {
    host = TextBetween(u, "https://", "/");
  } else {
    if (FindText(u, "http://") == -1) u = ConcatText({"http://", u});
    host = TextBetween(u, "http://", "/");
  }
  if (keepPort) return host;
  const std::int32_t colon = FindText(host, ":");
  return colon == -1 ? host : TextLeft(host, colon - 1);
}

std::int32_t UrlPort(TextView url) {
  const Text host = UrlHost(url, true);
  const std::int32_t colon = FindTextLast(host, ":");
  if (colon != -1) return ToInteger(TextMid(host, colon + 1, TextLength(host) - colon));
  return ToLower(TextLeft(url, 5)) == "https" ? 443 : 80;
}

Text UrlPath(TextView url) {
  const Text host = UrlHost(url);
  // The host is looked for behind the scheme, so that a host name that also
  // occurs inside "https://" (such as "s" or "tp") is not found there.
  const Text scheme = ToLower(TextLeft(url, 8));
  const std::int32_t searchFrom = scheme == "https://" ? 9 : TextLeft(scheme, 7) == "http://" ? 8 : 1;
  const std::int32_t hostAt = FindText(url, host, searchFrom, 1);
  const std::int32_t slash = FindText(url, "/", hostAt);
  if (slash > 0) return TextMid(url, slash, TextLength(url) - slash + 1);
  return "/";
}

}  // namespace tavrel

// URL host, port and path, header-name letter case and the marker cuts of
// the web request.
#include "runtime/text.h"
#include "support/fuzz_input.h"
#include "web/header_text.h"
#include "web/url_parts.h"

using namespace tavrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = tavrel::fuzz::Parts(data, size, 4);
  const Text& url = parts[0];

  const Text host = UrlHost(url);
  const Text hostAndPort = UrlHost(url, true);
  FUZZ_CHECK(hostAndPort.compare(0, host.size(), host) == 0);
  FUZZ_CHECK(FindText(host, ":") == -1 && FindText(hostAndPort, "/") == -1);
  FUZZ_CHECK(host == ToLower(host) && (ToLower(url) + "/").find(hostAndPort) != Text::npos);
  const std::int32_t port = UrlPort(url);
  if (FindText(hostAndPort, ":") == -1) FUZZ_CHECK(port == 80 || port == 443);
  const Text path = UrlPath(url);
  FUZZ_CHECK(path == "/" || (path.front() == '/' && url.size() >= path.size() &&
                             url.compare(url.size() - path.size(), path.size(), path) == 0));

  // Lines are normalised one by one; only the letter case of a name changes,
  // and lines without a colon go.
  const Text& headers = parts[1];
  Text joined;
  for (const Text& line : SplitText(headers, TextView("\r\n"))) {
    const std::int32_t colon = FindText(line, ":");
    if (colon == -1) continue;
    const Text normal = NormalizeHeaderNames(line);
    FUZZ_CHECK(normal.size() == line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
      if (normal[i] != line[i])
        FUZZ_CHECK(i + 1 < static_cast<std::size_t>(colon) && line[i] >= 'a' && line[i] <= 'z' &&
                   normal[i] == line[i] - 32);
    joined += normal + "\r\n";
  }
  FUZZ_CHECK(NormalizeHeaderNames(headers) == TextLeft(joined, TextLength(joined) - 2));

  const Text& text = parts[2];
  const Text between = TextBetween(text, parts[3], parts[3]);
  FUZZ_CHECK(text.find(between) != Text::npos);
  const Text before = TextBefore(text, parts[3]);
  FUZZ_CHECK(text.compare(0, before.size(), before) == 0);
  const Text value = ValueAfterColon(text);
  FUZZ_CHECK(value.empty() || text.find(value) != Text::npos);
  return 0;
}

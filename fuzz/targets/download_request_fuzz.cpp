// The download address parser and the request built from it.
#include "runtime/download/url.h"
#include "support/request_check.h"

using namespace tavrel::download;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = tavrel::fuzz::Parts(data, size, 3);
  const std::string& address = parts[0];
  const auto url = ParseUrl(address);
  if (!url) return 0;
  FUZZ_CHECK(!url->hostPart.empty() && !url->host.empty() && url->port >= 1);
  FUZZ_CHECK(!url->path.empty() && url->path.front() == '/');
  FUZZ_CHECK(address.size() > url->hostPart.size() + url->path.size());
  FUZZ_CHECK(address.substr(address.size() - url->path.size()) == url->path);
  FUZZ_CHECK(address.find("://" + url->hostPart + url->path) != std::string::npos);
  FUZZ_CHECK(url->hostPart.find('/') == std::string::npos && url->hostPart.find(url->host) != std::string::npos);
  FUZZ_CHECK(HttpAddress(*url) == "http://" + url->hostPart + url->path);

  for (bool viaProxy : {false, true}) {
    RequestParts request;
    request.hostPart = url->hostPart;
    request.target = viaProxy ? address : url->path;
    request.referer = parts[1];
    request.extraLine = parts[2];
    request.viaProxy = viaProxy;
    if (const auto built = BuildGetRequest(request)) tavrel::fuzz::CheckRequest(*built, request);
  }
  return 0;
}

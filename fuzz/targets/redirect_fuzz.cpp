// Location values joined to the address being fetched.
#include "runtime/download/redirect.h"
#include "support/request_check.h"

using namespace tavrel::download;

namespace {

bool HasControlByte(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = tavrel::fuzz::Parts(data, size, 2);
  auto current = ParseUrl(parts[0]);
  // The address being fetched is the caller's, without a fragment; only the
  // server's Location is outside input here.
  if (!current || current->scheme != Scheme::kHttp || HasControlByte(parts[0]) ||
      parts[0].find('#') != std::string::npos)
    current = ParseUrl("http://127.0.0.1:88/jdk/8u271/jdk-8u271-windows-x64.exe");
  const std::string_view location = parts[1];
  const auto next = FollowLocation(*current, location);
  if (!next) return 0;
  const Url& url = next->url;
  FUZZ_CHECK(url.scheme == Scheme::kHttp && !url.host.empty() && url.port >= 1);
  FUZZ_CHECK(!url.path.empty() && url.path.front() == '/');
  FUZZ_CHECK(!HasControlByte(url.hostPart) && !HasControlByte(url.path) && !HasControlByte(next->referer));
  FUZZ_CHECK(StartsWithIgnoringCase(next->referer, "http://"));
  FUZZ_CHECK(url.path.find('#') == std::string::npos);
  // The fragment is dropped and nothing else of the Location is lost.
  const std::string_view kept = location.substr(0, location.find('#'));
  FUZZ_CHECK(kept.find(url.path) != std::string_view::npos || (HttpAddress(url).find(kept) != std::string::npos));

  RequestParts request{url.hostPart, url.path, next->referer, "", false};
  if (const auto built = BuildGetRequest(request)) tavrel::fuzz::CheckRequest(*built, request);
  return 0;
}

#include "runtime/download/redirect.h"

#include "runtime/download/http_message.h"

namespace tavrel::download {
namespace {

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// "name://" at the start, whatever the name.
bool HasScheme(std::string_view location) {
  std::size_t p = location.find("://");
  if (p == std::string_view::npos || p == 0) return false;
  for (std::size_t i = 0; i < p; ++i)
    if (!IsSchemeChar(location[i])) return false;
  return true;
}

}  // namespace

std::optional<RedirectTarget> FollowLocation(const Url& current, std::string_view location) {
  for (char c : location)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
  location = location.substr(0, location.find('#'));
  if (location.empty()) return std::nullopt;

  std::string absolute;
  if (StartsWithIgnoringCase(location, "http://")) {
    absolute = std::string(location);
  } else if (HasScheme(location)) {
    return std::nullopt;  // ftp:// and every other protocol
  } else if (location.substr(0, 2) == "//") {
    absolute = "http:" + std::string(location);
  } else if (location.front() == '/') {
    absolute = "http://" + current.hostPart + std::string(location);
  } else {
    std::string folder = current.path.substr(0, current.path.rfind('/') + 1);
    absolute = "http://" + current.hostPart + folder + std::string(location);
  }

  auto url = ParseUrl(absolute);
  if (!url || url->scheme != Scheme::kHttp) return std::nullopt;
  RedirectTarget target;
  target.referer = TextBeforeLastSlash(absolute);
  target.url = std::move(*url);
  return target;
}

}  // namespace tavrel::download

// Where a 301 or 302 answer sends the first connection next.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/download/url.h"

namespace tavrel::download {

inline constexpr int kMaxRedirects = 20;
// Longest cookie text sent back to the server.
inline constexpr std::size_t kMaxCookieBytes = 4086;

struct RedirectTarget {
  Url url;
  std::string referer;
};

// The next address for a Location value seen while fetching current; nothing
// when the Location is refused (another protocol, malformed, control bytes).
// A full http:// address replaces host, port and path; a path beginning with
// "/" replaces the path; any other text is taken relative to the current
// path's folder.
std::optional<RedirectTarget> FollowLocation(const Url& current, std::string_view location);

}  // namespace tavrel::download

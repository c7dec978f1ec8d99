// Splitting a URL into the host, port and object path that WinINet takes.
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace tavrel {

// The host in lower case, with its ":port" part only when keepPort is true.
// A URL without "http://" or "https://" is read as plain HTTP.
Text UrlHost(TextView url, bool keepPort = false);

// The explicit port, or 443 for an "https" URL and 80 otherwise. A port that
// does not begin with a number gives 0.
std::int32_t UrlPort(TextView url);

// The URL from the first "/" after the host to the end, in the caller's
// letter case with query and fragment, or "/".
Text UrlPath(TextView url);

}  // namespace tavrel

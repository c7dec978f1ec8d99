// Download addresses: scheme, host part, port and request path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrel::download {

enum class Scheme { kHttp, kFtp, kMms, kRtsp };

struct Url {
  Scheme scheme = Scheme::kHttp;
  // The text between the scheme and the first "/" after it, as written
  // (user, password, colon and port included): the Host header's value.
  std::string hostPart;
  // The host to resolve, without user, password, port or IPv6 brackets.
  std::string host;
  std::uint16_t port = 80;
  // From the first "/" after the host on, case kept.
  std::string path;
  std::string user;  // from "user:password@host", empty when absent
  std::string password;
};

std::uint16_t DefaultPort(Scheme scheme);

// Nothing for an unknown scheme, an empty host part, an address without a
// path, or a port that is not a number from 1 to 65535.
std::optional<Url> ParseUrl(std::string_view address);

// "http://" followed by the host part and the path.
std::string HttpAddress(const Url& url);

// Decodes %XX escapes; a "%" not followed by two hex digits stays as it is.
std::string DecodePercentEscapes(std::string_view text);

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tavrel::download

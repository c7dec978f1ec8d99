#include "runtime/download/url.h"

#include <array>

namespace tavrel::download {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint16_t> ParsePort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

std::uint16_t DefaultPort(Scheme scheme) {
  switch (scheme) {
    case Scheme::kHttp: return 80;
    case Scheme::kFtp: return 21;
    case Scheme::kMms: return 1755;
    case Scheme::kRtsp: return 554;
  }
  return 80;
}

std::optional<Url> ParseUrl(std::string_view address) {
  struct Prefix {
    std::string_view text;
    Scheme scheme;
  };
  static constexpr std::array<Prefix, 5> kPrefixes{{{"http://", Scheme::kHttp},
                                                    {"ftp://", Scheme::kFtp},
                                                    {"mms://", Scheme::kMms},
                                                    {"mmst://", Scheme::kMms},
                                                    {"rtsp://", Scheme::kRtsp}}};
  Url url;
  std::size_t rest = std::string_view::npos;
  for (const auto& p : kPrefixes) {
    if (StartsWithIgnoringCase(address, p.text)) {
      url.scheme = p.scheme;
      rest = p.text.size();
      break;
    }
  }
  if (rest == std::string_view::npos) return std::nullopt;

  std::size_t slash = address.find('/', rest);
  if (slash == std::string_view::npos || slash == rest) return std::nullopt;
  url.hostPart = std::string(address.substr(rest, slash - rest));
  url.path = std::string(address.substr(slash));

  std::string_view hostAndPort = url.hostPart;
  std::size_t at = hostAndPort.rfind('@');
  if (at != std::string_view::npos) {
    std::string_view credentials = hostAndPort.substr(0, at);
    std::size_t colon = credentials.find(':');
    url.user = std::string(credentials.substr(0, colon));
    if (colon != std::string_view::npos) url.password = std::string(credentials.substr(colon + 1));
    hostAndPort = hostAndPort.substr(at + 1);
  }

  std::string_view host = hostAndPort;
  std::string_view portText;
  bool hasPort = false;
  if (!hostAndPort.empty() && hostAndPort.front() == '[') {
    std::size_t close = hostAndPort.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = hostAndPort.substr(1, close - 1);
    std::string_view after = hostAndPort.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      portText = after.substr(1);
      hasPort = true;
    }
  } else {
    std::size_t colon = hostAndPort.find(':');
    if (colon != std::string_view::npos) {
      host = hostAndPort.substr(0, colon);
      portText = hostAndPort.substr(colon + 1);
      hasPort = true;
    }
  }
  if (host.empty()) return std::nullopt;
  url.host = std::string(host);
  if (hasPort) {
    auto port = ParsePort(portText);
    if (!port) return std::nullopt;
    url.port = *port;
  } else {
    url.port = DefaultPort(url.scheme);
  }
  return url;
}

std::string HttpAddress(const Url& url) { return "http://" + url.hostPart + url.path; }

std::string DecodePercentEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      int hi = HexValue(text[i + 1]);
      int lo = HexValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace tavrel::download

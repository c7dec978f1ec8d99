#include "runtime/download/http_message.h"

#include <limits>

#include "runtime/download/url.h"

namespace tavrel::download {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string EncodeSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == ' ')
      out += "%20";
    else
      out.push_back(c);
  }
  return out;
}

std::string TextBeforeLastSlash(std::string_view address) {
  std::size_t slash = address.rfind('/');
  return std::string(slash == std::string_view::npos ? address : address.substr(0, slash));
}

std::optional<std::string> BuildGetRequest(const RequestParts& parts) {
  for (std::string_view part : {parts.hostPart, parts.target, parts.referer, parts.extraLine})
    if (part.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
  std::string target = EncodeSpaces(parts.target);
  if (target.size() > kMaxRequestBytes) return std::nullopt;
  std::string r;
  r.reserve(256 + target.size() + parts.extraLine.size() + parts.referer.size());
  auto line = [&r](std::string_view a, std::string_view b = {}) {
    r.append(a);
    r.append(b);
    r.append(kCrLf);
  };
  line("GET ", target + " HTTP/1.1");
  line("Host: ", parts.hostPart);
  if (parts.viaProxy) {
    line("User-Agent: ", kUserAgent);
    // Through a proxy the range (or cookie) line is still needed: without
    // it every block connection would receive the whole file.
    if (!parts.extraLine.empty()) line(parts.extraLine);
    line("Proxy-Connection: Keep-Alive");
    r.append(kCrLf);
    r.append(kCrLf);
  } else {
    line("Accept: */*");
    line("Referer: ", parts.referer);
    line("User-Agent: ", kUserAgent);
    if (!parts.extraLine.empty()) line(parts.extraLine);
    line("Pragma: no-cache");
    line("Cache-Control: no-cache");
    line("Connection: close");
    r.append(kCrLf);
  }
  if (r.size() > kMaxRequestBytes) return std::nullopt;
  return r;
}

HeaderScan ScanResponseHeader(std::string_view received) {
  HeaderScan scan;
  std::size_t from = 0;
  std::size_t status = std::string_view::npos;
  while (true) {
    std::size_t p = received.find("HTTP/1.", from);
    if (p == std::string_view::npos || p + 7 >= received.size()) break;
    char minor = received[p + 7];
    if (minor == '1' || minor == '0') {
      status = p;
      break;
    }
    from = p + 1;
  }
  if (status == std::string_view::npos) {
    // Bytes that can no longer start a header within the limit.
    if (received.size() > kMaxHeaderBytes + 8) scan.state = HeaderScan::State::kTooLong;
    return scan;
  }
  scan.begin = status;
  std::size_t empty = received.find("\r\n\r\n", status);
  if (empty == std::string_view::npos) {
    if (received.size() - status > kMaxHeaderBytes) scan.state = HeaderScan::State::kTooLong;
    return scan;
  }
  scan.end = empty + 4;
  scan.state = (scan.end - scan.begin > kMaxHeaderBytes) ? HeaderScan::State::kTooLong : HeaderScan::State::kComplete;
  return scan;
}

int StatusCode(std::string_view header) {
  if (header.size() < 12 || header.substr(0, 7) != "HTTP/1." || header[8] != ' ') return -1;
  int code = 0;
  for (int i = 9; i < 12; ++i) {
    char c = header[static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  if (header.size() > 12 && header[12] >= '0' && header[12] <= '9') return -1;
  return code;
}

bool HasTransferCoding(std::string_view header) {
  auto coding = FindField(header, "Transfer-Encoding");
  return coding && !EqualsIgnoringCase(*coding, "identity");
}

std::optional<std::string_view> FindField(std::string_view header, std::string_view name) {
  std::size_t pos = header.find(kCrLf);
  while (pos != std::string_view::npos) {
    std::size_t start = pos + 2;
    std::size_t end = header.find(kCrLf, start);
    if (end == std::string_view::npos) end = header.size();
    std::string_view line = header.substr(start, end - start);
    if (line.empty()) break;
    if (line.size() > name.size() && line[name.size()] == ':' && StartsWithIgnoringCase(line, name))
      return TrimBlanks(line.substr(name.size() + 1));
    pos = end < header.size() ? end : std::string_view::npos;
  }
  return std::nullopt;
}

std::optional<std::int64_t> LeadingNumber(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  constexpr std::int64_t kCap = std::numeric_limits<std::int64_t>::max() / 10 - 10;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    if (value < kCap) value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  value = TrimBlanks(value);
  if (!StartsWithIgnoringCase(value, "bytes")) return std::nullopt;
  value.remove_prefix(5);
  if (value.empty() || !IsBlank(value.front())) return std::nullopt;
  value = TrimBlanks(value);
  std::size_t slash = value.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  ContentRange range;
  std::string_view span = TrimBlanks(value.substr(0, slash));
  std::string_view total = TrimBlanks(value.substr(slash + 1));
  if (total != "*") {
    auto t = LeadingNumber(total);
    if (!t || *t < 0) return std::nullopt;
    range.total = *t;
  }
  if (span != "*") {
    std::size_t dash = span.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    auto first = LeadingNumber(span.substr(0, dash));
    auto last = LeadingNumber(span.substr(dash + 1));
    if (!first || !last || *first < 0 || *last < *first) return std::nullopt;
    // The last byte lies inside the file; a range beyond it names no part of it.
    if (range.total >= 0 && *last >= range.total) return std::nullopt;
    range.first = *first;
    range.last = *last;
  }
  return range;
}

std::int64_t ContentLength(std::string_view header) {
  auto field = FindField(header, "Content-Length");
  if (!field) return -1;
  auto n = LeadingNumber(*field);
  return n ? *n : -1;
}

std::string CookieOf(std::string_view setCookieValue) {
  return std::string(TrimBlanks(setCookieValue.substr(0, setCookieValue.find(';'))));
}

std::string DispositionFileName(std::string_view value) {
  // filename= may follow "filename*=" in some headers; the plain form is the
  // one read here, wherever it stands among the parameters.
  std::size_t from = 0;
  while (true) {
    std::size_t p = value.find('=', from);
    if (p == std::string_view::npos) return {};
    std::size_t nameEnd = p;
    while (nameEnd > 0 && IsBlank(value[nameEnd - 1])) --nameEnd;
    std::size_t nameStart = nameEnd;
    while (nameStart > 0 && value[nameStart - 1] != ';' && !IsBlank(value[nameStart - 1])) --nameStart;
    if (EqualsIgnoringCase(value.substr(nameStart, nameEnd - nameStart), "filename")) {
      std::string_view rest = TrimBlanks(value.substr(p + 1));
      if (!rest.empty() && rest.front() == '"') {
        rest.remove_prefix(1);
        std::size_t close = rest.find('"');
        return std::string(rest.substr(0, close));
      }
      return std::string(TrimBlanks(rest.substr(0, rest.find(';'))));
    }
    from = p + 1;
  }
}

}  // namespace tavrel::download

// HTTP requests as the service sends them and responses as it reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrel::download {

inline constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";
// Longest request, and longest request target, the service sends.
inline constexpr std::size_t kMaxRequestBytes = 1023;
// A response header is received in pieces of this size and may not be longer
// than kMaxHeaderBytes from its status line through its empty line.
inline constexpr std::size_t kHeaderReceiveSize = 4096;
inline constexpr std::size_t kMaxHeaderBytes = 4097;

struct RequestParts {
  std::string hostPart;   // Host header value
  std::string target;     // the path, or the whole address through a proxy
  std::string referer;    // direct requests only
  std::string extraLine;  // "Cookie: ..." or "Range: bytes=N-", without CR LF; may be empty
  bool viaProxy = false;
};

// Spaces in the request target become %20; nothing when the request (or its
// target) would be longer than kMaxRequestBytes, or when a part holds a CR or
// LF, which would end its line and start another.
std::optional<std::string> BuildGetRequest(const RequestParts& parts);

std::string EncodeSpaces(std::string_view text);

// The address up to, not including, its last "/".
std::string TextBeforeLastSlash(std::string_view address);

struct HeaderScan {
  enum class State { kIncomplete, kComplete, kTooLong };
  State state = State::kIncomplete;
  std::size_t begin = 0;  // status line
  std::size_t end = 0;    // just past the empty line
};

// Finds the response header in the bytes received so far: from the first
// status line ("HTTP/1.1" or "HTTP/1.0") through the first empty line after it.
HeaderScan ScanResponseHeader(std::string_view received);

// The three digits after the protocol name and a space; -1 when malformed.
int StatusCode(std::string_view header);

// Whether the body is framed by a transfer coding (chunked and the like)
// rather than sent as it is.
bool HasTransferCoding(std::string_view header);

// The value of the first field of this name, whatever its letter case, with
// the blanks after the colon and at the end of the line removed.
std::optional<std::string_view> FindField(std::string_view header, std::string_view name);

// A leading decimal integer, optionally signed; huge values saturate.
std::optional<std::int64_t> LeadingNumber(std::string_view text);

struct ContentRange {
  std::int64_t first = -1;  // -1 for "*"
  std::int64_t last = -1;
  std::int64_t total = -1;  // -1 for "*"
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

// The Content-Length field as a number, -1 when missing or not a number.
std::int64_t ContentLength(std::string_view header);

// The text of a Set-Cookie value up to its first ";".
std::string CookieOf(std::string_view setCookieValue);

// The "filename=" value of a Content-Disposition field, quotes removed.
std::string DispositionFileName(std::string_view value);

}  // namespace tavrel::download

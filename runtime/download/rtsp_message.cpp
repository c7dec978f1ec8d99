#include "runtime/download/rtsp_message.h"

#include <cstdlib>

#include "runtime/download/url.h"

namespace tavrel::download::rtsp {
namespace {

constexpr std::size_t kMaxHead = 65536;
constexpr std::size_t kMaxBody = 1 << 20;
constexpr int kRtpVersion = 2;
constexpr unsigned kRtcpBye = 203;
// A frame's channel is one byte, and the RTP channel is the pair's even one.
constexpr std::uint32_t kLastChannel = 255;
constexpr std::string_view kInterleaved = "interleaved=";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::uint32_t Number(std::string_view s) {
  std::uint64_t n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    n = n * 10 + static_cast<unsigned>(c - '0');
    if (n > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<std::uint32_t>(n);
}

// The value of a typed attribute: integer;N, string;"text", buffer;"base64".
std::string TypedValue(std::string_view value) {
  std::size_t semi = value.find(';');
  if (semi == std::string_view::npos) return std::string(value);
  std::string_view type = value.substr(0, semi);
  std::string_view rest = value.substr(semi + 1);
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
  if (type == "buffer") return DecodeBase64(rest);
  return std::string(rest);
}

// Milliseconds of "npt=start-end" (seconds, with a fraction).
std::uint32_t RangeMs(std::string_view value) {
  std::size_t dash = value.find('-');
  if (dash == std::string_view::npos) return 0;
  double seconds = std::strtod(std::string(value.substr(dash + 1)).c_str(), nullptr);
  return seconds > 0 && seconds < 4e6 ? static_cast<std::uint32_t>(seconds * 1000) : 0;
}

}  // namespace

std::string Request(std::string_view method, std::string_view target, int cseq, const std::vector<std::string>& lines) {
  std::string r =
      std::string(method) + " " + std::string(target) + " RTSP/1.0\r\nCSeq: " + std::to_string(cseq) + "\r\n";
  for (const auto& line : lines) r += line + "\r\n";
  return r + "\r\n";
}

std::string Response::Field(std::string_view name) const {
  std::size_t at = head.find("\r\n");
  while (at != std::string::npos && at + 2 < head.size()) {
    std::size_t end = head.find("\r\n", at + 2);
    if (end == std::string::npos) break;
    std::string_view line(head.data() + at + 2, end - at - 2);
    std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && EqualsIgnoringCase(Trim(line.substr(0, colon)), name))
      return std::string(Trim(line.substr(colon + 1)));
    at = end;
  }
  return "";
}

Parsed ParseNext(std::string_view received, Response& response, Frame& frame, std::size_t& used) {
  if (received.empty()) return Parsed::kNeedMore;
  if (received.front() == '$') {
    if (received.size() < 4) return Parsed::kNeedMore;
    std::size_t length = static_cast<unsigned char>(received[2]) << 8 | static_cast<unsigned char>(received[3]);
    if (received.size() < 4 + length) return Parsed::kNeedMore;
    frame.channel = static_cast<unsigned char>(received[1]);
    frame.data = std::string(received.substr(4, length));
    used = 4 + length;
    return Parsed::kFrame;
  }
  std::size_t end = received.find("\r\n\r\n");
  if (end == std::string_view::npos) return received.size() > kMaxHead ? Parsed::kMalformed : Parsed::kNeedMore;
  response = Response();
  response.head = std::string(received.substr(0, end + 4));
  std::uint32_t length = Number(response.Field("Content-Length"));
  if (length > kMaxBody) return Parsed::kMalformed;
  if (received.size() < end + 4 + length) return Parsed::kNeedMore;
  response.body = std::string(received.substr(end + 4, length));
  // "RTSP/1.0 200 OK"; a request from the server has no status.
  if (response.head.rfind("RTSP/", 0) == 0) {
    std::size_t space = response.head.find(' ');
    if (space != std::string::npos) response.status = static_cast<int>(Number(response.head.substr(space + 1, 3)));
  }
  used = end + 4 + length;
  return Parsed::kResponse;
}

Description ParseDescription(std::string_view sdp) {
  Description d;
  StreamInfo* stream = nullptr;
  while (!sdp.empty()) {
    std::size_t eol = sdp.find('\n');
    std::string_view line = Trim(sdp.substr(0, eol));
    sdp = eol == std::string_view::npos ? std::string_view() : sdp.substr(eol + 1);
    if (line.rfind("m=", 0) == 0) {
      d.streams.emplace_back();
      stream = &d.streams.back();
      continue;
    }
    if (line.rfind("a=", 0) != 0) continue;
    line.remove_prefix(2);
    std::size_t colon = line.find(':');
    std::string_view name = line.substr(0, colon);
    std::string_view raw = colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
    std::string value = TypedValue(raw);
    if (!stream) {
      if (name == "Title")
        d.title = value;
      else if (name == "Author")
        d.author = value;
      else if (name == "Copyright")
        d.copyright = value;
      else if (name == "Abstract")
        d.comment = value;
      else if (name == "range")
        d.durationMs = RangeMs(raw);
      continue;
    }
    if (name == "control")
      stream->control = value;
    else if (name == "mimetype")
      stream->mimeType = value;
    else if (name == "StreamName")
      stream->name = value;
    else if (name == "OpaqueData")
      stream->typeSpecific = value;
    else if (name == "MaxBitRate")
      stream->maxBitRate = Number(value);
    else if (name == "AvgBitRate")
      stream->avgBitRate = Number(value);
    else if (name == "MaxPacketSize")
      stream->maxPacketSize = Number(value);
    else if (name == "AvgPacketSize")
      stream->avgPacketSize = Number(value);
    else if (name == "StartTime")
      stream->startTime = Number(value);
    else if (name == "Preroll")
      stream->preroll = Number(value);
    else if (name == "range")
      stream->durationMs = RangeMs(raw);
    else if (name == "rtpmap") {
      // "96 name/clock"
      std::size_t slash = value.find('/');
      if (slash != std::string::npos && Number(value.substr(slash + 1)) > 0)
        stream->clockRate = Number(value.substr(slash + 1));
    }
  }
  for (const auto& s : d.streams)
    if (s.durationMs > d.durationMs) d.durationMs = s.durationMs;
  return d;
}

std::string ControlUrl(const std::string& base, const std::string& control) {
  if (control.empty() || control == "*") return base;
  if (StartsWithIgnoringCase(control, "rtsp://")) return control;
  if (!base.empty() && base.back() == '/') return base + control;
  return base + "/" + control;
}

std::string DecodeBase64(std::string_view text) {
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int v = value(c);
    if (v < 0) continue;  // padding and line breaks
    bits = bits << 6 | static_cast<std::uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return out;
}

int InterleavedChannel(std::string_view transport, int asked) {
  std::size_t at = transport.find(kInterleaved);
  if (at == std::string_view::npos) return asked;
  std::string_view digits = transport.substr(at + kInterleaved.size());
  if (digits.empty() || digits.front() < '0' || digits.front() > '9') return asked;
  std::uint32_t channel = Number(digits);
  return channel <= kLastChannel ? static_cast<int>(channel & ~1u) : asked;
}

std::optional<RtpPacket> ParseRtp(std::string_view data) {
  if (data.size() < 12 || (static_cast<unsigned char>(data[0]) >> 6) != kRtpVersion) return std::nullopt;
  const auto first = static_cast<unsigned char>(data[0]);
  std::size_t at = 12 + 4 * (first & 0x0F);
  if (first & 0x10) {  // an extension: 4 bytes, then its length in words
    if (data.size() < at + 4) return std::nullopt;
    at += 4 + 4 * (static_cast<unsigned char>(data[at + 2]) << 8 | static_cast<unsigned char>(data[at + 3]));
  }
  std::size_t end = data.size();
  if (first & 0x20) {  // padding: its count is the last byte
    std::size_t pad = static_cast<unsigned char>(data.back());
    if (pad == 0 || pad > end) return std::nullopt;
    end -= pad;
  }
  if (at > end) return std::nullopt;
  RtpPacket p;
  p.marker = (static_cast<unsigned char>(data[1]) & 0x80) != 0;
  for (int i = 4; i < 8; ++i) p.timestamp = p.timestamp << 8 | static_cast<unsigned char>(data[i]);
  p.payload = std::string(data.substr(at, end - at));
  return p;
}

bool RtcpHasBye(std::string_view data) {
  std::size_t at = 0;
  while (at + 4 <= data.size()) {
    if (static_cast<unsigned char>(data[at + 1]) == kRtcpBye) return true;
    std::size_t words = static_cast<unsigned char>(data[at + 2]) << 8 | static_cast<unsigned char>(data[at + 3]);
    at += 4 * (words + 1);
  }
  return false;
}

}  // namespace tavrel::download::rtsp

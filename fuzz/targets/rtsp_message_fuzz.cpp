// RTSP responses and interleaved frames from the front of the received
// bytes, the session description and the RealMedia headers built from it,
// and the RTP and RTCP packets: what a reader returns lies inside its input.
#include <algorithm>

#include "runtime/download/realmedia_file.h"
#include "runtime/download/rtsp_message.h"
#include "support/fuzz_input.h"

using namespace tavrel::download;

namespace {

constexpr std::size_t kRtpHeaderBytes = 12;
constexpr int kLastRtpChannel = 254;
constexpr std::size_t kDataHeaderBytes = 18;

std::uint32_t Be32(std::string_view in, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(in[at + i]);
  return v;
}

std::string EncodeBase64(std::string_view bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = 0;
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    for (std::size_t k = 0; k < 3; ++k) group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return out;
}

void CheckNext(std::string_view received) {
  rtsp::Response response;
  rtsp::Frame frame;
  std::size_t used = 0;
  const rtsp::Parsed parsed = rtsp::ParseNext(received, response, frame, used);
  if (parsed == rtsp::Parsed::kFrame) {
    FUZZ_CHECK(received.front() == '$' && used == 4 + frame.data.size() && used <= received.size());
    FUZZ_CHECK(frame.channel == static_cast<unsigned char>(received[1]));
    FUZZ_CHECK(frame.data == received.substr(4, frame.data.size()));
  } else if (parsed == rtsp::Parsed::kResponse) {
    FUZZ_CHECK(used <= received.size() && received.substr(0, used) == response.head + response.body);
    FUZZ_CHECK(response.head.find("\r\n\r\n") == response.head.size() - 4);
    FUZZ_CHECK(response.status >= 0 && response.status <= 999);
  } else {
    return;
  }
  // What follows changes nothing.
  rtsp::Response again;
  std::size_t usedAgain = 0;
  FUZZ_CHECK(rtsp::ParseNext(received.substr(0, used), again, frame, usedAgain) == parsed && usedAgain == used);
}

void CheckDescription(std::string_view sdp) {
  const rtsp::Description d = rtsp::ParseDescription(sdp);
  FUZZ_CHECK(d.streams.size() <= sdp.size() / 2);
  for (const rtsp::StreamInfo& s : d.streams) {
    FUZZ_CHECK(s.clockRate > 0 && s.durationMs <= d.durationMs);
    FUZZ_CHECK(s.control.size() + s.mimeType.size() + s.name.size() + s.typeSpecific.size() <= sdp.size());
  }
  // The headers keep their length whatever the counts, and their chunks
  // follow each other up to the data chunk, which covers the packets.
  const RealMediaCounts counts{static_cast<std::uint32_t>(sdp.size()), 0x7FFFFFF0u, 0xFFFF};
  const std::string headers = RealMediaHeaders(d, {});
  const std::string counted = RealMediaHeaders(d, counts);
  FUZZ_CHECK(headers.size() == counted.size());
  std::vector<std::string> ids = {".RMF", "PROP", "CONT"};
  ids.insert(ids.end(), d.streams.size(), "MDPR");
  std::size_t at = 0;
  for (const std::string& id : ids) {
    FUZZ_CHECK(at + 10 <= counted.size() && counted.substr(at, 4) == id);
    at += Be32(counted, at + 4);
  }
  FUZZ_CHECK(at + kDataHeaderBytes == counted.size() && counted.substr(at, 4) == "DATA");
  FUZZ_CHECK(Be32(counted, at + 4) == kDataHeaderBytes + counts.packetBytes);
}

void CheckRtp(std::string_view data) {
  if (const auto rtp = rtsp::ParseRtp(data)) {
    FUZZ_CHECK(data.size() >= kRtpHeaderBytes + rtp->payload.size());
    FUZZ_CHECK(rtp->timestamp == Be32(data, 4));
    FUZZ_CHECK(rtp->marker == ((static_cast<unsigned char>(data[1]) & 0x80) != 0));
    if (!(static_cast<unsigned char>(data[0]) & 0x20)) FUZZ_CHECK(data.ends_with(rtp->payload));
  }
  const bool bye = rtsp::RtcpHasBye(data);
  if (data.size() >= 4 && static_cast<unsigned char>(data[1]) == 203) FUZZ_CHECK(bye);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view received = tavrel::fuzz::AsText(data, size);
  CheckNext(received);
  CheckDescription(received);
  CheckRtp(received);

  const std::string decoded = rtsp::DecodeBase64(received);
  FUZZ_CHECK(decoded.size() <= size * 3 / 4);
  FUZZ_CHECK(rtsp::DecodeBase64(EncodeBase64(received)) == received);

  const int asked = size ? data[0] : 0;
  const int channel = rtsp::InterleavedChannel(received, asked);
  FUZZ_CHECK(channel == asked || (channel % 2 == 0 && channel >= 0 && channel <= kLastRtpChannel));

  const auto parts = tavrel::fuzz::Parts(data, size, 3);
  const std::string& base = parts[0];
  const std::string& control = parts[1];
  const std::string joined = rtsp::ControlUrl(base, control);
  FUZZ_CHECK(joined == control || joined.starts_with(base));
  if (!control.empty() && control != "*") FUZZ_CHECK(joined.ends_with(control));

  // A request the program sends reads back whole, its CSeq found.
  const bool plain = std::none_of(parts.begin(), parts.end(),
                                  [](const std::string& p) { return p.find_first_of("\r\n:") != std::string::npos; });
  if (plain && !base.starts_with('$')) {
    const int cseq = static_cast<int>(size);
    std::vector<std::string> lines;
    if (!parts[2].empty()) lines.push_back(parts[2]);
    const std::string request = rtsp::Request(base, control, cseq, lines);
    rtsp::Response response;
    rtsp::Frame frame;
    std::size_t used = 0;
    FUZZ_CHECK(rtsp::ParseNext(request, response, frame, used) == rtsp::Parsed::kResponse);
    FUZZ_CHECK(used == request.size() && response.Field("CSeq") == std::to_string(cseq));
  }
  return 0;
}

// RTSP texts: requests, the server's responses, the session description
// (SDP) of a stream whose servers describe it in their own attribute
// style ("a=Name:integer;5", "a=Name:string;\"text\"", "a=Name:buffer;\"base64\""),
// and the RTP and RTCP packets that arrive interleaved on the connection.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel::download::rtsp {

// "METHOD target RTSP/1.0", CSeq and the other lines, each ended by CR LF,
// then the empty line.
std::string Request(std::string_view method, std::string_view target, int cseq, const std::vector<std::string>& lines);

struct Response {
  int status = 0;
  std::string head;  // status line through the empty line
  std::string body;
  // A field's value whatever the case of its name; "" when absent.
  std::string Field(std::string_view name) const;
};

// What the front of the received bytes holds.
enum class Parsed { kNeedMore, kResponse, kFrame, kMalformed };
struct Frame {
  int channel = 0;
  std::string data;
};
// A response (or a request the server sends, passed over as one) or an
// interleaved frame ("$", channel, 16-bit length, data); `used` is how
// many bytes it took.
Parsed ParseNext(std::string_view received, Response& response, Frame& frame, std::size_t& used);

struct StreamInfo {
  std::string control;
  std::string mimeType;
  std::string name;
  std::string typeSpecific;  // decoded
  std::uint32_t maxBitRate = 0, avgBitRate = 0, maxPacketSize = 0, avgPacketSize = 0;
  std::uint32_t startTime = 0, preroll = 0, durationMs = 0;
  std::uint32_t clockRate = 1000;  // RTP timestamp units per second
};
struct Description {
  std::string title, author, copyright, comment;
  std::uint32_t durationMs = 0;
  std::vector<StreamInfo> streams;
};
Description ParseDescription(std::string_view sdp);

// The address a stream's control names, from the description's base.
std::string ControlUrl(const std::string& base, const std::string& control);

std::string DecodeBase64(std::string_view text);

// The RTP channel of the pair a SETUP answer's transport chose
// ("interleaved=a-b"), or `asked` when it names none a frame can carry.
int InterleavedChannel(std::string_view transport, int asked);

// An RTP packet's payload, timestamp and marker; nothing for one that is not.
struct RtpPacket {
  std::string payload;
  std::uint32_t timestamp = 0;
  bool marker = false;
};
std::optional<RtpPacket> ParseRtp(std::string_view data);
// Whether an RTCP (compound) packet holds a BYE.
bool RtcpHasBye(std::string_view data);

}  // namespace tavrel::download::rtsp

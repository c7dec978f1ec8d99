// The MMS protocol's messages over TCP: each message travels in a framing
// header marked by a session number and a seal, and the server's data
// packets (the ASF header's pieces, then the ASF data packets) travel bare
// on the same connection, told apart by that session number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrel::download::mms {

// Messages the client sends.
inline constexpr std::uint32_t kConnect = 0x00030001;
inline constexpr std::uint32_t kConnectFunnel = 0x00030002;
inline constexpr std::uint32_t kOpenFile = 0x00030005;
inline constexpr std::uint32_t kStartPlaying = 0x00030007;
inline constexpr std::uint32_t kStopPlaying = 0x00030009;
inline constexpr std::uint32_t kCloseFile = 0x0003000D;
inline constexpr std::uint32_t kReadBlock = 0x00030015;
inline constexpr std::uint32_t kPong = 0x0003001B;
// Messages the server sends.
inline constexpr std::uint32_t kReportConnected = 0x00040001;
inline constexpr std::uint32_t kReportConnectedFunnel = 0x00040002;
inline constexpr std::uint32_t kReportStartedPlaying = 0x00040005;
inline constexpr std::uint32_t kReportOpenFile = 0x00040006;
inline constexpr std::uint32_t kReportReadBlock = 0x00040011;
inline constexpr std::uint32_t kPing = 0x0004001B;
inline constexpr std::uint32_t kReportEndOfStream = 0x0004001E;

inline constexpr std::uint32_t kSessionId = 0xB00BFACE;
inline constexpr std::uint32_t kSeal = 0x20534D4D;
inline constexpr std::size_t kFramingBytes = 32;
inline constexpr std::size_t kDataHeaderBytes = 8;

// Little-endian fields, appended or read at an offset.
void Put32(std::string& out, std::uint32_t v);
void PutDouble(std::string& out, double v);
std::uint32_t Get32(std::string_view in, std::size_t at);
std::uint64_t Get64(std::string_view in, std::size_t at);
// ASCII text as the zero-ended UTF-16LE the messages carry.
std::string Utf16(std::string_view text);

// One message framed for sending: fields follow the message id; the
// message is padded to whole 8-byte chunks.
std::string FrameMessage(std::uint32_t id, std::string_view fields, std::uint16_t sequence);

// One packet from the front of the received bytes.
struct Packet {
  bool isMessage = false;
  std::uint32_t id = 0;        // a message's id
  std::uint32_t result = 0;    // a message's result (hr), where it has one
  std::string body;            // a message from its length field on, or a data packet's payload
  std::uint32_t location = 0;  // a data packet's place: header piece or ASF packet number
  std::uint8_t incarnation = 0;
  std::size_t size = 0;  // bytes of the received data it took
};
enum class ParseResult { kPacket, kNeedMore, kMalformed };
ParseResult ParsePacket(std::string_view received, Packet& packet);

// What the open-file report says about the file.
struct FileFacts {
  std::uint32_t openFileId = 0;
  std::uint32_t packetSize = 0;
  std::uint64_t packetCount = 0;
  std::uint32_t headerSize = 0;
};
// Nothing for a report too short to hold them.
std::optional<FileFacts> ReadOpenFileReport(std::string_view body);

}  // namespace tavrel::download::mms

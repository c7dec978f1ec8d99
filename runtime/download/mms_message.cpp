#include "runtime/download/mms_message.h"

#include <cstring>

namespace tavrel::download::mms {
namespace {

void Put16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

std::uint16_t Get16(std::string_view in, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(in[at]) | static_cast<unsigned char>(in[at + 1]) << 8);
}

// A message's length and id fields, then its result where replies carry one.
constexpr std::size_t kIdAt = 4;
constexpr std::size_t kResultAt = 8;

}  // namespace

void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutDouble(std::string& out, double v) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  Put32(out, static_cast<std::uint32_t>(bits));
  Put32(out, static_cast<std::uint32_t>(bits >> 32));
}

std::uint32_t Get32(std::string_view in, std::size_t at) {
  return static_cast<std::uint32_t>(Get16(in, at)) | static_cast<std::uint32_t>(Get16(in, at + 2)) << 16;
}

std::uint64_t Get64(std::string_view in, std::size_t at) {
  return static_cast<std::uint64_t>(Get32(in, at)) | static_cast<std::uint64_t>(Get32(in, at + 4)) << 32;
}

std::string Utf16(std::string_view text) {
  std::string out;
  for (char c : text) Put16(out, static_cast<unsigned char>(c));
  Put16(out, 0);
  return out;
}

std::string FrameMessage(std::uint32_t id, std::string_view fields, std::uint16_t sequence) {
  std::string message;
  std::size_t size = (8 + fields.size() + 7) / 8 * 8;
  Put32(message, static_cast<std::uint32_t>(size / 8));
  Put32(message, id);
  message.append(fields);
  message.resize(size, '\0');

  std::string out;
  out += std::string("\x01\x00\x00\x00", 4);
  Put32(out, kSessionId);
  Put32(out, static_cast<std::uint32_t>(size + 16));
  Put32(out, kSeal);
  Put32(out, static_cast<std::uint32_t>((size + 16) / 8));
  Put16(out, sequence);
  Put16(out, 0);
  PutDouble(out, 0.0);
  return out + message;
}

ParseResult ParsePacket(std::string_view received, Packet& packet) {
  if (received.size() < kDataHeaderBytes) return ParseResult::kNeedMore;
  packet = Packet();
  if (Get32(received, 4) == kSessionId) {
    if (received.size() < 16) return ParseResult::kNeedMore;
    std::uint32_t length = Get32(received, 8);
    if (Get32(received, 12) != kSeal || length < 16 + 8 || length > (1u << 20)) return ParseResult::kMalformed;
    std::size_t total = std::size_t{length} + 16;
    if (received.size() < total) return ParseResult::kNeedMore;
    packet.isMessage = true;
    packet.body = std::string(received.substr(kFramingBytes, total - kFramingBytes));
    packet.id = Get32(packet.body, kIdAt);
    packet.result = packet.body.size() >= kResultAt + 4 ? Get32(packet.body, kResultAt) : 0;
    packet.size = total;
    return ParseResult::kPacket;
  }
  std::uint16_t size = Get16(received, 6);
  if (size < kDataHeaderBytes) return ParseResult::kMalformed;
  if (received.size() < size) return ParseResult::kNeedMore;
  packet.location = Get32(received, 0);
  packet.incarnation = static_cast<std::uint8_t>(received[4]);
  packet.body = std::string(received.substr(kDataHeaderBytes, size - kDataHeaderBytes));
  packet.size = size;
  return ParseResult::kPacket;
}

std::optional<FileFacts> ReadOpenFileReport(std::string_view body) {
  // After the result: incarnation, file id, padding, name, attributes, the
  // duration (8 bytes), blocks and 16 unused bytes, then the packets' size
  // and count (8 bytes), the bit rate and the header's size.
  constexpr std::size_t kFileIdAt = 16, kPacketSizeAt = 60, kPacketCountAt = 64, kHeaderSizeAt = 76;
  if (body.size() < kHeaderSizeAt + 4) return std::nullopt;
  FileFacts facts;
  facts.openFileId = Get32(body, kFileIdAt);
  facts.packetSize = Get32(body, kPacketSizeAt);
  facts.packetCount = Get64(body, kPacketCountAt);
  facts.headerSize = Get32(body, kHeaderSizeAt);
  return facts;
}

}  // namespace tavrel::download::mms

#include "runtime/download/realmedia_file.h"

#include <algorithm>

namespace tavrel::download {
namespace {

constexpr std::uint32_t kFileHeaderSize = 18;
constexpr std::uint32_t kPropertiesSize = 50;
constexpr std::uint32_t kDataHeaderSize = 18;
constexpr std::size_t kPacketHeaderSize = 12;
constexpr std::uint16_t kSaveAllowed = 0x0001;

void Put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
  out.push_back(static_cast<char>(v & 0xFF));
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v >> 16);
  Put16(out, v & 0xFFFF);
}

// A chunk: its four letters, its whole size, version 0 and the body.
std::string Chunk(const char (&id)[5], const std::string& body) {
  std::string out(id, 4);
  Put32(out, static_cast<std::uint32_t>(10 + body.size()));
  Put16(out, 0);
  return out + body;
}

// A text with a length of the given width in front; cut to fit it.
void PutText(std::string& out, const std::string& text, bool wide) {
  std::size_t n = std::min<std::size_t>(text.size(), wide ? 0xFFFF : 0xFF);
  if (wide)
    Put16(out, static_cast<std::uint32_t>(n));
  else
    out.push_back(static_cast<char>(n));
  out.append(text, 0, n);
}

}  // namespace

std::string RealMediaHeaders(const rtsp::Description& d, const RealMediaCounts& counts) {
  std::uint32_t maxRate = 0, avgRate = 0, maxPacket = counts.largestPacket, preroll = 0;
  std::string media;
  for (std::size_t i = 0; i < d.streams.size(); ++i) {
    const rtsp::StreamInfo& s = d.streams[i];
    maxRate += s.maxBitRate;
    avgRate += s.avgBitRate;
    maxPacket = std::max(maxPacket, s.maxPacketSize);
    preroll = std::max(preroll, s.preroll);
    std::string body;
    Put16(body, static_cast<std::uint32_t>(i));
    for (std::uint32_t v :
         {s.maxBitRate, s.avgBitRate, s.maxPacketSize, s.avgPacketSize, s.startTime, s.preroll, s.durationMs})
      Put32(body, v);
    PutText(body, s.name, false);
    PutText(body, s.mimeType, false);
    Put32(body, static_cast<std::uint32_t>(s.typeSpecific.size()));
    body += s.typeSpecific;
    media += Chunk("MDPR", body);
  }
  std::string content;
  for (const std::string* text : {&d.title, &d.author, &d.copyright, &d.comment}) PutText(content, *text, true);
  std::string cont = Chunk("CONT", content);

  const auto dataOffset = static_cast<std::uint32_t>(kFileHeaderSize + kPropertiesSize + cont.size() + media.size());
  std::string props;
  std::uint32_t avgPacket = counts.packets ? counts.packetBytes / counts.packets : 0;
  for (std::uint32_t v :
       {maxRate, avgRate, maxPacket, avgPacket, counts.packets, d.durationMs, preroll, std::uint32_t{0}, dataOffset})
    Put32(props, v);
  Put16(props, static_cast<std::uint32_t>(d.streams.size()));
  Put16(props, kSaveAllowed);

  std::string file;
  Put32(file, 0);                                                 // file version
  Put32(file, static_cast<std::uint32_t>(3 + d.streams.size()));  // PROP, CONT, the MDPRs and DATA
  std::string data;
  Put32(data, counts.packets);
  Put32(data, 0);  // no further data chunk
  std::string out = Chunk(".RMF", file) + Chunk("PROP", props) + cont + media;
  std::string dataChunk = Chunk("DATA", data);
  // The data chunk's size covers its packets.
  std::string size;
  Put32(size, kDataHeaderSize + counts.packetBytes);
  dataChunk.replace(4, 4, size);
  return out + dataChunk;
}

std::string RealMediaPacket(std::uint16_t stream, std::uint32_t timestampMs, std::uint8_t flags,
                            std::string_view payload) {
  payload = payload.substr(0, 0xFFFF - kPacketHeaderSize);
  std::string out;
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(kPacketHeaderSize + payload.size()));
  Put16(out, stream);
  Put32(out, timestampMs);
  out.push_back(0);  // packet group
  out.push_back(static_cast<char>(flags));
  return out.append(payload);
}

}  // namespace tavrel::download

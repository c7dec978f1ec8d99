// The RealMedia file a described stream is stored in: the file header, the
// properties, the content description and one media properties header per
// stream, all built from the description, then the data chunk's header and
// its packets. The headers have one length whatever the counts, so the
// counts known only at the end are written over the first ones.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/download/rtsp_message.h"

namespace tavrel::download {

struct RealMediaCounts {
  std::uint32_t packets = 0;
  std::uint32_t packetBytes = 0;  // every packet, its header included
  std::uint32_t largestPacket = 0;
};

// Everything before the first packet.
std::string RealMediaHeaders(const rtsp::Description& description, const RealMediaCounts& counts);

inline constexpr std::uint8_t kRealMediaKeyFrame = 0x02;

// One data packet; a payload too long for the 16-bit length is cut.
std::string RealMediaPacket(std::uint16_t stream, std::uint32_t timestampMs, std::uint8_t flags,
                            std::string_view payload);

}  // namespace tavrel::download

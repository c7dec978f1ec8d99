// MMS packets from the front of the received bytes: a packet is made of its
// own leading bytes, and a framed message reads back as sent.
#include "runtime/download/mms_message.h"
#include "support/fuzz_input.h"

using namespace tavrel::download;

namespace {

constexpr std::size_t kOpenFileReportBytes = 80;

void CheckPacket(std::string_view received) {
  mms::Packet packet;
  if (mms::ParsePacket(received, packet) != mms::ParseResult::kPacket) return;
  FUZZ_CHECK(packet.size >= mms::kDataHeaderBytes && packet.size <= received.size());
  if (packet.isMessage) {
    FUZZ_CHECK(packet.size == mms::Get32(received, 8) + std::size_t{16});
    FUZZ_CHECK(packet.size >= mms::kFramingBytes + 8);
    FUZZ_CHECK(packet.body == received.substr(mms::kFramingBytes, packet.size - mms::kFramingBytes));
    FUZZ_CHECK(packet.id == mms::Get32(packet.body, 4));
  } else {
    FUZZ_CHECK(packet.body == received.substr(mms::kDataHeaderBytes, packet.size - mms::kDataHeaderBytes));
    FUZZ_CHECK(packet.location == mms::Get32(received, 0));
  }
  // What follows the packet changes nothing, and one byte less is not enough.
  mms::Packet alone;
  FUZZ_CHECK(mms::ParsePacket(received.substr(0, packet.size), alone) == mms::ParseResult::kPacket);
  FUZZ_CHECK(alone.isMessage == packet.isMessage && alone.size == packet.size && alone.body == packet.body);
  FUZZ_CHECK(mms::ParsePacket(received.substr(0, packet.size - 1), alone) == mms::ParseResult::kNeedMore);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view received = tavrel::fuzz::AsText(data, size);
  CheckPacket(received);

  const auto facts = mms::ReadOpenFileReport(received);
  FUZZ_CHECK(facts.has_value() == (size >= kOpenFileReportBytes));

  if (size >= 6) {
    const std::uint32_t id = mms::Get32(received, 0);
    const auto sequence = static_cast<std::uint16_t>(data[4] | data[5] << 8);
    const std::string_view fields = received.substr(6);
    std::string four;
    mms::Put32(four, id);
    FUZZ_CHECK(four == received.substr(0, 4));

    const std::string framed = mms::FrameMessage(id, fields, sequence);
    FUZZ_CHECK(framed.size() % 8 == 0 && framed.size() >= mms::kFramingBytes + 8 + fields.size());
    FUZZ_CHECK(mms::Get32(framed, 16) * std::size_t{8} == framed.size() - 16);
    mms::Packet packet;
    FUZZ_CHECK(mms::ParsePacket(framed + std::string(received), packet) == mms::ParseResult::kPacket);
    FUZZ_CHECK(packet.isMessage && packet.id == id && packet.size == framed.size());
    FUZZ_CHECK(packet.body.substr(8, fields.size()) == fields);
    if (fields.size() >= 4) FUZZ_CHECK(packet.result == mms::Get32(fields, 0));
    FUZZ_CHECK(mms::Utf16(fields).size() == 2 * fields.size() + 2);
  }
  return 0;
}

// The streaming protocols' packet readers on packets a server may send.
#include <gtest/gtest.h>

#include "runtime/download/mms_message.h"
#include "runtime/download/rtsp_message.h"

namespace tavrel::download {
namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int v : b) s.push_back(static_cast<char>(v));
  return s;
}

TEST(RtpPacket, PayloadPastCsrcExtensionAndPadding) {
  const std::string head = Bytes({0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0, 5});  // seq 1, timestamp 9, ssrc 5
  struct Row {
    int first;          // version, padding, extension and CSRC count
    std::string extra;  // CSRCs and extension before the payload
    std::string tail;   // padding after it
    bool valid;
  };
  const Row rows[] = {{0x80, "", "", true},
                      {0x82, std::string(8, 'c'), "", true},
                      {0x90, Bytes({0, 0, 0, 1}) + "eeee", "", true},
                      {0xA0, "", Bytes({0, 0, 3}), true},
                      {0x40, "", "", false},                  // version 1
                      {0xA0, "", Bytes({0, 0, 60}), false}};  // more padding than packet
  for (const Row& row : rows) {
    std::string packet = Bytes({row.first}) + head.substr(1) + row.extra + "pay" + row.tail;
    auto rtp = rtsp::ParseRtp(packet);
    ASSERT_EQ(rtp.has_value(), row.valid) << row.first;
    if (rtp) {
      EXPECT_EQ(rtp->payload, "pay");
      EXPECT_EQ(rtp->timestamp, 9u);
    }
  }
}

TEST(RtspControl, JoinedToTheBase) {
  EXPECT_EQ(rtsp::ControlUrl("rtsp://h/a.rm", "streamid=0"), "rtsp://h/a.rm/streamid=0");
  EXPECT_EQ(rtsp::ControlUrl("rtsp://h/a.rm/", "streamid=0"), "rtsp://h/a.rm/streamid=0");
  EXPECT_EQ(rtsp::ControlUrl("rtsp://h/a.rm", "*"), "rtsp://h/a.rm");
  EXPECT_EQ(rtsp::ControlUrl("rtsp://h/a.rm", "rtsp://o/s=1"), "rtsp://o/s=1");
}

TEST(RtspTransport, InterleavedChannelAFrameCanCarry) {
  struct Row {
    const char* transport;
    int asked;
    int chosen;
  };
  const Row rows[] = {{"RTP/AVP/TCP;unicast;interleaved=4-5", 0, 4},
                      {"RTP/AVP/TCP;unicast;interleaved=3-4", 0, 2},
                      {"RTP/AVP/TCP;unicast", 6, 6},
                      {"RTP/AVP/TCP;interleaved=-2-3", 6, 6},
                      {"RTP/AVP/TCP;interleaved=256-257", 2, 2},
                      {"RTP/AVP/TCP;interleaved=99999999999-0", 2, 2},
                      {"RTP/AVP/TCP;interleaved=x", 2, 2}};
  for (const Row& row : rows)
    EXPECT_EQ(rtsp::InterleavedChannel(row.transport, row.asked), row.chosen) << row.transport;
}

TEST(MmsPacket, MalformedFramingIsRefused) {
  std::string framed = mms::FrameMessage(mms::kPong, std::string(8, '\0'), 1);
  std::string badSeal = framed;
  badSeal[12] = 'X';
  std::string shortLength = framed;
  shortLength[8] = 4;
  const std::string tinyData = Bytes({0, 0, 0, 0, 1, 0, 4, 0});  // a data packet smaller than its header
  mms::Packet packet;
  EXPECT_EQ(mms::ParsePacket(framed, packet), mms::ParseResult::kPacket);
  EXPECT_EQ(packet.id, mms::kPong);
  EXPECT_EQ(mms::ParsePacket(framed.substr(0, 20), packet), mms::ParseResult::kNeedMore);
  for (const std::string& bad : {badSeal, shortLength, tinyData})
    EXPECT_EQ(mms::ParsePacket(bad, packet), mms::ParseResult::kMalformed);
}

}  // namespace
}  // namespace tavrel::download

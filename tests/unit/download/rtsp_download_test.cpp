// RTSP streams from a scripted server: options, description, set-up with
// RTP interleaved on the connection, play, RTCP goodbye, tear-down.
#include <gtest/gtest.h>

#include <memory>

#include "runtime/download/messages.h"
#include "tests/support/download_fixture.h"
#include "tests/support/scripted_stream_server.h"

namespace tavrel::download {
namespace {

using testing::StreamPeer;

std::string Be16(unsigned v) { return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)}; }
std::string Be32(unsigned v) { return Be16(v >> 16) + Be16(v & 0xFFFF); }

std::string Interleaved(int channel, const std::string& data) {
  std::string frame(1, '$');
  frame += static_cast<char>(channel);
  return frame + Be16(static_cast<unsigned>(data.size())) + data;
}

// RTP version 2, payload type 101, marker on the first packet.
std::string Rtp(unsigned seq, unsigned timestamp, bool marker, const std::string& payload) {
  return std::string{static_cast<char>(0x80), static_cast<char>((marker ? 0x80 : 0) | 101)} + Be16(seq) +
         Be32(timestamp) + Be32(0x1234) + payload;
}

const std::string kBye = std::string{static_cast<char>(0x81), static_cast<char>(203)} + Be16(1) + Be32(0x1234);

// The request's CSeq, once a whole request has come.
std::string Answer(const std::string& received, const std::string& method, const std::string& fields,
                   const std::string& body = "") {
  std::size_t at = received.rfind(method + " ");
  std::size_t cseq = received.find("CSeq: ", at);
  std::string number = received.substr(cseq + 6, received.find("\r\n", cseq) - cseq - 6);
  return "RTSP/1.0 200 OK\r\nCSeq: " + number + "\r\n" + fields + "Content-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

bool HasRequest(const std::string& r, const std::string& method) {
  std::size_t at = r.rfind(method + " ");
  return at != std::string::npos && r.find("\r\n\r\n", at) != std::string::npos;
}

const std::string kSdp =
    "v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=clip\r\na=Title:string;\"A title\"\r\na=range:npt=0-2.5\r\n"
    "m=audio 0 RTP/AVP 101\r\na=control:streamid=0\r\na=rtpmap:101 x-pn-realaudio/1000\r\n"
    "a=mimetype:string;\"audio/x-pn-realaudio\"\r\na=AvgBitRate:integer;8000\r\na=OpaqueData:buffer;\"T1BBUVVF\"\r\n";

enum class Script { kWhole, kNotReal, kNoDescription, kEndsEarly, kStopped };

void Serve(StreamPeer& peer, Script script, const std::string (&payloads)[2], bool& tornDown) {
  auto wait = [&](const char* method) {
    return peer.ReadUntil([method](const std::string& r) { return HasRequest(r, method); });
  };
  if (!wait("OPTIONS")) return;
  const char* server = script == Script::kNotReal ? "Server: OtherStreamer/1.0\r\n" : "Server: Helix Server 11\r\n";
  peer.Send(Answer(peer.received, "OPTIONS", server));
  if (script == Script::kNotReal || !wait("DESCRIBE")) return;
  if (script == Script::kNoDescription) {
    peer.Send("RTSP/1.0 404 Not Found\r\nCSeq: 2\r\n\r\n");
    return;
  }
  peer.Send(Answer(peer.received, "DESCRIBE", "Content-Type: application/sdp\r\n", kSdp));
  if (!wait("SETUP")) return;
  peer.Send(
      Answer(peer.received, "SETUP", "Session: 77;timeout=60\r\nTransport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n"));
  if (!wait("PLAY")) return;
  peer.Send(Answer(peer.received, "PLAY", "Session: 77\r\n") + Interleaved(0, Rtp(1, 5000, true, payloads[0])));
  if (script == Script::kEndsEarly) return;
  if (script == Script::kWhole) peer.Send(Interleaved(0, Rtp(2, 5250, false, payloads[1])) + Interleaved(1, kBye));
  tornDown =
      wait("TEARDOWN") && peer.received.find("Session: 77", peer.received.rfind("TEARDOWN")) != std::string::npos;
}

// A RealMedia data packet as stored.
std::string Packet(unsigned timestamp, unsigned flags, const std::string& payload) {
  return Be16(0) + Be16(static_cast<unsigned>(12 + payload.size())) + Be16(0) + Be32(timestamp) + std::string(1, '\0') +
         std::string(1, static_cast<char>(flags)) + payload;
}

using RtspDownload = testing::HttpDownload;

TEST_F(RtspDownload, StoresTheStreamAsRealMedia) {
  const std::string payloads[2] = {testing::TestContent(300, 3), testing::TestContent(200, 4)};
  struct Row {
    Script script;
    std::string log;      // "" when the stream ends as asked
    std::string packets;  // the data chunk's packets, in order
    unsigned count;
  };
  const Row rows[] = {
      {Script::kWhole, "", Packet(0, 2, payloads[0]) + Packet(250, 0, payloads[1]), 2},
      {Script::kNotReal, FormatLine(msg::kNotRealServer, "OtherStreamer/1.0"), "", 0},
      {Script::kNoDescription, FormatLine(msg::kStreamRefused, "DESCRIBE", "404"), "", 0},
      {Script::kEndsEarly, msg::kStreamEndedEarly, Packet(0, 2, payloads[0]), 1},
      {Script::kStopped, "", Packet(0, 2, payloads[0]), 1},
  };
  for (const Row& row : rows) {
    const int index = static_cast<int>(&row - rows);
    SCOPED_TRACE(index);
    bool tornDown = false;
    auto server = std::make_unique<testing::ScriptedStreamServer>(
        [&](StreamPeer& peer) { Serve(peer, row.script, payloads, tornDown); });
    testing::DownloadRecorder recorder;
    Download download;
    std::string folder = testing::FreshTestFolder("rtsp-" + std::to_string(index));
    TaskParam p = Param("rtsp://127.0.0.1:" + std::to_string(server->Port()) + "/media/clip.rm", folder);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    if (row.script == Script::kStopped) {
      ASSERT_TRUE(recorder.WaitUntil([&] { return recorder.Count(kDataReceived) >= 2; }, 10000));
      StopDownload(download);
    }
    ASSERT_TRUE(recorder.WaitForEnd(10000)) << recorder.LogText();
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    server.reset();
    if (!row.log.empty()) {
      EXPECT_TRUE(recorder.HasLog(row.log, kLogError)) << recorder.LogText();
    }
    EXPECT_EQ(tornDown, row.script == Script::kWhole || row.script == Script::kStopped);
    auto file = testing::ReadWholeFile(folder + "clip.rm");
    if (row.packets.empty()) {
      EXPECT_FALSE(file);
      EXPECT_EQ(recorder.Count(kWorkerFailed), 1);
      continue;
    }
    ASSERT_TRUE(file);
    EXPECT_EQ(recorder.EndedValue(), static_cast<std::int32_t>(file->size()));
    EXPECT_EQ(file->substr(0, 4), ".RMF");
    // Headers from the description, then the data chunk counting its packets.
    for (const char* part : {"A title", "audio/x-pn-realaudio", "OPAQUE"})
      EXPECT_NE(file->find(part), std::string::npos) << part;
    std::size_t data = file->find("DATA");
    ASSERT_NE(data, std::string::npos);
    EXPECT_EQ(file->substr(data + 4, 4), Be32(static_cast<unsigned>(18 + row.packets.size())));
    EXPECT_EQ(file->substr(data + 10, 4), Be32(row.count));
    EXPECT_TRUE(testing::SameBytes(file->substr(data + 18), row.packets));
  }
}

}  // namespace
}  // namespace tavrel::download

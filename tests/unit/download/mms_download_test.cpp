// MMS streams from a scripted server that speaks the protocol over TCP.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "runtime/download/messages.h"
#include "tests/support/download_fixture.h"
#include "tests/support/scripted_stream_server.h"

namespace tavrel::download {
namespace {

using testing::StreamPeer;

std::string Le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

// A message in its framing: 32 framing bytes, then length in chunks, id,
// fields, padding to 8.
std::string Message(std::uint32_t id, const std::string& fields) {
  std::string m = Le32(0) + Le32(id) + fields;
  m.resize((m.size() + 7) / 8 * 8, '\0');
  m.replace(0, 4, Le32(static_cast<std::uint32_t>(m.size() / 8)));
  return std::string("\x01\0\0\0", 4) + Le32(0xB00BFACE) + Le32(static_cast<std::uint32_t>(m.size() + 16)) +
         Le32(0x20534D4D) + Le32(static_cast<std::uint32_t>((m.size() + 16) / 8)) + std::string(12, '\0') + m;
}

std::string Data(std::uint32_t location, const std::string& payload) {
  std::string d = Le32(location) + std::string(2, '\0') + std::string(2, '\0') + payload;
  auto size = static_cast<std::uint16_t>(d.size());
  d[6] = static_cast<char>(size & 0xFF);
  d[7] = static_cast<char>(size >> 8);
  return d;
}

constexpr std::uint32_t kPacketSize = 64;
constexpr std::uint32_t kFileId = 7;

std::string OpenFileReport(std::uint32_t hr, std::uint32_t headerSize) {
  std::string f = Le32(hr) + Le32(1) + Le32(kFileId) + Le32(0) + Le32(0) + Le32(0) + std::string(8, '\0') + Le32(0) +
                  std::string(16, '\0') + Le32(kPacketSize) + Le32(3) + Le32(0) + Le32(0) + Le32(headerSize) +
                  std::string(36, '\0');
  return Message(0x00040006, f);
}

// Whether the client has sent a message with this id.
bool Sent(const std::string& received, std::uint32_t id) {
  for (std::size_t at = 0; at + 40 <= received.size();) {
    std::uint32_t length = 0, mid = 0;
    std::memcpy(&length, received.data() + at + 8, 4);
    std::memcpy(&mid, received.data() + at + 36, 4);
    if (mid == id) return true;
    at += length + 16;
  }
  return false;
}

enum class Script { kWhole, kRefused, kEndsEarly, kStopped, kLastPlace };

// farewell: the client stopped the playing and closed the file.
void Serve(StreamPeer& peer, Script script, const std::string& header, const std::string (&packets)[3],
           bool& farewell) {
  auto waitFor = [&](std::uint32_t id) { return peer.ReadUntil([id](const std::string& r) { return Sent(r, id); }); };
  const std::string ok = Le32(0);
  if (!waitFor(0x00030001) || !peer.Send(Message(0x00040001, ok + Le32(0xF0F0F0EF) + std::string(48, '\0')))) return;
  if (!waitFor(0x00030002) || !peer.Send(Message(0x00040002, ok + Le32(0)))) return;
  if (!waitFor(0x00030005)) return;
  if (script == Script::kRefused) {
    peer.Send(OpenFileReport(0x80070002, 0));
    peer.WaitForClose();
    return;
  }
  peer.Send(OpenFileReport(0, static_cast<std::uint32_t>(header.size())));
  if (!waitFor(0x00030015)) return;
  peer.Send(Message(0x00040011, ok + Le32(2) + Le32(0)) + Data(0, header.substr(0, 60)) + Data(1, header.substr(60)));
  if (!waitFor(0x00030007)) return;
  peer.Send(Message(0x00040005, ok + Le32(3) + Le32(kFileId) + std::string(12, '\0')));
  // A ping on the way must be answered and must not end the stream.
  peer.Send(Data(0, packets[0]) + Message(0x0004001B, Le32(0) + Le32(0)));
  if (script == Script::kEndsEarly) return;
  if (script == Script::kStopped) {
    farewell =
        peer.ReadUntil([](const std::string& r) { return Sent(r, 0x0003000D); }) && Sent(peer.received, 0x00030009);
    return;
  }
  if (!waitFor(0x0003001B)) return;
  if (script == Script::kLastPlace) {
    // Nothing comes after the last place: packet 0 again is sent again.
    peer.Send(Data(0xFFFFFFFF, packets[1]) + Data(0, packets[2]) + Message(0x0004001E, ok + Le32(3)));
    farewell = peer.ReadUntil([](const std::string& r) { return Sent(r, 0x0003000D); });
    return;
  }
  peer.Send(Data(1, packets[1]) + Data(1, packets[1]) + Data(2, packets[2]) + Message(0x0004001E, ok + Le32(3)));
  farewell = peer.ReadUntil([](const std::string& r) { return Sent(r, 0x0003000D); });
}

using MmsDownload = testing::HttpDownload;

TEST_F(MmsDownload, StreamsTheAsfFileInOrder) {
  const std::string header = testing::TestContent(100, 5);
  const std::string packets[3] = {testing::TestContent(64, 6), testing::TestContent(50, 7),
                                  testing::TestContent(64, 8)};
  const std::string whole = header + packets[0] + packets[1] + std::string(14, '\0') + packets[2];
  struct Row {
    Script script;
    std::string log;     // "" for a stream fetched whole
    std::string stored;  // what the file holds at the end
  };
  const Row rows[] = {
      {Script::kWhole, "", whole},
      {Script::kRefused, FormatLine(msg::kStreamRefused, "OpenFile", "0x80070002"), ""},
      {Script::kEndsEarly, msg::kStreamEndedEarly, header + packets[0]},
      {Script::kStopped, "", header + packets[0]},
      {Script::kLastPlace, "", header + packets[0] + packets[1] + std::string(14, '\0')},
  };
  for (const Row& row : rows) {
    const int index = static_cast<int>(&row - rows);
    SCOPED_TRACE(index);
    bool farewell = false;
    auto server = std::make_unique<testing::ScriptedStreamServer>(
        [&](StreamPeer& peer) { Serve(peer, row.script, header, packets, farewell); });
    testing::DownloadRecorder recorder;
    Download download;
    std::string folder = testing::FreshTestFolder("mms-" + std::to_string(index));
    TaskParam p = Param("mmst://127.0.0.1:" + std::to_string(server->Port()) + "/dir/clip.asf", folder);
    recorder.Attach(p, &download);
    ASSERT_TRUE(StartDownload(download, p));
    if (row.script == Script::kStopped) {
      const auto stored = static_cast<std::int64_t>(row.stored.size());
      ASSERT_TRUE(recorder.WaitUntil([&] { return recorder.DataReceivedSum() == stored; }, 10000));
      StopDownload(download);
    }
    ASSERT_TRUE(recorder.WaitForEnd(10000)) << recorder.LogText();
    ASSERT_TRUE(WaitUntilIdle(download, 5000));
    if (row.log.empty()) {
      EXPECT_EQ(recorder.Count(kWorkerFailed), row.script == Script::kStopped ? 1 : 0);
    } else {
      EXPECT_TRUE(recorder.HasLog(row.log, kLogError)) << recorder.LogText();
    }
    EXPECT_EQ(recorder.EndedValue(), static_cast<std::int32_t>(row.stored.size()));
    if (row.script == Script::kRefused)
      EXPECT_EQ(testing::FilesIn(folder), 0u);
    else
      EXPECT_TRUE(testing::SameBytes(testing::ReadWholeFile(folder + "clip.asf"), row.stored));
    for (const char* step : {"Connect", "OpenFile"}) EXPECT_TRUE(recorder.HasLog(step, kLogRequest)) << step;
    server.reset();
    EXPECT_EQ(farewell, row.script != Script::kRefused && row.script != Script::kEndsEarly);
  }
}

}  // namespace
}  // namespace tavrel::download

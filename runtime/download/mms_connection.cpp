// An MMS address: one connection over TCP that connects, opens the file,
// reads the ASF header (read-block) and has the server play the ASF data
// packets, storing them in order as an ASF file. A stream has no ranges:
// a refusal or an early end is the task's end, and nothing is retried once
// the server has answered.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "runtime/download/connection.h"
#include "runtime/download/file_naming.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/mms_message.h"
#include "runtime/download/task.h"
#include "runtime/download/url.h"

namespace tavrel::download {
namespace {

// Servers take a client that names this version as wanting every stream of
// the file, without a stream selection.
constexpr char kSubscriber[] = "NSPlayer/4.1.0.3928; {7C0F5B3E-2D4A-4E21-9A51-3C3F1B2E8D10}; Host: ";
constexpr std::uint32_t kNoPacketPair = 0xF0F0F0EF;
constexpr std::uint32_t kServerRevision = 0x0004000B;
constexpr std::uint32_t kClientRevision = 0x0003001C;
constexpr std::uint32_t kAnyBlockBytes = 0xFFFFFFFF;
constexpr std::uint32_t kMaxBitRate = 0x00989680;
constexpr std::uint32_t kFunnelMode = 2;
constexpr std::uint32_t kHeaderBlockBytes = 0x8000;
constexpr std::uint32_t kAllFlags = 0xFFFFFFFF;
constexpr double kHeaderDeadline = 3600.0;
constexpr std::uint32_t kUnset = 0xFFFFFFFF;
constexpr std::uint32_t kOpenIncarnation = 1, kHeaderIncarnation = 2, kPlayIncarnation = 3;
// An end of stream whose next entry follows: what came is a whole entry.
constexpr std::uint32_t kEndWithNextEntry = 1;

class MmsConnection final : public Connection {
 public:
  using Connection::Connection;

 private:
  ConnectionEnd RunFirst() override {
    route_.url = task_.StartUrl();
    route_.connectHost = route_.url.host;
    route_.connectPort = route_.url.port;
    if (auto end = Attempt([this] { return Connect(true); })) return *end;
    Outcome o = Play();
    if (o == Outcome::kStopped || task_.Stopping()) {
      // The server is told; whatever it answers, the task is stopping.
      if (playing_)
        SendParting(mms::FrameMessage(mms::kStopPlaying, Fields({facts_.openFileId, kPlayIncarnation}), sequence_++));
      if (opened_) SendParting(mms::FrameMessage(mms::kCloseFile, Fields({facts_.openFileId}), sequence_++));
      return ConnectionEnd::kStopped;
    }
    if (o != Outcome::kOk) return ConnectionEnd::kFailed;
    SendParting(mms::FrameMessage(mms::kCloseFile, Fields({facts_.openFileId}), sequence_++));
    return ConnectionEnd::kDone;
  }

  Outcome RequestBlock() override { return Outcome::kFailed; }

  static std::string Fields(std::initializer_list<std::uint32_t> values) {
    std::string out;
    for (std::uint32_t v : values) mms::Put32(out, v);
    return out;
  }

  Outcome Play() {
    std::uint32_t local = 0, peer = 0;
    socket_.Ipv4Ends(local, peer);
    mms::Packet reply;
    Outcome o =
        Exchange("Connect", mms::kConnect,
                 Fields({kNoPacketPair, kServerRevision, kClientRevision}) + mms::Utf16(kSubscriber + route_.url.host),
                 mms::kReportConnected, reply);
    if (o != Outcome::kOk) return o;
    char funnel[64];
    std::snprintf(funnel, sizeof funnel, "\\\\%u.%u.%u.%u\\TCP\\%u", local >> 24, (local >> 16) & 0xFF,
                  (local >> 8) & 0xFF, local & 0xFF, static_cast<unsigned>(route_.url.port));
    o = Exchange("ConnectFunnel", mms::kConnectFunnel,
                 Fields({0, kAnyBlockBytes, 0, kMaxBitRate, kFunnelMode}) + mms::Utf16(funnel),
                 mms::kReportConnectedFunnel, reply);
    if (o != Outcome::kOk) return o;

    std::string name = DecodePercentEscapes(route_.url.path.substr(1));
    o = Exchange("OpenFile", mms::kOpenFile, Fields({kOpenIncarnation, 0, 0, 0}) + mms::Utf16(name),
                 mms::kReportOpenFile, reply);
    if (o != Outcome::kOk) return o;
    auto facts = mms::ReadOpenFileReport(reply.body);
    if (!facts || facts->packetSize == 0 || facts->headerSize == 0) return Fail(msg::kStreamMalformed);
    facts_ = *facts;
    opened_ = true;
    if ((o = CreateFile()) != Outcome::kOk) return o;

    std::string readBlock = Fields({facts_.openFileId, 0, 0, kHeaderBlockBytes, kAllFlags, 0});
    mms::PutDouble(readBlock, 0.0);
    mms::PutDouble(readBlock, kHeaderDeadline);
    readBlock += Fields({kHeaderIncarnation, 0});
    if ((o = Exchange("ReadBlock", mms::kReadBlock, readBlock, mms::kReportReadBlock, reply)) != Outcome::kOk) return o;
    while (headerStored_ < facts_.headerSize) {
      if ((o = Next(reply)) != Outcome::kOk) return o;
      if (reply.isMessage) {
        if ((o = Unexpected("ReadBlock", reply)) != Outcome::kOk) return o;
        continue;
      }
      if ((o = StoreStreamBytes(reply.body)) != Outcome::kOk) return o;
      headerStored_ += static_cast<std::uint32_t>(reply.body.size());
    }

    std::string start = Fields({facts_.openFileId, 0});
    mms::PutDouble(start, 0.0);
    start += Fields({kUnset, kUnset, kUnset, kPlayIncarnation});
    if ((o = Exchange("StartPlaying", mms::kStartPlaying, start, mms::kReportStartedPlaying, reply)) != Outcome::kOk)
      return o;
    playing_ = true;
    while (true) {
      if ((o = Next(reply)) != Outcome::kOk) return o;
      if (!reply.isMessage) {
        if ((o = StorePacket(reply)) != Outcome::kOk) return o;
        continue;
      }
      if (reply.id == mms::kReportEndOfStream) {
        playing_ = false;
        if (reply.result == 0 || reply.result == kEndWithNextEntry) return Outcome::kOk;
        return Refused("StartPlaying", reply.result);
      }
      if ((o = Unexpected("StartPlaying", reply)) != Outcome::kOk) return o;
    }
  }

  Outcome CreateFile() {
    std::string path;
    std::uint64_t expected = facts_.headerSize + std::uint64_t{facts_.packetSize} * facts_.packetCount;
    total_ = expected <= INT32_MAX ? static_cast<std::int32_t>(expected) : 0;
    Outcome o = NameFile(UrlPathFileName(route_.url.path), path);
    if (o != Outcome::kOk) return o;
    platform::PlainFile file = platform::PlainFile::CreateNew(path);
    if (!file.IsOpen()) return Fail(msg::kCreateFileFailed);
    File().BeginStream(std::move(file), path, route_);
    task_.QueueEvent(kTransferStarted, number_, total_, 0);
    return Outcome::kOk;
  }

  // ASF data packets have one size in the file: a shorter one is padded.
  Outcome StorePacket(const mms::Packet& packet) {
    if (packet.location < nextPacket_) return Outcome::kOk;  // sent again
    if (packet.body.size() > facts_.packetSize) return Fail(msg::kStreamMalformed);
    nextPacket_ = std::uint64_t{packet.location} + 1;
    std::string bytes = packet.body;
    bytes.resize(facts_.packetSize, '\0');
    return StoreStreamBytes(bytes);
  }

  Outcome SendMessage(std::uint32_t id, const std::string& fields) {
    return Send(socket_, mms::FrameMessage(id, fields, sequence_++), msg::kSendRequestFailed);
  }

  // Sends a message and waits for the report that answers it.
  Outcome Exchange(const char* name, std::uint32_t id, const std::string& fields, std::uint32_t answer,
                   mms::Packet& reply) {
    Log(kLogRequest, name);
    Outcome o = SendMessage(id, fields);
    if (o != Outcome::kOk) return o == Outcome::kRetry ? Outcome::kFailed : o;
    while (true) {
      if ((o = Next(reply)) != Outcome::kOk) return o;
      if (!reply.isMessage) continue;  // nothing is asked for yet
      if (reply.id == answer) return reply.result == 0 ? Outcome::kOk : Refused(name, reply.result);
      if ((o = Unexpected(name, reply)) != Outcome::kOk) return o;
    }
  }

  // A message other than the one waited for: a failure report ends the
  // task, an end of stream is an early end, anything else is passed over.
  Outcome Unexpected(const char* name, const mms::Packet& message) {
    if (message.id == mms::kReportEndOfStream) return Fail(msg::kStreamEndedEarly);
    if (message.result & 0x80000000u) return Refused(name, message.result);
    return Outcome::kOk;
  }

  Outcome Refused(const char* name, std::uint32_t result) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(result));
    return Fail(FormatLine(msg::kStreamRefused, name, hex));
  }

  // The next packet; the server's pings are answered on the way.
  Outcome Next(mms::Packet& packet) {
    while (true) {
      switch (mms::ParsePacket(received_, packet)) {
        case mms::ParseResult::kPacket:
          received_.erase(0, packet.size);
          if (packet.isMessage && packet.id == mms::kPing) {
            Outcome o = SendMessage(mms::kPong, Fields({0, 0}));
            if (o != Outcome::kOk) return o == Outcome::kRetry ? Outcome::kFailed : o;
            continue;
          }
          return Outcome::kOk;
        case mms::ParseResult::kMalformed: return Fail(msg::kStreamMalformed);
        case mms::ParseResult::kNeedMore: break;
      }
      if (Outcome o = ReceiveStreamBytes(received_); o != Outcome::kOk) return o;
    }
  }

  mms::FileFacts facts_;
  std::string received_;
  std::uint16_t sequence_ = 0;
  std::uint32_t headerStored_ = 0;
  // Wider than a packet's place, so that after the last place every packet
  // still reads as sent again.
  std::uint64_t nextPacket_ = 0;
  bool opened_ = false;
  bool playing_ = false;
};

}  // namespace

std::unique_ptr<Connection> MakeMmsConnection(Task& task, std::int32_t number, std::int32_t block) {
  return std::make_unique<MmsConnection>(task, number, block);
}

}  // namespace tavrel::download

// An RTSP address: one connection that asks for the server's options and
// goes on only with a server that names itself Real or Helix, then reads
// the description, sets every stream up with RTP interleaved on this
// connection, plays, and stores the packets in a RealMedia file whose
// headers come from the description. The session is torn down at the end
// and on a stop; the stream is whole once every stream's RTCP has said
// goodbye, and a connection closed before that is an early end.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "runtime/download/connection.h"
#include "runtime/download/file_naming.h"
#include "runtime/download/http_message.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/realmedia_file.h"
#include "runtime/download/rtsp_message.h"
#include "runtime/download/task.h"
#include "runtime/download/url.h"

namespace tavrel::download {
namespace {

constexpr int kOk = 200;
const char* const kServerNames[] = {"Real", "Helix"};

class RtspConnection final : public Connection {
 public:
  using Connection::Connection;

 private:
  ConnectionEnd RunFirst() override {
    route_.url = task_.StartUrl();
    route_.connectHost = route_.url.host;
    route_.connectPort = route_.url.port;
    if (auto end = Attempt([this] { return Connect(true); })) return *end;
    Outcome o = Play();
    if (!session_.empty()) SendParting(rtsp::Request("TEARDOWN", base_, cseq_++, Lines({"Session: " + session_})));
    if (File().Begun()) {
      // The counts are known now; the headers keep their length.
      std::string headers = RealMediaHeaders(description_, counts_);
      if (!File().Rewrite(0, headers.data(), static_cast<std::int32_t>(headers.size())) && o == Outcome::kOk)
        o = Fail(msg::kStreamWriteFailed);
    }
    if (o == Outcome::kStopped || task_.Stopping()) return ConnectionEnd::kStopped;
    return o == Outcome::kOk ? ConnectionEnd::kDone : ConnectionEnd::kFailed;
  }

  Outcome RequestBlock() override { return Outcome::kFailed; }

  static std::vector<std::string> Lines(std::vector<std::string> extra) {
    extra.insert(extra.begin(), std::string("User-Agent: ") + kUserAgent);
    return extra;
  }

  Outcome Play() {
    base_ = "rtsp://" + route_.url.hostPart + route_.url.path;
    rtsp::Response r;
    Outcome o = Exchange("OPTIONS", base_, Lines({}), r);
    if (o != Outcome::kOk) return o;
    std::string server = r.Field("Server");
    bool real = false;
    for (const char* name : kServerNames) real = real || server.find(name) != std::string::npos;
    if (!real) return Fail(FormatLine(msg::kNotRealServer, server.c_str()));

    if ((o = Exchange("DESCRIBE", base_, Lines({"Accept: application/sdp"}), r)) != Outcome::kOk) return o;
    description_ = rtsp::ParseDescription(r.body);
    if (description_.streams.empty()) return Fail(msg::kStreamMalformed);
    std::string base = r.Field("Content-Base");
    if (base.empty()) base = base_;

    for (std::size_t i = 0; i < description_.streams.size(); ++i) {
      std::string channels = std::to_string(2 * i) + "-" + std::to_string(2 * i + 1);
      std::vector<std::string> lines = Lines({"Transport: RTP/AVP/TCP;unicast;interleaved=" + channels});
      if (!session_.empty()) lines.push_back("Session: " + session_);
      if ((o = Exchange("SETUP", rtsp::ControlUrl(base, description_.streams[i].control), lines, r)) != Outcome::kOk)
        return o;
      session_ = r.Field("Session").substr(0, r.Field("Session").find(';'));
      MapChannels(r.Field("Transport"), static_cast<int>(i));
    }
    if ((o = CreateFile()) != Outcome::kOk) return o;
    if ((o = Exchange("PLAY", base_, Lines({"Session: " + session_, "Range: npt=0-"}), r)) != Outcome::kOk) return o;
    std::set<int> ended;
    while (ended.size() < description_.streams.size()) {
      rtsp::Frame frame;
      bool isFrame = false;
      if ((o = Next(r, frame, isFrame)) != Outcome::kOk) return o;
      if (!isFrame) continue;  // a word from the server in passing
      auto stream = static_cast<std::size_t>(frame.channel / 2);
      if (frame.channel < 0 || stream >= channelStream_.size() || channelStream_[stream] < 0) continue;
      int index = channelStream_[stream];
      if (frame.channel % 2 == 1) {
        if (rtsp::RtcpHasBye(frame.data)) ended.insert(index);
        continue;
      }
      if (auto packet = rtsp::ParseRtp(frame.data)) {
        if ((o = StorePacket(index, *packet)) != Outcome::kOk) return o;
      }
    }
    return Outcome::kOk;
  }

  void MapChannels(const std::string& transport, int index) {
    auto pair = static_cast<std::size_t>(rtsp::InterleavedChannel(transport, 2 * index) / 2);
    if (pair >= channelStream_.size()) channelStream_.resize(pair + 1, -1);
    channelStream_[pair] = index;
  }

  Outcome CreateFile() {
    std::string path;
    Outcome o = NameFile(UrlPathFileName(route_.url.path), path);
    if (o != Outcome::kOk) return o;
    platform::PlainFile file = platform::PlainFile::CreateNew(path);
    if (!file.IsOpen()) return Fail(msg::kCreateFileFailed);
    File().BeginStream(std::move(file), path, route_);
    task_.QueueEvent(kTransferStarted, number_, 0, 0);
    firstTimestamp_.assign(description_.streams.size(), -1);
    return StoreStreamBytes(RealMediaHeaders(description_, counts_));
  }

  Outcome StorePacket(int index, const rtsp::RtpPacket& packet) {
    auto& first = firstTimestamp_[static_cast<std::size_t>(index)];
    if (first < 0) first = packet.timestamp;
    std::uint64_t units = static_cast<std::uint32_t>(packet.timestamp - static_cast<std::uint32_t>(first));
    auto ms =
        static_cast<std::uint32_t>(units * 1000 / description_.streams[static_cast<std::size_t>(index)].clockRate);
    std::string bytes =
        RealMediaPacket(static_cast<std::uint16_t>(index), ms, packet.marker ? kRealMediaKeyFrame : 0, packet.payload);
    ++counts_.packets;
    counts_.packetBytes += static_cast<std::uint32_t>(bytes.size());
    counts_.largestPacket = std::max(counts_.largestPacket, static_cast<std::uint32_t>(bytes.size()));
    return StoreStreamBytes(bytes);
  }

  // Sends a request and reads its response, storing frames that come first.
  Outcome Exchange(const char* method, const std::string& target, const std::vector<std::string>& lines,
                   rtsp::Response& response) {
    const int cseq = cseq_++;
    Log(kLogRequest, std::string(method) + " " + target);
    Outcome o = Send(socket_, rtsp::Request(method, target, cseq, lines), msg::kSendRequestFailed);
    if (o != Outcome::kOk) return o == Outcome::kRetry ? Outcome::kFailed : o;
    while (true) {
      rtsp::Frame frame;
      bool isFrame = false;
      if ((o = Next(response, frame, isFrame)) != Outcome::kOk) return o;
      if (isFrame || response.status == 0) continue;
      if (response.Field("CSeq") != std::to_string(cseq)) continue;
      Log(kLogResponse, response.head);
      if (response.status != kOk)
        return Fail(FormatLine(msg::kStreamRefused, method, std::to_string(response.status).c_str()));
      return Outcome::kOk;
    }
  }

  Outcome Next(rtsp::Response& response, rtsp::Frame& frame, bool& isFrame) {
    while (true) {
      std::size_t used = 0;
      switch (rtsp::ParseNext(received_, response, frame, used)) {
        case rtsp::Parsed::kResponse:
        case rtsp::Parsed::kFrame:
          isFrame = received_.front() == '$';
          received_.erase(0, used);
          return Outcome::kOk;
        case rtsp::Parsed::kMalformed: return Fail(msg::kStreamMalformed);
        case rtsp::Parsed::kNeedMore: break;
      }
      if (Outcome o = ReceiveStreamBytes(received_); o != Outcome::kOk) return o;
    }
  }

  std::string base_;
  std::string session_;
  std::string received_;
  int cseq_ = 1;
  rtsp::Description description_;
  RealMediaCounts counts_;
  std::vector<int> channelStream_;  // per channel pair, the stream's index or -1
  std::vector<std::int64_t> firstTimestamp_;
};

}  // namespace

std::unique_ptr<Connection> MakeRtspConnection(Task& task, std::int32_t number, std::int32_t block) {
  return std::make_unique<RtspConnection>(task, number, block);
}

}  // namespace tavrel::download

// An HTTP connection of a task. The first connection follows redirections,
// learns the file's size, names and creates the file and starts the other
// connections; every connection then receives blocks through its own buffer.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/download/block_plan.h"
#include "runtime/download/connection.h"
#include "runtime/download/file_naming.h"
#include "runtime/download/http_message.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/redirect.h"
#include "runtime/download/task.h"

namespace tavrel::download {
namespace {

enum class Outcome { kOk, kRetry, kFailed, kStopped };
enum class BodyEnd { kBlockComplete, kClosedWithData, kRetry, kStopped, kLost };

struct ProxyAddress {
  std::string host;
  std::uint16_t port = 80;
};

std::optional<ProxyAddress> ParseProxy(std::string_view text) {
  ProxyAddress proxy;
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    proxy.host = std::string(text);
  } else {
    proxy.host = std::string(text.substr(0, colon));
    auto port = LeadingNumber(text.substr(colon + 1));
    if (!port || *port < 1 || *port > 65535) return std::nullopt;
    proxy.port = static_cast<std::uint16_t>(*port);
  }
  if (proxy.host.empty()) return std::nullopt;
  return proxy;
}

class HttpConnection {
 public:
  HttpConnection(Task& task, std::int32_t number, std::int32_t block)
      : task_(task),
        param_(task.Param()),
        number_(number),
        threadId_(platform::CurrentThreadId()),
        block_(block),
        buffer_(std::make_unique<std::uint8_t[]>(kBufferBytes)) {
    receiveTimeoutMs_ = std::max<std::int32_t>(param_.receiveTimeoutMs, 1);
    chunk_ = std::clamp<std::int32_t>(param_.readChunk > 0 ? param_.readChunk : kBufferBytes, 1, kBufferBytes);
    if (param_.speedLimit > 0) {
      std::int32_t share = param_.speedLimit / std::max<std::int32_t>(task.ActiveConnections(), 1);
      chunk_ = std::clamp<std::int32_t>(share, 1, kBufferBytes);
      paced_ = true;
    }
  }

  ConnectionEnd Run() {
    task_.QueueEvent(kWorkerStarted, number_, 0, 0);
    bool succeeded;
    if (block_ == BlockPlan::kNone) {
      succeeded = RunFirst();
    } else {
      route_ = task_.CurrentRoute();
      total_ = task_.TotalSize();
      task_.MarkBlockThread(block_, threadId_);
      succeeded = RunBlocks(false, kBlockBegun);
    }
    CloseResponse();
    std::int32_t position = 0;
    if (block_ != BlockPlan::kNone) {
      position = task_.BlockState(block_).Position();
      task_.ReleaseBlock(block_, number_);
    }
    task_.QueueEvent(succeeded ? kWorkerSucceeded : kWorkerFailed, number_, position, 0);
    if (task_.Stopping() && end_ != ConnectionEnd::kDone) end_ = ConnectionEnd::kStopped;
    return end_;
  }

 private:
  void Log(std::int32_t level, std::string text) { task_.QueueLog(number_, level, std::move(text)); }

  Outcome Fail(std::string text) {
    Log(kLogError, std::move(text));
    return Outcome::kFailed;
  }

  void CloseResponse() {
    socket_.Close();
    task_.DropStream(number_);
  }

  bool Retry() {
    if (task_.Stopping() || retries_ >= RetryLimit()) {
      end_ = task_.Stopping() ? ConnectionEnd::kStopped : ConnectionEnd::kGaveUp;
      return false;
    }
    ++retries_;
    Log(kLogProgress, FormatLine(msg::kRetryAfter, RetryDelayMs() / 1000));
    return task_.WaitBeforeRetry();
  }

  // --- The first connection ---

  bool RunFirst() {
    route_.url = task_.StartUrl();
    route_.referer = param_.referer.empty() ? TextBeforeLastSlash(param_.url) : param_.referer;
    if (!param_.proxy.empty()) {
      auto proxy = ParseProxy(param_.proxy);
      if (!proxy) {
        Fail(FormatLine(msg::kResolveProxyFailed, param_.proxy.c_str()));
        return false;
      }
      route_.viaProxy = true;
      route_.connectHost = proxy->host;
      route_.connectPort = proxy->port;
    } else {
      route_.connectHost = route_.url.host;
      route_.connectPort = route_.url.port;
    }

    int redirects = 0;
    while (true) {
      if (task_.Stopping()) return false;
      Outcome o = Connect(true);
      if (o == Outcome::kOk) o = SendRequest(route_.cookieLine);
      if (o == Outcome::kOk) o = ReadHeader();
      if (o == Outcome::kRetry) {
        socket_.Close();
        if (!Retry()) return false;
        continue;
      }
      if (o != Outcome::kOk) return false;

      int status = StatusCode(header_);
      if (status == 301 || status == 302) {
        socket_.Close();
        if (FollowRedirect(++redirects) != Outcome::kOk) return false;
        continue;
      }
      if (status == 400 || status == 403 || status == 404) return Fail(msg::kServerError), false;
      if (status != 200 && status != 206) return Fail(FormatLine(msg::kUnsupportedStatus, status)), false;
      break;
    }

    if (TakeTotalSize() != Outcome::kOk) return false;
    streamPos_ = 0;
    std::string path;
    platform::MappedFile file;
    if (PrepareFile(path, file) != Outcome::kOk) return false;

    BlockPlan plan(total_, param_.connections);
    std::int32_t blocks = plan.Count();
    task_.PublishRoute(route_);
    task_.BeginTransfer(std::move(plan), std::move(file), path, number_, threadId_);
    block_ = 0;
    if (StatusCode(header_) == 200) task_.HoldStream(number_);
    task_.QueueEvent(kTransferStarted, number_, total_, 0);
    Block b = task_.BlockState(0);
    task_.QueueEvent(kBlockBegun, number_, b.Position(), b.End());
    for (std::int32_t i = 1; i < blocks; ++i) task_.RequestConnection();
    return RunBlocks(true, kBlockBegun);
  }

  Outcome FollowRedirect(int redirects) {
    auto location = FindField(header_, "Location");
    if (!location || location->empty()) return Fail(msg::kNoRedirectTarget);
    Log(kLogProgress, FormatLine(msg::kRedirectedTo, std::string(*location).c_str()));
    if (auto setCookie = FindField(header_, "Set-Cookie")) {
      std::string cookie = CookieOf(*setCookie);
      if (cookie.size() > kMaxCookieBytes) return Fail(msg::kBadRedirect);
      if (!cookie.empty()) route_.cookieLine = "Cookie: " + cookie;
    }
    // A server that keeps redirecting must not hold the task for ever.
    if (redirects > kMaxRedirects) return Fail(msg::kBadRedirect);
    auto next = FollowLocation(route_.url, *location);
    if (!next) return Fail(msg::kBadRedirect);
    bool moved = next->url.host != route_.url.host || next->url.port != route_.url.port;
    route_.url = std::move(next->url);
    route_.referer = std::move(next->referer);
    if (moved && !route_.viaProxy) {
      route_.connectHost = route_.url.host;
      route_.connectPort = route_.url.port;
      route_.endpoints.clear();
    }
    return Outcome::kOk;
  }

  Outcome TakeTotalSize() {
    std::int64_t total = -1;
    if (StatusCode(header_) == 200) {
      total = ContentLength(header_);
    } else {
      auto field = FindField(header_, "Content-Range");
      auto range = field ? ParseContentRange(*field) : std::nullopt;
      if (range) {
        // Bytes for another place than the file's start cannot be block 0.
        if (range->first != 0) return Fail(FormatLine(msg::kWrongRange, std::string(*field).c_str()));
        total = range->total;
      }
    }
    // Sizes are signed 32-bit: a larger or negative one is no size at all.
    if (total < 0 || total > INT32_MAX) return Fail(msg::kNoFileSize);
    total_ = static_cast<std::int32_t>(total);
    bodyLeft_ = ContentLength(header_);
    return Outcome::kOk;
  }

  Outcome PrepareFile(std::string& path, platform::MappedFile& file) {
    path = param_.localPath;
    if (EndsWithSeparator(path, platform::IsPathLeadByte)) {
      std::string name;
      if (auto disposition = FindField(header_, "Content-Disposition")) name = DispositionFileName(*disposition);
      if (name.empty()) name = UrlPathFileName(route_.url.path);
      auto safe = SafeFileName(name, platform::IsPathLeadByte);
      if (!safe) return Fail(msg::kCreateFileFailed);
      path += *safe;
    }
    if (platform::PathExists(path)) {
      std::int64_t size = platform::FileSize(path);
      auto existing = static_cast<std::int32_t>(std::clamp<std::int64_t>(size, -1, INT32_MAX));
      std::string changed;
      switch (task_.AskFileExists(number_, path, existing, total_, changed)) {
        case kRenameItself: {
          bool found = false;
          for (int i = 0; i < kMaxRenames && !found; ++i) {
            path = NextFreeName(path, platform::IsPathLeadByte);
            found = !platform::PathExists(path);
          }
          if (!found) return Fail(msg::kTooManyRenames);
          Log(kLogProgress, FormatLine(msg::kAutoRenamed, path.c_str()));
          break;
        }
        case kAbandon:
          return Fail(msg::kUserAbandoned);
        case kNameChanged:
          path = changed;
          Log(kLogProgress, FormatLine(msg::kUserRenamed, path.c_str()));
          break;
        default:
          return Outcome::kFailed;
      }
    }
    file = platform::MappedFile::CreateNew(path, total_);
    if (!file.IsOpen()) return Fail(msg::kCreateFileFailed);
    return Outcome::kOk;
  }

  // --- Blocks ---

  bool RunBlocks(bool haveResponse, std::int32_t announce) {
    bool announced = haveResponse;
    while (true) {
      if (!haveResponse && !StillMine()) {
        // Stored meanwhile by the stream that took it over: on to the next.
        std::int32_t next = task_.TakeNextBlock(block_, number_, threadId_);
        if (next == BlockPlan::kNone) {
          end_ = ConnectionEnd::kDone;
          return true;
        }
        block_ = next;
        announce = announced ? kBlockTakenOver : announce;
        announced = false;
      }
      if (!announced) {
        Block b = task_.BlockState(block_);
        task_.QueueEvent(announce, number_, b.Position(), b.End());
        announced = true;
      }
      if (!haveResponse) {
        if (task_.Stopping()) return false;
        Outcome o = OpenRange();
        if (o == Outcome::kRetry) {
          CloseResponse();
          if (!Retry()) return false;
          continue;
        }
        if (o != Outcome::kOk) return false;
      }
      haveResponse = false;
      BodyEnd end = ReceiveBody();
      if (end == BodyEnd::kBlockComplete) {
        if (ContinueStream(end)) {
          announce = kBlockTakenOver;
          announced = false;
          haveResponse = true;
          continue;
        }
        if (end != BodyEnd::kBlockComplete) {
          CloseResponse();
          end_ = ConnectionEnd::kLeftRest;
          return end != BodyEnd::kStopped;
        }
      }
      CloseResponse();
      switch (end) {
        case BodyEnd::kBlockComplete: {
          std::int32_t next = task_.TakeNextBlock(block_, number_, threadId_);
          if (next == BlockPlan::kNone) {
            end_ = ConnectionEnd::kDone;
            return true;
          }
          block_ = next;
          announce = kBlockTakenOver;
          announced = false;
          break;
        }
        case BodyEnd::kClosedWithData:
          end_ = ConnectionEnd::kLeftRest;  // another connection takes up the rest
          return true;
        case BodyEnd::kRetry:
          if (!Retry()) return false;
          break;
        case BodyEnd::kStopped:
          end_ = ConnectionEnd::kStopped;
          return false;
        case BodyEnd::kLost:
          end_ = ConnectionEnd::kDone;  // the block is in the stream's hands
          return true;
      }
    }
  }

  bool StillMine() {
    Block b = task_.BlockState(block_);
    return b.connection == number_ && !b.Complete();
  }

  // Over one stream, the connection reading it goes on into the next block
  // whose bytes come next, passing over blocks that are stored or taken.
  // False when the stream does not go on here; end then tells why.
  bool ContinueStream(BodyEnd& end) {
    if (bodyLeft_ == 0 || !task_.SingleStream() || !task_.IsStreamer(number_)) return false;
    std::int32_t finished = block_;
    while (true) {
      std::int32_t skipTo = 0;
      std::int32_t next = task_.TakeBlockStartingAt(finished, streamPos_, number_, threadId_, skipTo);
      finished = BlockPlan::kNone;
      if (next != BlockPlan::kNone) {
        block_ = next;
        return true;
      }
      if (skipTo >= total_) return false;  // the end of the file: done
      end = DiscardTo(skipTo);
      if (end != BodyEnd::kBlockComplete) return false;
    }
  }

  Outcome OpenRange() {
    end_ = ConnectionEnd::kRecoverable;
    Outcome o = Connect(false);
    std::int32_t position = task_.BlockState(block_).Position();
    if (o == Outcome::kOk) o = SendRequest(FormatLine("Range: bytes=%d-", position));
    if (o == Outcome::kOk) o = ReadHeader();
    if (o != Outcome::kOk) return o;

    int status = StatusCode(header_);
    if (status == 400 || status == 403 || status == 404) {
      end_ = ConnectionEnd::kRefused;
      return Fail(msg::kServerError);
    }
    end_ = ConnectionEnd::kRecoverable;
    if (status != 200 && status != 206) return Fail(FormatLine(msg::kUnsupportedStatus, status));
    bodyLeft_ = ContentLength(header_);
    if (status == 200) {
      // The whole file from its first byte: the server ignored the range.
      // One connection reads on from there; the others leave it.
      if (position > 0 && !task_.RangeIgnored(number_)) return Outcome::kFailed;
      task_.HoldStream(number_);
      streamPos_ = 0;
      if (position > 0) {
        // Reading from the first byte, store the first block on the way
        // that nobody stores, rather than pass it over.
        std::int32_t first = task_.TakeFirstStreamBlock(block_, number_, threadId_);
        if (first != block_) {
          block_ = first;
          Block b = task_.BlockState(block_);
          task_.QueueEvent(kBlockTakenOver, number_, b.Position(), b.End());
        }
      }
      return Outcome::kOk;
    }
    // Bytes are stored only where they belong: exactly at the block's stored
    // end, inside a file of the task's size.
    auto field = FindField(header_, "Content-Range");
    auto range = field ? ParseContentRange(*field) : std::nullopt;
    if (!range || range->first != position || (range->total >= 0 && range->total != total_))
      return Fail(FormatLine(msg::kWrongRange, field ? std::string(*field).c_str() : ""));
    streamPos_ = position;
    return Outcome::kOk;
  }

  BodyEnd ReceiveBody() {
    fill_ = 0;
    pending_.clear();
    BodyEnd skipped = DiscardTo(task_.BlockState(block_).Position());
    if (skipped != BodyEnd::kBlockComplete) return skipped;
    std::int32_t left = task_.BlockState(block_).Left();
    if (!leftover_.empty()) {
      std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(leftover_.size()), left);
      if (bodyLeft_ >= 0) n = std::min(n, bodyLeft_);
      Take(reinterpret_cast<const std::uint8_t*>(leftover_.data()), static_cast<std::int32_t>(n));
      leftover_.erase(0, static_cast<std::size_t>(n));
    }
    auto roundStart = std::chrono::steady_clock::now();
    while (true) {
      left = task_.BlockState(block_).Left() - fill_;
      if (lostBlock_) return BodyEnd::kLost;
      if (left <= 0) {
        Flush();
        return BodyEnd::kBlockComplete;
      }
      if (bodyLeft_ == 0) return ServerClosed();
      if (fill_ == kBufferBytes) Flush();
      if (task_.Stopping()) {
        Flush();
        return BodyEnd::kStopped;
      }
      std::int32_t want = std::min({kBufferBytes - fill_, chunk_, left});
      if (bodyLeft_ > 0) want = static_cast<std::int32_t>(std::min<std::int64_t>(want, bodyLeft_));
      std::size_t got = 0;
      auto status = socket_.Receive(reinterpret_cast<char*>(buffer_.get()) + fill_, static_cast<std::size_t>(want),
                                    receiveTimeoutMs_, task_.StopRequested(), got);
      switch (status) {
        case platform::NetStatus::kOk:
          fill_ += static_cast<std::int32_t>(got);
          pending_.push_back(static_cast<std::int32_t>(got));
          task_.CountTransfer(static_cast<std::int32_t>(got));
          streamPos_ += static_cast<std::int32_t>(got);
          if (bodyLeft_ > 0) bodyLeft_ -= static_cast<std::int64_t>(got);
          if (paced_) {
            auto now = std::chrono::steady_clock::now();
            auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(now - roundStart).count();
            if (spent < 1000) {
              Flush();
              if (!task_.Pause(static_cast<std::int32_t>(1000 - spent))) return BodyEnd::kStopped;
            }
            roundStart = std::chrono::steady_clock::now();
          }
          break;
        case platform::NetStatus::kClosed:
          return ServerClosed();
        case platform::NetStatus::kStopped:
          Flush();
          return BodyEnd::kStopped;
        default:
          Flush();
          Log(kLogError, ReceiveFailureText(status));
          return BodyEnd::kRetry;
      }
    }
  }

  // The server ended the body: held bytes are kept and the connection is
  // done; a close with nothing held is a failed receive.
  BodyEnd ServerClosed() {
    bool held = fill_ > 0;
    Flush();
    if (held) return BodyEnd::kClosedWithData;
    Log(kLogError, msg::kReceiveFailed);
    return BodyEnd::kRetry;
  }

  void Take(const std::uint8_t* data, std::int32_t n) {
    if (n <= 0) return;
    std::memcpy(buffer_.get() + fill_, data, static_cast<std::size_t>(n));
    fill_ += n;
    pending_.push_back(n);
    task_.CountTransfer(n);
    streamPos_ += n;
    if (bodyLeft_ > 0) bodyLeft_ -= n;
  }

  // Reads and drops the stream's bytes up to pos (bytes before the block
  // this connection stores, or of a block stored or taken already).
  // kBlockComplete when the stream stands at pos.
  BodyEnd DiscardTo(std::int32_t pos) {
    while (streamPos_ < pos) {
      std::int32_t gap = pos - streamPos_;
      if (!leftover_.empty()) {
        auto n = static_cast<std::int32_t>(std::min<std::size_t>(leftover_.size(), static_cast<std::size_t>(gap)));
        leftover_.erase(0, static_cast<std::size_t>(n));
        streamPos_ += n;
        if (bodyLeft_ > 0) bodyLeft_ -= n;
        continue;
      }
      if (bodyLeft_ == 0) {
        Log(kLogError, msg::kReceiveFailed);
        return BodyEnd::kRetry;
      }
      std::size_t got = 0;
      auto status = socket_.Receive(reinterpret_cast<char*>(buffer_.get()),
                                    static_cast<std::size_t>(std::min(gap, kBufferBytes)), receiveTimeoutMs_,
                                    task_.StopRequested(), got);
      if (status == platform::NetStatus::kStopped) return BodyEnd::kStopped;
      if (status != platform::NetStatus::kOk) {
        Log(kLogError, status == platform::NetStatus::kClosed ? msg::kReceiveFailed : ReceiveFailureText(status));
        return BodyEnd::kRetry;
      }
      streamPos_ += static_cast<std::int32_t>(got);
      if (bodyLeft_ > 0) bodyLeft_ -= static_cast<std::int64_t>(got);
    }
    return BodyEnd::kBlockComplete;
  }

  void Flush() {
    if (fill_ > 0 && task_.Store(block_, number_, buffer_.get(), fill_) < 0) {
      // The stream took the block over: these bytes are its to store.
      lostBlock_ = true;
      pending_.clear();
    }
    fill_ = 0;
    task_.QueueDataReceived(number_, pending_);
    pending_.clear();
  }

  std::string ReceiveFailureText(platform::NetStatus status) const {
    switch (status) {
      case platform::NetStatus::kTimeout: return msg::kReceiveTimedOut;
      case platform::NetStatus::kWaitFailed: return msg::kWaitFailed;
      default: return msg::kReceiveFailed;
    }
  }

  // --- Requests and headers ---

  Outcome Connect(bool first) {
    socket_.Close();
    const char* host = route_.connectHost.c_str();
    int port = route_.connectPort;
    if (route_.endpoints.empty()) {
      if (first) Log(kLogProgress, FormatLine(route_.viaProxy ? msg::kResolvingProxy : msg::kResolving, host));
      route_.endpoints = platform::Resolve(route_.connectHost, route_.connectPort);
      if (route_.endpoints.empty()) {
        Log(kLogError, FormatLine(route_.viaProxy ? msg::kResolveProxyFailed : msg::kResolveFailed, host));
        return Outcome::kRetry;
      }
    }
    Log(kLogProgress,
        FormatLine(first && route_.viaProxy ? msg::kConnectingProxy : msg::kConnecting, host, port));
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(std::max<std::int32_t>(param_.connectTimeoutMs, 1));
    auto status = platform::NetStatus::kTimeout;
    for (const auto& endpoint : route_.endpoints) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        status = platform::NetStatus::kTimeout;
        break;
      }
      status = socket_.Connect(endpoint, static_cast<std::int32_t>(left.count()), task_.StopRequested());
      if (status == platform::NetStatus::kOk || status == platform::NetStatus::kStopped) break;
    }
    switch (status) {
      case platform::NetStatus::kOk:
        Log(kLogProgress, FormatLine(first ? msg::kConnected : msg::kBlockConnected, host, port));
        return Outcome::kOk;
      case platform::NetStatus::kStopped:
        return Outcome::kStopped;
      case platform::NetStatus::kTimeout:
        Log(kLogError, FormatLine(msg::kConnectTimedOut, host, port));
        return Outcome::kRetry;
      default:
        Log(kLogError, FormatLine(msg::kConnectFailed, host, port));
        return Outcome::kRetry;
    }
  }

  Outcome SendRequest(const std::string& extraLine) {
    RequestSpec spec;
    spec.hostPart = route_.url.hostPart;
    spec.target = route_.viaProxy ? HttpAddress(route_.url) : route_.url.path;
    spec.referer = route_.referer;
    spec.extraLine = extraLine;
    spec.viaProxy = route_.viaProxy;
    // A redirection or cookie chosen by the server may make the request too
    // long; it is refused whole, never cut.
    auto request = BuildGetRequest(spec);
    if (!request) {
      end_ = ConnectionEnd::kGaveUp;  // the same request would be refused again
      return Fail(msg::kBadRedirect);
    }
    Log(kLogRequest, *request);
    auto status = socket_.Send(request->data(), request->size(), std::max<std::int32_t>(param_.sendTimeoutMs, 1),
                               task_.StopRequested());
    if (status == platform::NetStatus::kOk) return Outcome::kOk;
    if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
    Log(kLogError, msg::kSendRequestFailed);
    return Outcome::kRetry;
  }

  Outcome ReadHeader() {
    std::string data;
    char piece[kHeaderReceiveSize];
    while (true) {
      std::size_t got = 0;
      auto status = socket_.Receive(piece, sizeof piece, receiveTimeoutMs_, task_.StopRequested(), got);
      if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
      if (status == platform::NetStatus::kClosed) {
        Log(kLogError, msg::kReceiveFailed);
        return Outcome::kRetry;
      }
      if (status != platform::NetStatus::kOk) {
        Log(kLogError, ReceiveFailureText(status));
        return Outcome::kRetry;
      }
      data.append(piece, got);
      HeaderScan scan = ScanResponseHeader(data);
      if (scan.state == HeaderScan::State::kTooLong) return Fail(msg::kHeaderTooLong);
      if (scan.state == HeaderScan::State::kComplete) {
        header_ = data.substr(scan.begin, scan.end - scan.begin);
        leftover_ = data.substr(scan.end);
        Log(kLogResponse, header_);
        return Outcome::kOk;
      }
    }
  }

  Task& task_;
  const TaskParam& param_;
  const std::int32_t number_;
  const std::uint32_t threadId_;
  std::int32_t block_;
  std::int32_t total_ = 0;
  Route route_;
  platform::Socket socket_;
  std::string header_;
  std::string leftover_;
  std::int64_t bodyLeft_ = -1;  // -1: until the server closes
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::int32_t fill_ = 0;
  std::vector<std::int32_t> pending_;  // DataReceived counts not yet queued
  std::int32_t receiveTimeoutMs_ = 0;
  std::int32_t chunk_ = kBufferBytes;
  bool paced_ = false;
  bool lostBlock_ = false;
  int retries_ = 0;
  std::int32_t streamPos_ = 0;  // the file offset of the answer's next body byte
  ConnectionEnd end_ = ConnectionEnd::kGaveUp;
};

}  // namespace

ConnectionEnd RunHttpConnection(Task& task, std::int32_t number, std::int32_t block) {
  return HttpConnection(task, number, block).Run();
}

}  // namespace tavrel::download

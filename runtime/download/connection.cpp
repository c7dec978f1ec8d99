// A connection's life whatever its protocol: the first connection's steps
// up to the file, block connections, retries, connecting, and naming and
// creating the file. Receiving is in connection_receive.cpp.
#include "runtime/download/connection.h"

#include <algorithm>
#include <chrono>
#include <climits>

#include "runtime/download/file_naming.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/resolver.h"
#include "runtime/download/task.h"

namespace tavrel::download {
namespace {

// An upload to an address whose protocol cannot take one: the task ends at
// once, visibly.
class UnsupportedUpload final : public Connection {
 public:
  using Connection::Connection;

 private:
  ConnectionEnd RunFirst() override {
    Fail(FormatLine(msg::kUnsupportedUpload, param_.url.c_str()));
    return ConnectionEnd::kFailed;
  }
  Outcome RequestBlock() override { return Outcome::kFailed; }
};

std::int32_t BufferBytes(std::int32_t readChunk) { return std::clamp(readChunk, kBufferBytes, kLargestBuffer); }

}  // namespace

ConnectionEnd RunConnection(Task& task, std::int32_t number, std::int32_t block) {
  std::unique_ptr<Connection> connection;
  if (task.Param().mode & kModeUpload) {
    if (task.StartUrl().scheme == Scheme::kFtp)
      connection = MakeFtpUploadConnection(task, number, block);
    else
      connection = std::make_unique<UnsupportedUpload>(task, number, block);
    return connection->Run();
  }
  switch (task.StartUrl().scheme) {
    case Scheme::kHttp: connection = MakeHttpConnection(task, number, block); break;
    case Scheme::kFtp: connection = MakeFtpConnection(task, number, block); break;
    case Scheme::kMms: connection = MakeMmsConnection(task, number, block); break;
    case Scheme::kRtsp: connection = MakeRtspConnection(task, number, block); break;
  }
  return connection->Run();
}

Connection::Connection(Task& task, std::int32_t number, std::int32_t block)
    : task_(task),
      param_(task.Param()),
      number_(number),
      threadId_(platform::CurrentThreadId()),
      block_(block),
      buffer_(static_cast<std::size_t>(BufferBytes(task.Param().readChunk))) {
  receiveTimeoutMs_ = std::max<std::int32_t>(param_.receiveTimeoutMs, 1);
  const auto size = static_cast<std::int32_t>(buffer_.size());
  chunk_ = std::clamp<std::int32_t>(param_.readChunk > 0 ? param_.readChunk : kBufferBytes, 1, size);
  if (param_.speedLimit > 0) {
    // The count includes this connection.
    std::int32_t share = param_.speedLimit / std::max<std::int32_t>(task.ActiveConnections(), 1);
    chunk_ = std::clamp<std::int32_t>(share, 1, size);
    paced_ = true;
  }
}

Transfer& Connection::File() { return task_.File(); }

void Connection::Log(std::int32_t level, std::string text) { task_.QueueLog(number_, level, std::move(text)); }

Connection::Outcome Connection::Fail(std::string text) {
  Log(kLogError, std::move(text));
  return Outcome::kFailed;
}

void Connection::CloseResponse() { socket_.Close(); }

ConnectionEnd Connection::Run() {
  task_.QueueEvent(kWorkerStarted, number_, 0, 0);
  ConnectionEnd end;
  if (block_ == BlockPlan::kNone) {
    end = RunFirst();
  } else {
    route_ = File().CurrentRoute();
    total_ = File().Total();
    File().MarkThread(block_, number_, threadId_);
    end = RunBlocks(false, false);
  }
  // The block goes back before the socket closes: a server that waits for
  // the close finds the block free for the connections still working.
  std::int32_t position = 0;
  if (block_ != BlockPlan::kNone) {
    position = File().BlockAt(block_).Position();
    File().Release(block_, number_);
  }
  CloseResponse();
  if (task_.Stopping() && end != ConnectionEnd::kDone) end = ConnectionEnd::kStopped;
  bool succeeded = end == ConnectionEnd::kDone || end == ConnectionEnd::kLeftRest;
  task_.QueueEvent(succeeded ? kWorkerSucceeded : kWorkerFailed, number_, position, 0);
  return end;
}

std::optional<ConnectionEnd> Connection::Retry() {
  if (task_.Stopping()) return ConnectionEnd::kStopped;
  if (retries_ >= RetryLimit()) return ConnectionEnd::kFailed;
  ++retries_;
  Log(kLogProgress, FormatLine(msg::kRetryAfter, RetryDelayMs() / 1000));
  if (!task_.Pause(RetryDelayMs())) return ConnectionEnd::kStopped;
  return std::nullopt;
}

std::optional<ConnectionEnd> Connection::Attempt(const std::function<Outcome()>& attempt) {
  while (true) {
    if (task_.Stopping()) return ConnectionEnd::kStopped;
    switch (attempt()) {
      case Outcome::kOk: return std::nullopt;
      case Outcome::kFailed: return ConnectionEnd::kFailed;
      case Outcome::kStopped: return ConnectionEnd::kStopped;
      case Outcome::kRetry:
        CloseResponse();
        if (auto end = Retry()) return end;
        break;
    }
  }
}

// Receives blocks until nothing is left for this connection. haveResponse:
// block_'s data is on socket_ already; announced: the caller has been told
// of block_.
ConnectionEnd Connection::RunBlocks(bool haveResponse, bool announced) {
  std::int32_t announce = kBlockBegun;
  auto takeNext = [&] {
    block_ = File().TakeNext(block_, number_, threadId_);
    announce = kBlockTakenOver;
    announced = false;
    return block_ != BlockPlan::kNone;
  };
  while (true) {
    // A block stored meanwhile by the stream that took it over: on to the next.
    if (!haveResponse && !StillMine() && !takeNext()) return ConnectionEnd::kDone;
    if (!announced) {
      Announce(announce);
      announced = true;
    }
    if (!haveResponse) {
      if (auto end = Attempt([this] { return RequestBlock(); })) return *end;
    }
    haveResponse = false;
    BodyEnd body = ReceiveBody();
    if (body == BodyEnd::kBlockComplete && ContinueStream(body)) {
      announce = kBlockTakenOver;
      announced = false;
      haveResponse = true;
      continue;
    }
    CloseResponse();
    switch (body) {
      case BodyEnd::kBlockComplete:
        if (!takeNext()) return ConnectionEnd::kDone;
        break;
      case BodyEnd::kClosedWithData: return ConnectionEnd::kLeftRest;  // another connection takes up the rest
      case BodyEnd::kRetry:
        if (auto end = Retry()) return *end;
        break;
      case BodyEnd::kStopped: return ConnectionEnd::kStopped;
      case BodyEnd::kLost: return ConnectionEnd::kDone;  // the block is in the stream's hands
    }
  }
}

bool Connection::StillMine() {
  Block b = File().BlockAt(block_);
  return b.connection == number_ && !b.Complete();
}

void Connection::Announce(std::int32_t code) {
  Block b = File().BlockAt(block_);
  task_.QueueEvent(code, number_, b.Position(), b.End());
}

// Over one stream, the connection that reads it goes on into the block
// whose bytes come next, passing over blocks that are stored or taken.
// False when the stream does not go on here; end tells why when passing
// over failed.
bool Connection::ContinueStream(BodyEnd& end) {
  if (bodyLeft_ == 0 || !File().OneStream()) return false;
  std::int32_t finished = block_;
  while (true) {
    std::int32_t skipTo = 0;
    std::int32_t next = File().TakeStreamBlock(finished, streamPos_, number_, threadId_, skipTo);
    finished = BlockPlan::kNone;
    if (next != BlockPlan::kNone) {
      block_ = next;
      return true;
    }
    if (skipTo >= total_) return false;  // the end of the file: done
    end = DiscardTo(skipTo);
    if (end != BodyEnd::kBlockComplete) {
      // The stream broke while passing over: what it did not reach is left.
      if (end != BodyEnd::kStopped) end = BodyEnd::kClosedWithData;
      return false;
    }
  }
}

Connection::Outcome Connection::Connect(bool first) {
  socket_.Close();
  const char* host = route_.connectHost.c_str();
  const int port = route_.connectPort;
  // The deadline covers the name's lookup and the connection.
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(param_.connectTimeoutMs, 1));
  if (route_.endpoints.empty()) {
    if (first) Log(kLogProgress, FormatLine(route_.viaProxy ? msg::kResolvingProxy : msg::kResolving, host));
    switch (ResolveWithin(route_.connectHost, route_.connectPort, deadline, task_.StopRequested(), route_.endpoints)) {
      case Resolution::kFound: break;
      case Resolution::kStopped: return Outcome::kStopped;
      case Resolution::kNotFound:
        Log(kLogError, FormatLine(route_.viaProxy ? msg::kResolveProxyFailed : msg::kResolveFailed, host));
        return Outcome::kRetry;
    }
  }
  Log(kLogProgress, FormatLine(first && route_.viaProxy ? msg::kConnectingProxy : msg::kConnecting, host, port));
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
    case platform::NetStatus::kStopped: return Outcome::kStopped;
    case platform::NetStatus::kTimeout:
      Log(kLogError, FormatLine(msg::kConnectTimedOut, host, port));
      return Outcome::kRetry;
    default: Log(kLogError, FormatLine(msg::kConnectFailed, host, port)); return Outcome::kRetry;
  }
}

Connection::Outcome Connection::Send(platform::Socket& socket, const std::string& bytes, const char* failureText) {
  auto status =
      socket.Send(bytes.data(), bytes.size(), std::max<std::int32_t>(param_.sendTimeoutMs, 1), task_.StopRequested());
  switch (status) {
    case platform::NetStatus::kOk: return Outcome::kOk;
    case platform::NetStatus::kStopped: return Outcome::kStopped;
    case platform::NetStatus::kTimeout: Log(kLogError, msg::kWaitTimedOut); break;
    case platform::NetStatus::kWaitFailed: Log(kLogError, msg::kWaitFailed); break;
    case platform::NetStatus::kError: Log(kLogError, msg::kSomeError); break;
    default: Log(kLogError, msg::kSendFailed); break;
  }
  Log(kLogError, failureText);
  return Outcome::kRetry;
}

void Connection::SendParting(const std::string& bytes) {
  static const platform::StopFlag kNever{false};
  constexpr std::int32_t kPartingMs = 1000;
  if (socket_.IsOpen()) socket_.Send(bytes.data(), bytes.size(), kPartingMs, kNever);
}

Connection::Outcome Connection::ReceiveStreamBytes(std::string& received) {
  char piece[64 * 1024];  // a stream's messages are small; one receive takes several
  std::size_t got = 0;
  auto status = socket_.Receive(piece, sizeof piece, receiveTimeoutMs_, task_.StopRequested(), got);
  if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
  if (status == platform::NetStatus::kClosed) return Fail(msg::kStreamEndedEarly);
  if (status != platform::NetStatus::kOk) return Fail(ReceiveFailureText(status, socket_));
  received.append(piece, got);
  return Outcome::kOk;
}

Connection::Outcome Connection::StoreStreamBytes(const std::string& bytes) {
  auto n = static_cast<std::int32_t>(bytes.size());
  if (!File().Append(bytes.data(), n)) return Fail(msg::kStreamWriteFailed);
  task_.CountTransfer(n);
  task_.QueueDataReceived(number_, {n});
  return Outcome::kOk;
}

std::string Connection::ReceiveFailureText(platform::NetStatus status, const platform::Socket& socket) const {
  switch (status) {
    case platform::NetStatus::kTimeout: return msg::kReceiveTimedOut;
    case platform::NetStatus::kClosed: return msg::kReceiveFailed;
    case platform::NetStatus::kWaitFailed: return msg::kWaitFailed;
    case platform::NetStatus::kError: return msg::kSomeError;
    default: {
      std::string text = platform::ErrorText(socket.LastError());
      return text.empty() ? std::string(msg::kUnknownError) : text;
    }
  }
}

Connection::Outcome Connection::PrepareFile(const std::string& serverName, std::string& path,
                                            platform::MappedFile& file) {
  Outcome o = NameFile(serverName, path);
  if (o != Outcome::kOk) return o;
  file = platform::MappedFile::CreateNew(path, total_);
  if (!file.IsOpen()) return Fail(msg::kCreateFileFailed);
  return Outcome::kOk;
}

Connection::Outcome Connection::NameFile(const std::string& serverName, std::string& path) {
  path = param_.localPath;
  if (EndsWithSeparator(path, platform::IsPathLeadByte)) {
    auto safe = SafeFileName(serverName, platform::IsPathLeadByte);
    if (!safe) return Fail(msg::kCreateFileFailed);
    path += *safe;
  }
  if (platform::PathExists(path)) {
    std::int64_t size = platform::FileSize(path);
    auto existing = static_cast<std::int32_t>(std::clamp<std::int64_t>(size, -1, INT32_MAX));
    std::string changed;
    std::int32_t answer = task_.AskFileExists(number_, path, existing, total_, changed);
    // A stop while the caller was asked: nothing is created, whatever it answered.
    if (task_.Stopping()) return Outcome::kStopped;
    switch (answer) {
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
      case kAbandon: return Fail(msg::kUserAbandoned);
      case kNameChanged:
        path = changed;
        Log(kLogProgress, FormatLine(msg::kUserRenamed, path.c_str()));
        break;
      default: return Outcome::kFailed;
    }
  }
  return Outcome::kOk;
}

ConnectionEnd Connection::BeginTransfer(const std::string& serverName, bool wholeStream, std::int32_t connections,
                                        bool haveData) {
  std::string path;
  platform::MappedFile file;
  switch (PrepareFile(serverName, path, file)) {
    case Outcome::kOk: break;
    case Outcome::kStopped: return ConnectionEnd::kStopped;
    default: return ConnectionEnd::kFailed;
  }
  BlockPlan plan(total_, connections);
  const std::int32_t blocks = plan.Count();
  File().Begin(std::move(plan), std::move(file), path, route_, number_, threadId_);
  block_ = 0;
  streamPos_ = 0;
  if (wholeStream) File().ClaimStream(number_, false);
  task_.QueueEvent(kTransferStarted, number_, total_, 0);
  Announce(kBlockBegun);
  task_.RequestConnections(blocks - 1);
  return RunBlocks(haveData, true);
}

}  // namespace tavrel::download

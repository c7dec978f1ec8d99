// What every connection of a task does whatever its protocol: connecting
// with its log lines, retries, naming and creating the file, and receiving
// blocks through its one buffer into the file.
#include "runtime/download/connection_base.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "runtime/download/file_naming.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"

namespace tavrel::download {

ConnectionBase::ConnectionBase(Task& task, std::int32_t number, std::int32_t block)
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

ConnectionEnd ConnectionBase::Run() {
  task_.QueueEvent(kWorkerStarted, number_, 0, 0);
  bool succeeded;
  if (block_ == BlockPlan::kNone) {
    succeeded = RunFirst();
  } else {
    route_ = task_.CurrentRoute();
    total_ = task_.TotalSize();
    task_.MarkBlockThread(block_, threadId_);
    succeeded = RunBlocks(false, false, kBlockBegun);
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

ConnectionBase::Outcome ConnectionBase::Fail(std::string text) {
  Log(kLogError, std::move(text));
  return Outcome::kFailed;
}

bool ConnectionBase::Retry() {
  if (task_.Stopping() || retries_ >= RetryLimit()) {
    end_ = task_.Stopping() ? ConnectionEnd::kStopped : ConnectionEnd::kGaveUp;
    return false;
  }
  ++retries_;
  Log(kLogProgress, FormatLine(msg::kRetryAfter, RetryDelayMs() / 1000));
  return task_.WaitBeforeRetry();
}

ConnectionBase::Outcome ConnectionBase::PrepareFile(const std::string& serverName, std::string& path,
                                                    platform::MappedFile& file) {
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

bool ConnectionBase::RunBlocks(bool haveResponse, bool announced, std::int32_t announce) {
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
      Outcome o = OpenBlock();
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

bool ConnectionBase::StillMine() {
  Block b = task_.BlockState(block_);
  return b.connection == number_ && !b.Complete();
}

ConnectionBase::BodyEnd ConnectionBase::ReceiveBody() {
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
ConnectionBase::BodyEnd ConnectionBase::ServerClosed() {
  bool held = fill_ > 0;
  Flush();
  if (held) return BodyEnd::kClosedWithData;
  Log(kLogError, msg::kReceiveFailed);
  return BodyEnd::kRetry;
}

void ConnectionBase::Take(const std::uint8_t* data, std::int32_t n) {
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
ConnectionBase::BodyEnd ConnectionBase::DiscardTo(std::int32_t pos) {
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

void ConnectionBase::Flush() {
  if (fill_ > 0 && task_.Store(block_, number_, buffer_.get(), fill_) < 0) {
    // The stream took the block over: these bytes are its to store.
    lostBlock_ = true;
    pending_.clear();
  }
  fill_ = 0;
  task_.QueueDataReceived(number_, pending_);
  pending_.clear();
}

std::string ConnectionBase::ReceiveFailureText(platform::NetStatus status) const {
  switch (status) {
    case platform::NetStatus::kTimeout: return msg::kReceiveTimedOut;
    case platform::NetStatus::kWaitFailed: return msg::kWaitFailed;
    default: return msg::kReceiveFailed;
  }
}

ConnectionBase::Outcome ConnectionBase::Connect(bool first) {
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

bool ConnectionBase::StartTransfer(const std::string& serverName, bool wholeStream, std::int32_t connections,
                                   bool haveData) {
  std::string path;
  platform::MappedFile file;
  if (PrepareFile(serverName, path, file) != Outcome::kOk) return false;

  BlockPlan plan(total_, connections);
  std::int32_t blocks = plan.Count();
  task_.PublishRoute(route_);
  task_.BeginTransfer(std::move(plan), std::move(file), path, number_, threadId_);
  block_ = 0;
  streamPos_ = 0;
  if (wholeStream) task_.HoldStream(number_);
  task_.QueueEvent(kTransferStarted, number_, total_, 0);
  Block b = task_.BlockState(0);
  task_.QueueEvent(kBlockBegun, number_, b.Position(), b.End());
  for (std::int32_t i = 1; i < blocks; ++i) task_.RequestConnection();
  return RunBlocks(haveData, true, kBlockBegun);
}


}  // namespace tavrel::download

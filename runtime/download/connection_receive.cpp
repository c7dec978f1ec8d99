// Receiving a block: bytes collect in the connection's buffer and reach the
// file at their block's stored end once the buffer is full, the block is
// complete or the connection stops; DataReceived is queued for them only
// then, so the caller never hears of a byte before it is stored.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "runtime/download/connection.h"
#include "runtime/download/messages.h"
#include "runtime/download/task.h"

namespace tavrel::download {

Connection::BodyEnd Connection::ReceiveBody() {
  fill_ = 0;
  pending_.clear();
  BodyEnd skipped = DiscardTo(File().BlockAt(block_).Position());
  if (skipped != BodyEnd::kBlockComplete) return skipped;
  const auto capacity = static_cast<std::int32_t>(buffer_.size());
  if (!leftover_.empty()) {
    std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(leftover_.size()), capacity);
    if (bodyLeft_ >= 0) n = std::min(n, bodyLeft_);
    std::int32_t granted = File().Reserve(block_, number_, 0, static_cast<std::int32_t>(n));
    if (granted < 0) return BodyEnd::kLost;
    Take(reinterpret_cast<const std::uint8_t*>(leftover_.data()), granted);
    leftover_.erase(0, static_cast<std::size_t>(granted));
  }
  auto roundStart = std::chrono::steady_clock::now();
  while (true) {
    if (fill_ == capacity) Flush();
    if (lostBlock_) return BodyEnd::kLost;
    if (task_.Stopping()) {
      Flush();
      return BodyEnd::kStopped;
    }
    // The room in the block this receive may fill, reserved against splits.
    std::int32_t want = File().Reserve(block_, number_, fill_, std::min(capacity - fill_, chunk_));
    if (want <= 0) {
      // The block ends here, or a stream took it over.
      if (want < 0) lostBlock_ = true;
      Flush();
      return lostBlock_ ? BodyEnd::kLost : BodyEnd::kBlockComplete;
    }
    if (bodyLeft_ == 0) return ServerClosed();
    if (bodyLeft_ > 0) want = static_cast<std::int32_t>(std::min<std::int64_t>(want, bodyLeft_));
    std::size_t got = 0;
    auto status = socket_.Receive(reinterpret_cast<char*>(buffer_.data()) + fill_, static_cast<std::size_t>(want),
                                  receiveTimeoutMs_, task_.StopRequested(), got);
    switch (status) {
      case platform::NetStatus::kOk: {
        const auto n = static_cast<std::int32_t>(got);
        fill_ += n;
        pending_.push_back(n);
        task_.CountTransfer(n);
        streamPos_ += n;
        if (bodyLeft_ > 0) bodyLeft_ -= n;
        if (paced_) {
          auto spent =
              std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - roundStart)
                  .count();
          if (spent < 1000) {
            Flush();
            if (!task_.Pause(static_cast<std::int32_t>(1000 - spent))) return BodyEnd::kStopped;
          }
          roundStart = std::chrono::steady_clock::now();
        }
        break;
      }
      case platform::NetStatus::kClosed: return ServerClosed();
      case platform::NetStatus::kStopped: Flush(); return BodyEnd::kStopped;
      default:
        Flush();
        Log(kLogError, ReceiveFailureText(status, socket_));
        return BodyEnd::kRetry;
    }
  }
}

// The server ended the body: held bytes are kept and the connection is
// done; a close with nothing held is a failed receive.
Connection::BodyEnd Connection::ServerClosed() {
  bool held = fill_ > 0;
  Flush();
  if (held) return BodyEnd::kClosedWithData;
  Log(kLogError, msg::kReceiveFailed);
  return BodyEnd::kRetry;
}

void Connection::Take(const std::uint8_t* data, std::int32_t n) {
  if (n <= 0) return;
  std::memcpy(buffer_.data() + fill_, data, static_cast<std::size_t>(n));
  fill_ += n;
  pending_.push_back(n);
  task_.CountTransfer(n);
  streamPos_ += n;
  if (bodyLeft_ > 0) bodyLeft_ -= n;
}

// Reads and drops the stream's bytes up to pos (bytes before the block this
// connection stores, or of a block stored or taken already). kBlockComplete
// when the stream stands at pos.
Connection::BodyEnd Connection::DiscardTo(std::int32_t pos) {
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
    auto want = std::min<std::int64_t>(gap, static_cast<std::int64_t>(buffer_.size()));
    if (bodyLeft_ > 0) want = std::min(want, bodyLeft_);
    auto status = socket_.Receive(reinterpret_cast<char*>(buffer_.data()), static_cast<std::size_t>(want),
                                  receiveTimeoutMs_, task_.StopRequested(), got);
    if (status == platform::NetStatus::kStopped) return BodyEnd::kStopped;
    if (status != platform::NetStatus::kOk) {
      Log(kLogError, ReceiveFailureText(status, socket_));
      return BodyEnd::kRetry;
    }
    streamPos_ += static_cast<std::int32_t>(got);
    if (bodyLeft_ > 0) bodyLeft_ -= static_cast<std::int64_t>(got);
  }
  return BodyEnd::kBlockComplete;
}

void Connection::Flush() {
  if (fill_ > 0 && File().Store(block_, number_, streamPos_ - fill_, buffer_.data(), fill_) < 0) {
    // The stream took the block over: these bytes are its to store.
    lostBlock_ = true;
    pending_.clear();
  }
  fill_ = 0;
  task_.QueueDataReceived(number_, pending_);
  pending_.clear();
}

}  // namespace tavrel::download

// An FTP upload: one connection sends the local file with STOR over a data
// connection. After a broken connection it asks the server how much of the
// file it holds (SIZE) and sends the rest with REST and STOR, or with APPE
// where the server refuses REST.
#include <algorithm>
#include <chrono>
#include <climits>
#include <string>

#include "runtime/download/ftp_connection.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/task.h"

namespace tavrel::download {
namespace {

class FtpUploadConnection final : public FtpConnection {
 public:
  using FtpConnection::FtpConnection;

 private:
  ConnectionEnd RunFirst() override {
    TakeRoute();
    source_ = platform::PlainFile::OpenForReading(param_.localPath);
    std::int64_t size = platform::FileSize(param_.localPath);
    if (!source_.IsOpen() || size < 0 || size > INT32_MAX) {
      Fail(FormatLine(msg::kUploadSourceFailed, param_.localPath.c_str()));
      return ConnectionEnd::kFailed;
    }
    total_ = static_cast<std::int32_t>(size);
    File().Begin(BlockPlan(total_, 1), platform::MappedFile(), param_.localPath, route_, number_, threadId_);
    block_ = 0;
    task_.QueueEvent(kTransferStarted, number_, total_, 0);
    Announce(kBlockBegun);
    if (auto end = Attempt([this] { return SendAttempt(); })) return *end;
    return ConnectionEnd::kDone;
  }

  // Not used: an upload has one block, sent by RunFirst.
  Outcome RequestBlock() override { return Outcome::kFailed; }

  Outcome SendAttempt() {
    if (!control_.IsOpen()) {
      Outcome o = OpenControl(false);
      if (o != Outcome::kOk) return o;
    }
    std::int32_t position = 0;
    int code = 0;
    if (broken_) {
      // What the server kept of the last attempt; a size it cannot tell, or
      // one beyond the file, starts the file again.
      FtpReply size;
      Outcome o = Command("SIZE " + path_, code, nullptr, &size);
      if (o != Outcome::kOk) return o;
      std::int64_t held = code == 213 ? SizeOf(size) : -1;
      if (held >= 0 && held <= total_) position = static_cast<std::int32_t>(held);
    }
    File().SetSent(block_, number_, position);
    if (position == total_ && total_ > 0) return Outcome::kOk;

    platform::Listener listener;
    Outcome o = OpenData(listener);
    if (o != Outcome::kOk) return o;
    std::string command = "STOR ";
    if (position > 0) {
      if ((o = Command("REST " + std::to_string(position), code)) != Outcome::kOk) return o;
      if (code != 350) command = "APPE ";
    }
    if ((o = Command(command + path_, code)) != Outcome::kOk) return o;
    if (code != 150 && code != 125) return Failed(command.substr(0, 4).c_str(), code);
    if ((o = AcceptData(listener)) != Outcome::kOk) return o;
    broken_ = true;  // until the server confirms the whole file
    if ((o = SendFrom(position)) != Outcome::kOk) {
      socket_.Close();
      if (o == Outcome::kRetry) CloseControl();
      return o;
    }
    // Closing the data connection ends the file; the server then says
    // whether it has stored it.
    socket_.Close();
    FtpReply done;
    if ((o = ReadReply(done)) != Outcome::kOk) return o;
    if (done.code != 226 && done.code != 250) return Failed(command.substr(0, 4).c_str(), done.code);
    broken_ = false;
    File().SetSent(block_, number_, total_);
    return Outcome::kOk;
  }

  Outcome SendFrom(std::int32_t position) {
    auto roundStart = std::chrono::steady_clock::now();
    while (position < total_) {
      if (task_.Stopping()) return Outcome::kStopped;
      auto want = static_cast<std::size_t>(std::min<std::int32_t>(chunk_, total_ - position));
      std::int64_t got = source_.ReadAt(position, buffer_.data(), want);
      if (got <= 0) return Fail(FormatLine(msg::kUploadSourceFailed, param_.localPath.c_str()));
      auto n = static_cast<std::int32_t>(got);
      Outcome o = Send(socket_, std::string(reinterpret_cast<const char*>(buffer_.data()), static_cast<std::size_t>(n)),
                       msg::kSendFailed);
      if (o != Outcome::kOk) return o;
      position += n;
      File().SetSent(block_, number_, position);
      task_.CountTransfer(n);
      // Bytes sent again after a break were told of before.
      if (position > reported_) {
        task_.QueueDataReceived(number_, {position - reported_});
        reported_ = position;
      }
      if (paced_) {
        auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - roundStart)
                .count();
        if (spent < 1000 && !task_.Pause(static_cast<std::int32_t>(1000 - spent))) return Outcome::kStopped;
        roundStart = std::chrono::steady_clock::now();
      }
    }
    return Outcome::kOk;
  }

  platform::PlainFile source_;
  bool broken_ = false;        // an attempt ended without the server's word
  std::int32_t reported_ = 0;  // bytes told of in DataReceived
};

}  // namespace

std::unique_ptr<Connection> MakeFtpUploadConnection(Task& task, std::int32_t number, std::int32_t block) {
  return std::make_unique<FtpUploadConnection>(task, number, block);
}

}  // namespace tavrel::download

// The download side of an FTP connection and the control connection steps
// it shares with an upload.
#include "runtime/download/ftp_connection.h"

#include <algorithm>
#include <climits>
#include <string>

#include "runtime/download/file_naming.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/task.h"
#include "runtime/download/url.h"

namespace tavrel::download {

void FtpConnection::TakeRoute() {
  route_.url = task_.StartUrl();
  route_.connectHost = route_.url.host;
  route_.connectPort = route_.url.port;
  path_ = DecodePercentEscapes(route_.url.path);
}

ConnectionEnd FtpConnection::RunFirst() {
  TakeRoute();
  if (auto end = Attempt([this] { return OpenControl(true); })) return *end;
  // Without resumption the file comes in one piece over one connection.
  std::int32_t connections = resumable_ ? param_.connections : 1;
  return BeginTransfer(UrlPathFileName(route_.url.path), false, connections, false);
}

Connection::Outcome FtpConnection::RequestBlock() {
  if (path_.empty()) path_ = DecodePercentEscapes(route_.url.path);
  if (!control_.IsOpen()) {
    Outcome o = OpenControl(false);
    if (o != Outcome::kOk) return o;
  }
  std::int32_t position = File().BlockAt(block_).Position();
  platform::Listener listener;
  Outcome o = OpenData(listener);
  if (o != Outcome::kOk) return o;

  int code = 0;
  o = Command("REST " + std::to_string(position), code);
  if (o != Outcome::kOk) return o;
  if (code != 350 && position > 0) return Failed("REST", code);
  o = Command("RETR " + path_, code);
  if (o != Outcome::kOk) return o;
  if (code != 150 && code != 125) return Failed("RETR", code);
  retrieving_ = true;
  if ((o = AcceptData(listener)) != Outcome::kOk) return o;
  bodyLeft_ = -1;
  streamPos_ = position;
  return Outcome::kOk;
}

void FtpConnection::CloseResponse() {
  socket_.Close();
  if (!retrieving_) return;
  retrieving_ = false;
  FtpReply reply;
  if (!control_.IsOpen() || ReadReply(reply) != Outcome::kOk) CloseControl();
}

void FtpConnection::CloseControl() {
  control_.Close();
  received_.clear();
}

Connection::Outcome FtpConnection::OpenControl(bool first) {
  CloseControl();
  Outcome o = Connect(first);
  if (o != Outcome::kOk) return o;
  control_ = std::move(socket_);

  FtpReply greeting;
  o = ReadReply(greeting);
  if (o != Outcome::kOk) return o;
  if (greeting.code != 220) return Failed("", greeting.code);

  std::string user = route_.url.user.empty() ? param_.ftpUser : DecodePercentEscapes(route_.url.user);
  std::string password = route_.url.user.empty() ? param_.ftpPassword : DecodePercentEscapes(route_.url.password);
  int code = 0;
  if ((o = Command("USER " + user, code)) != Outcome::kOk) return o;
  if (code == 331) {
    if ((o = Command("PASS " + password, code, "PASS ******")) != Outcome::kOk) return o;
  }
  if (code != 230) return Fail(FormatLine(msg::kFtpLoginFailed, code));

  if (first) {
    if ((o = Command("REST 100", code)) != Outcome::kOk) return o;
    resumable_ = code == 350;
    if ((o = Command("REST 0", code)) != Outcome::kOk) return o;
  }
  char type = FtpTransferType(route_.url.path, param_.ftpTransferType, param_.binaryExtensions);
  if ((o = Command(std::string("TYPE ") + type, code)) != Outcome::kOk) return o;
  if (code != 200) return Failed("TYPE", code);

  if (first) {
    FtpReply size;
    if ((o = Command("SIZE " + path_, code, nullptr, &size)) != Outcome::kOk) return o;
    if (code == 550) return Failed("SIZE", code);
    std::int64_t total = code == 213 ? SizeOf(size) : -1;
    if (total < 0) return Fail(msg::kNoFileSize);
    total_ = static_cast<std::int32_t>(total);
  }
  return Outcome::kOk;
}

std::int64_t FtpConnection::SizeOf(const FtpReply& reply) {
  std::size_t at = 4;
  while (at < reply.text.size() && reply.text[at] == ' ') ++at;
  std::int64_t n = 0;
  bool digits = false;
  while (at < reply.text.size() && reply.text[at] >= '0' && reply.text[at] <= '9' && n <= INT32_MAX) {
    n = n * 10 + (reply.text[at++] - '0');
    digits = true;
  }
  return digits && n <= INT32_MAX ? n : -1;
}

Connection::Outcome FtpConnection::OpenData(platform::Listener& listener) {
  std::uint32_t local = 0, peer = 0;
  if (!control_.Ipv4Ends(local, peer)) {
    Log(kLogError, msg::kFtpDataFailed);
    return Outcome::kRetry;
  }
  int code = 0;
  FtpReply reply;
  Outcome o = Command("PASV", code, nullptr, &reply);
  if (o != Outcome::kOk) return o;
  if (code == 227) {
    auto address = ParsePassiveReply(reply.text);
    if (!address) return Failed("PASV", code);
    auto status = socket_.Connect(platform::Ipv4Endpoint(peer, address->port),
                                  std::max<std::int32_t>(param_.connectTimeoutMs, 1), task_.StopRequested());
    if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
    if (status != platform::NetStatus::kOk) {
      Log(kLogError, msg::kFtpDataFailed);
      return Outcome::kRetry;
    }
    return Outcome::kOk;
  }
  if (!listener.Open(local)) {
    Log(kLogError, msg::kFtpDataFailed);
    return Outcome::kRetry;
  }
  o = Command("PORT " + PortArgument({local, listener.Port()}), code);
  if (o != Outcome::kOk) return o;
  if (code != 200) return Failed("PORT", code);
  return Outcome::kOk;
}

Connection::Outcome FtpConnection::AcceptData(platform::Listener& listener) {
  if (listener.Port() == 0) return Outcome::kOk;
  auto status = listener.Accept(socket_, std::max<std::int32_t>(param_.connectTimeoutMs, 1), task_.StopRequested());
  if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
  if (status != platform::NetStatus::kOk) {
    Log(kLogError, msg::kFtpDataFailed);
    return Outcome::kRetry;
  }
  return Outcome::kOk;
}

Connection::Outcome FtpConnection::Command(const std::string& line, int& code, const char* shown, FtpReply* replyOut) {
  if (line.find_first_of("\r\n") != std::string::npos) return Fail(msg::kFtpLineBreak);
  Log(kLogRequest, shown ? std::string(shown) : line);
  Outcome o = Send(control_, line + "\r\n", msg::kSendRequestFailed);
  if (o == Outcome::kRetry) CloseControl();
  if (o != Outcome::kOk) return o;
  FtpReply reply;
  o = ReadReply(reply);
  if (o != Outcome::kOk) return o;
  code = reply.code;
  if (replyOut) *replyOut = std::move(reply);
  return Outcome::kOk;
}

Connection::Outcome FtpConnection::ReadReply(FtpReply& reply) {
  char piece[kHeaderReceiveSize];
  while (true) {
    if (auto parsed = ParseFtpReply(received_)) {
      received_.erase(0, parsed->end);
      Log(kLogResponse, parsed->text);
      reply = std::move(*parsed);
      return Outcome::kOk;
    }
    if (received_.size() > kMaxReplyBytes) return Fail(msg::kHeaderTooLong);
    std::size_t got = 0;
    auto status = control_.Receive(piece, sizeof piece, receiveTimeoutMs_, task_.StopRequested(), got);
    if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
    if (status != platform::NetStatus::kOk) {
      Log(kLogError, ReceiveFailureText(status, control_));
      CloseControl();
      return Outcome::kRetry;
    }
    received_.append(piece, got);
  }
}

Connection::Outcome FtpConnection::Failed(const char* command, int code) {
  return Fail(FormatLine(msg::kFtpCommandFailed, command, code));
}

std::unique_ptr<Connection> MakeFtpConnection(Task& task, std::int32_t number, std::int32_t block) {
  return std::make_unique<FtpConnection>(task, number, block);
}

}  // namespace tavrel::download

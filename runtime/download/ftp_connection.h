// An FTP connection of a task. Each connection logs in on its own control
// connection; a download's first connection also finds out whether the
// server can resume (REST), the file's size (SIZE) and creates the file.
// Each block's data comes over a data connection (PASV, or PORT when the
// server refuses PASV) from REST at the block's stored position. An upload
// (ftp_upload.cpp) shares the control connection's steps.
#pragma once

#include <cstddef>
#include <string>

#include "runtime/download/connection.h"
#include "runtime/download/ftp_message.h"

namespace tavrel::download {

class FtpConnection : public Connection {
 public:
  using Connection::Connection;

 protected:
  ConnectionEnd RunFirst() override;
  Outcome RequestBlock() override;
  // Ends the data connection and, when a retrieval was running, reads the
  // server's word on it, so that the control connection can serve the next
  // block.
  void CloseResponse() override;

  // The address, the host connected to and the file's path on the server.
  void TakeRoute();
  void CloseControl();
  // Connects, reads the greeting, logs in and sets the transfer type; the
  // first connection also tests resumption and asks the size.
  Outcome OpenControl(bool first);
  // PASV and a data connection to the port it names (at the control
  // connection's own peer: a reply cannot send the data elsewhere); when the
  // server refuses PASV, PORT with a listener on the control connection's
  // own address.
  Outcome OpenData(platform::Listener& listener);
  // For PORT: the server's connection to the listener, on socket_.
  Outcome AcceptData(platform::Listener& listener);
  // Sends a command (logged as shown when given) and reads its reply. A
  // line break in it (a %0D%0A in the address's user, password or path)
  // would end the command and start another: it is never sent.
  Outcome Command(const std::string& line, int& code, const char* shown = nullptr, FtpReply* replyOut = nullptr);
  // Reads one final reply.
  Outcome ReadReply(FtpReply& reply);
  // The size in a 213 reply to SIZE; -1 when it holds none that fits.
  static std::int64_t SizeOf(const FtpReply& reply);
  Outcome Failed(const char* command, int code);

  static constexpr std::size_t kHeaderReceiveSize = 4096;
  static constexpr std::size_t kMaxReplyBytes = 65536;

  platform::Socket control_;
  std::string received_;  // control bytes not yet read as a reply
  std::string path_;      // the file's path on the server, %XX decoded
  bool resumable_ = false;
  bool retrieving_ = false;
};

}  // namespace tavrel::download

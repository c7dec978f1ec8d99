// A loopback HTTP(S) server for Windows tests under Wine. The server is a
// host Python program (Wine starts host programs given by their Unix path);
// it listens on 127.0.0.1 on a free port and is stopped by its PID.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrel::testing {

class LoopbackServer {
 public:
  explicit LoopbackServer(bool tls);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool Running() const { return port_ != 0; }
  std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT".
  std::string Origin() const;
  // "127.0.0.1:PORT", as a host setting that carries its port.
  std::string HostAndPort() const;
  // The body of every path the server has no special meaning for, from the
  // next request on (empty until set).
  bool SetAnswer(const std::string& answer);
  // "METHOD target" of every request received so far, in order.
  std::vector<std::string> RequestLines() const;

 private:
  bool tls_;
  std::string readyFile_;  // Unix paths
  std::string answerFile_;
  std::string requestLog_;
  std::uint16_t port_ = 0;
  long pid_ = 0;
};

// A loopback port on which nothing listens (bound once, then released).
std::uint16_t UnusedLoopbackPort();

}  // namespace tavrel::testing

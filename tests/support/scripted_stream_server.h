// A scripted server on 127.0.0.1 for the streaming protocols' tests: it
// accepts connections one after another (as many as the case expects) and
// runs the case's script on each, on a thread of its own. The script reads
// and writes with the helpers below.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/test_socket.h"

namespace tavrel::testing {

class StreamPeer {
 public:
  explicit StreamPeer(sock::Handle s) : socket_(s) {}
  // Appends received bytes until `done` holds for what has come; false when
  // the client closed or nothing came for 5 s.
  bool ReadUntil(const std::function<bool(const std::string&)>& done);
  bool Send(const std::string& bytes) { return sock::SendAll(socket_, bytes.data(), bytes.size()); }
  // Waits for the client to close (true) or for 5 s of silence.
  bool WaitForClose();
  // Resets the connection: the client's next send or receive fails.
  void Abort();
  void Close() {
    if (socket_ != sock::kInvalid) sock::Close(socket_);
    socket_ = sock::kInvalid;
  }
  std::string received;  // every byte the client sent, in order

 private:
  sock::Handle socket_;
};

class ScriptedStreamServer {
 public:
  explicit ScriptedStreamServer(std::function<void(StreamPeer&)> script, int connections = 1);
  // Waits for the script to end.
  ~ScriptedStreamServer();
  ScriptedStreamServer(const ScriptedStreamServer&) = delete;
  ScriptedStreamServer& operator=(const ScriptedStreamServer&) = delete;

  std::uint16_t Port() const { return port_; }

 private:
  sock::Handle listener_ = sock::kInvalid;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace tavrel::testing

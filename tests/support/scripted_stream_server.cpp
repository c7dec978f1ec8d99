#include "tests/support/scripted_stream_server.h"

namespace tavrel::testing {

constexpr int kSilenceMs = 5000;

bool StreamPeer::ReadUntil(const std::function<bool(const std::string&)>& done) {
  char piece[8192];
  while (!done(received)) {
    long n = sock::Receive(socket_, piece, sizeof piece, kSilenceMs);
    if (n <= 0) return false;
    received.append(piece, static_cast<std::size_t>(n));
  }
  return true;
}

bool StreamPeer::WaitForClose() {
  char piece[8192];
  while (true) {
    long n = sock::Receive(socket_, piece, sizeof piece, kSilenceMs);
    if (n == 0) return true;
    if (n < 0) return false;
    received.append(piece, static_cast<std::size_t>(n));
  }
}

void StreamPeer::Abort() {
  sock::Abort(socket_);
  socket_ = sock::kInvalid;
}

ScriptedStreamServer::ScriptedStreamServer(std::function<void(StreamPeer&)> script, int connections) {
  listener_ = sock::ListenLoopback(port_);
  thread_ = std::thread([this, connections, script = std::move(script)] {
    for (int i = 0; i < connections; ++i) {
      sock::Handle s = sock::Accept(listener_, 20000);
      if (s == sock::kInvalid) return;
      StreamPeer peer(s);
      script(peer);
      peer.Close();
    }
  });
}

ScriptedStreamServer::~ScriptedStreamServer() {
  thread_.join();
  sock::Close(listener_);
}

}  // namespace tavrel::testing

// A scripted HTTP server on 127.0.0.1 for the download tests: each accepted
// connection reads one request and hands it to the scenario's handler, which
// answers with whatever bytes, pauses and early closes the case calls for.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/test_socket.h"

namespace tavrel::testing {

struct HttpRequest {
  int index = 0;       // 0 for the first request the server received
  std::string raw;     // through the empty line that ends the header
  std::string target;  // the request line's second word
  // A field's value whatever the case of its name; "" when absent.
  std::string Header(std::string_view name) const;
  // N of "Range: bytes=N-", when the request has one.
  std::optional<std::int64_t> RangeStart() const;
};

class ServerConnection {
 public:
  explicit ServerConnection(sock::Handle s, const std::atomic<bool>& stopping) : socket_(s), stopping_(stopping) {}
  // False once the client has gone.
  bool Send(std::string_view bytes);
  // Sends in pieces with a pause after each.
  bool SendPaced(std::string_view bytes, std::size_t piece, int pauseMs);
  // Sleeps unless the server is being stopped.
  void Pause(int ms);
  // Waits until the client closes its side (or the time runs out).
  void WaitForClientClose(int timeoutMs);
  // Resets the connection: the client's next receive fails.
  void Abort();
  bool Aborted() const { return socket_ == sock::kInvalid; }

 private:
  sock::Handle socket_;
  const std::atomic<bool>& stopping_;
};

using Handler = std::function<void(const HttpRequest&, ServerConnection&)>;

class LoopbackHttpServer {
 public:
  // Listens on a free port.
  explicit LoopbackHttpServer(Handler handler);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  bool Listening() const { return listener_ != sock::kInvalid; }
  std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:port" followed by the path.
  std::string Url(std::string_view path) const;
  std::vector<HttpRequest> Requests() const;
  // Stops accepting, wakes every paused handler and waits for them.
  void Stop();

 private:
  void AcceptLoop();
  void Serve(sock::Handle s);

  Handler handler_;
  sock::Handle listener_ = sock::kInvalid;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex lock_;
  std::vector<HttpRequest> requests_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// --- Canned pieces of answers ---

// Deterministic, non-repeating bytes for a file of the given size.
std::string TestContent(std::size_t size, std::uint32_t seed = 1);

// "HTTP/1.1 <code> <reason>\r\n" + fields (each ending in CR LF) + "\r\n".
std::string ResponseHead(int code, std::string_view fields = {});

// How a sound server answers a GET for content, honouring "Range: bytes=N-".
struct ContentReply {
  std::string head;  // status line and fields through the empty line
  std::string body;
};
ContentReply ReplyFor(const std::string& content, const HttpRequest& request, std::string_view extraFields = {});

// Serves content as a sound server does.
void ServeContent(const std::string& content, const HttpRequest& request, ServerConnection& connection,
                  std::string_view extraFields = {});

// Reads a whole file; nothing when it cannot be opened.
std::optional<std::string> ReadWholeFile(const std::string& path);

// A fresh empty folder for one test, under the build tree; ends with the
// platform's separator.
std::string FreshTestFolder(const std::string& name);

}  // namespace tavrel::testing

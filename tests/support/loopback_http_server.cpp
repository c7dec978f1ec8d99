#include "tests/support/loopback_http_server.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/test_paths.h"

namespace tavrel::testing {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::string HttpRequest::Header(std::string_view name) const {
  std::size_t pos = raw.find("\r\n");
  while (pos != std::string::npos && pos + 2 < raw.size()) {
    std::size_t start = pos + 2;
    std::size_t end = raw.find("\r\n", start);
    if (end == std::string::npos) break;
    std::string_view line(raw.data() + start, end - start);
    std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && EqualsNoCase(line.substr(0, colon), name)) {
      std::string_view v = line.substr(colon + 1);
      while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
      return std::string(v);
    }
    pos = end;
  }
  return {};
}

std::optional<std::int64_t> HttpRequest::RangeStart() const {
  std::string range = Header("Range");
  if (range.rfind("bytes=", 0) != 0) return std::nullopt;
  return std::stoll(range.substr(6));
}

bool ServerConnection::Send(std::string_view bytes) { return sock::SendAll(socket_, bytes.data(), bytes.size()); }

bool ServerConnection::SendPaced(std::string_view bytes, std::size_t piece, int pauseMs) {
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    if (stopping_) return false;
    if (!Send(bytes.substr(at, piece))) return false;
    Pause(pauseMs);
  }
  return true;
}

void ServerConnection::Pause(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stopping_ && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

void ServerConnection::WaitForClientClose(int timeoutMs) {
  char sink[4096];
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!stopping_ && std::chrono::steady_clock::now() < until) {
    long n = sock::Receive(socket_, sink, sizeof sink, 20);
    if (n == 0 || n == -1) return;
  }
}

void ServerConnection::Abort() {
  sock::Abort(socket_);
  socket_ = sock::kInvalid;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
  listener_ = sock::ListenLoopback(port_);
  if (listener_ != sock::kInvalid) acceptor_ = std::thread(&LoopbackHttpServer::AcceptLoop, this);
}

LoopbackHttpServer::~LoopbackHttpServer() { Stop(); }

void LoopbackHttpServer::Stop() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard guard(lock_);
    workers.swap(workers_);
  }
  for (auto& w : workers) w.join();
  sock::Close(listener_);
  listener_ = sock::kInvalid;
}

std::string LoopbackHttpServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<HttpRequest> LoopbackHttpServer::Requests() const {
  std::lock_guard guard(lock_);
  return requests_;
}

void LoopbackHttpServer::AcceptLoop() {
  while (!stopping_) {
    sock::Handle s = sock::Accept(listener_, 20);
    if (s == sock::kInvalid) continue;
    std::lock_guard guard(lock_);
    workers_.emplace_back(&LoopbackHttpServer::Serve, this, s);
  }
}

void LoopbackHttpServer::Serve(sock::Handle s) {
  std::string data;
  char piece[4096];
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (data.find("\r\n\r\n") == std::string::npos && !stopping_ && std::chrono::steady_clock::now() < until) {
    long n = sock::Receive(s, piece, sizeof piece, 20);
    if (n == 0 || n == -1) break;
    if (n > 0) data.append(piece, static_cast<std::size_t>(n));
  }
  std::size_t end = data.find("\r\n\r\n");
  if (end != std::string::npos) {
    HttpRequest request;
    request.raw = data.substr(0, end + 4);
    std::size_t sp1 = request.raw.find(' ');
    std::size_t sp2 = request.raw.find(' ', sp1 + 1);
    if (sp1 != std::string::npos && sp2 != std::string::npos)
      request.target = request.raw.substr(sp1 + 1, sp2 - sp1 - 1);
    {
      std::lock_guard guard(lock_);
      request.index = static_cast<int>(requests_.size());
      requests_.push_back(request);
    }
    ServerConnection connection(s, stopping_);
    handler_(request, connection);
    if (connection.Aborted()) return;
  }
  // Close gracefully: bytes the client sent that nobody read would turn the
  // close into a reset and could cost the client the answer's tail.
  sock::ShutdownWrite(s);
  ServerConnection(s, stopping_).WaitForClientClose(2000);
  sock::Close(s);
}

std::string TestContent(std::size_t size, std::uint32_t seed) {
  std::string out(size, '\0');
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (std::size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out[i] = static_cast<char>(x >> 24);
  }
  return out;
}

std::string ResponseHead(int code, std::string_view fields) {
  const char* reason = code == 200 ? "OK" : code == 206 ? "Partial Content" : code == 404 ? "Not Found" : "Status";
  return "HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\n" + std::string(fields) + "\r\n";
}

ContentReply ReplyFor(const std::string& content, const HttpRequest& request, std::string_view extraFields) {
  ContentReply reply;
  auto start = request.RangeStart();
  std::string fields(extraFields);
  if (start && *start > 0 && static_cast<std::size_t>(*start) < content.size()) {
    auto first = static_cast<std::size_t>(*start);
    reply.body = content.substr(first);
    fields += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    fields += "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(content.size() - 1) + "/" +
              std::to_string(content.size()) + "\r\n";
    reply.head = ResponseHead(206, fields);
  } else {
    reply.body = content;
    fields += "Content-Length: " + std::to_string(content.size()) + "\r\n";
    reply.head = ResponseHead(200, fields);
  }
  return reply;
}

void ServeContent(const std::string& content, const HttpRequest& request, ServerConnection& connection,
                  std::string_view extraFields) {
  ContentReply reply = ReplyFor(content, request, extraFields);
  if (connection.Send(reply.head)) connection.Send(reply.body);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string FreshTestFolder(const std::string& name) {
#ifdef _WIN32
  // Under Wine the build tree is reached through the Z: drive.
  std::string text = "Z:" + BinaryDir() + "/test-files/" + name;
  for (char& c : text)
    if (c == '/') c = '\\';
  const char separator = '\\';
#else
  std::string text = BinaryDir() + "/test-files/" + name;
  const char separator = '/';
#endif
  std::filesystem::path dir(text);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  return text + separator;
}

}  // namespace tavrel::testing

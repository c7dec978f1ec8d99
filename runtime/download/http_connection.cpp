// An HTTP connection of a task. The first connection follows redirections,
// learns the file's size, names and creates the file and asks for the other
// connections; a block connection asks for its block's rest with a range
// request and stores only an answer whose bytes it can place for certain.
#include <climits>
#include <optional>
#include <string>
#include <utility>

#include "runtime/download/connection.h"
#include "runtime/download/file_naming.h"
#include "runtime/download/http_message.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/redirect.h"
#include "runtime/download/task.h"

namespace tavrel::download {
namespace {

struct ProxyAddress {
  std::string host;
  std::uint16_t port = 80;
};

std::optional<ProxyAddress> ParseProxy(std::string_view text) {
  ProxyAddress proxy;
  std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    proxy.host = std::string(text);
  } else {
    proxy.host = std::string(text.substr(0, colon));
    auto port = LeadingNumber(text.substr(colon + 1));
    if (!port || *port < 1 || *port > 65535) return std::nullopt;
    proxy.port = static_cast<std::uint16_t>(*port);
  }
  if (proxy.host.empty()) return std::nullopt;
  return proxy;
}

std::string FieldText(std::string_view header, std::string_view name) {
  auto field = FindField(header, name);
  return field ? std::string(*field) : std::string();
}

class HttpConnection final : public Connection {
 public:
  using Connection::Connection;

 private:
  ConnectionEnd RunFirst() override {
    route_.url = task_.StartUrl();
    route_.referer = param_.referer.empty() ? TextBeforeLastSlash(param_.url) : param_.referer;
    if (!param_.proxy.empty()) {
      auto proxy = ParseProxy(param_.proxy);
      if (!proxy) {
        Fail(FormatLine(msg::kResolveProxyFailed, param_.proxy.c_str()));
        return ConnectionEnd::kFailed;
      }
      route_.viaProxy = true;
      route_.connectHost = proxy->host;
      route_.connectPort = proxy->port;
    } else {
      route_.connectHost = route_.url.host;
      route_.connectPort = route_.url.port;
    }

    int redirects = 0;
    int status = 0;
    while (true) {
      if (auto end = Attempt([this] { return Exchange(route_.cookieLine, true); })) return *end;
      status = StatusCode(header_);
      if (status != 301 && status != 302) break;
      socket_.Close();
      if (FollowRedirect(++redirects) != Outcome::kOk) return ConnectionEnd::kFailed;
    }
    if (RefusedStatus(status) != Outcome::kOk || TakeTotalSize(status) != Outcome::kOk) return ConnectionEnd::kFailed;
    route_.etag = FieldText(header_, "ETag");
    route_.lastModified = FieldText(header_, "Last-Modified");
    std::string name;
    if (auto disposition = FindField(header_, "Content-Disposition")) name = DispositionFileName(*disposition);
    if (name.empty()) name = UrlPathFileName(route_.url.path);
    return BeginTransfer(name, status == 200, param_.connections, true);
  }

  Outcome RequestBlock() override {
    const std::int32_t position = File().BlockAt(block_).Position();
    Outcome o = Exchange(FormatLine("Range: bytes=%d-", position), false);
    if (o != Outcome::kOk) return o;
    const int status = StatusCode(header_);
    if (RefusedStatus(status) != Outcome::kOk) return Outcome::kFailed;
    if (HasTransferCoding(header_)) return Fail(msg::kNoFileSize);
    if (status == 200) return TakeWholeFile(position);
    if (!SameVersion()) return Fail(msg::kServerError);
    std::int64_t total = total_;
    return TakeRange(position, total);
  }

  // The statuses neither connection can use.
  Outcome RefusedStatus(int status) {
    if (status == 400 || status == 403 || status == 404) return Fail(msg::kServerError);
    if (status != 200 && status != 206) return Fail(FormatLine(msg::kUnsupportedStatus, status));
    return Outcome::kOk;
  }

  Outcome TakeTotalSize(int status) {
    // A framed body (chunked) carries more bytes than the file's.
    if (HasTransferCoding(header_)) return Fail(msg::kNoFileSize);
    std::int64_t total = -1;
    if (status == 200) {
      total = ContentLength(header_);
      bodyLeft_ = total;
    } else if (Outcome o = TakeRange(0, total); o != Outcome::kOk) {
      return o;
    }
    // Sizes are signed 32-bit: a larger or negative one is no size at all.
    if (total < 0 || total > INT32_MAX) return Fail(msg::kNoFileSize);
    total_ = static_cast<std::int32_t>(total);
    return Outcome::kOk;
  }

  // A 206 answer: its bytes must start at position, lie inside a file of the
  // task's size (total, -1 while unknown: then the answer's) and be as many
  // as its Content-Length says. Only those bytes are read.
  Outcome TakeRange(std::int32_t position, std::int64_t& total) {
    auto field = FindField(header_, "Content-Range");
    auto wrong = [&] { return Fail(FormatLine(msg::kWrongRange, field ? std::string(*field).c_str() : "")); };
    auto parsed = field ? ParseContentRange(*field) : std::nullopt;
    if (!parsed) return wrong();
    const ContentRange range = *parsed;
    const std::int64_t length = ContentLength(header_);
    bool sound = range.first == position && (total < 0 || range.total < 0 || range.total == total);
    if (sound && length >= 0) sound = length == range.last - range.first + 1;
    if (sound && total < 0) total = range.total;
    if (sound && total >= 0) sound = range.last < total;
    if (!sound) return wrong();
    bodyLeft_ = range.last - range.first + 1;
    streamPos_ = position;
    return Outcome::kOk;
  }

  // A validator that both the first answer and this one carry must be the
  // same: a different one means the file changed on the server in between,
  // and its bytes would join another version's in one file.
  bool SameVersion() const {
    for (auto [name, first] : {std::pair{"ETag", &route_.etag}, std::pair{"Last-Modified", &route_.lastModified}}) {
      const std::string now = FieldText(header_, name);
      if (!now.empty() && !first->empty() && now != *first) return false;
    }
    return true;
  }

  // A 200 answer to a range request is the whole file only when it has the
  // task's size and the validators the first answer gave; anything else (an
  // error page, another version) is another response and stores nothing.
  Outcome TakeWholeFile(std::int32_t position) {
    if (ContentLength(header_) != total_ || FieldText(header_, "ETag") != route_.etag ||
        FieldText(header_, "Last-Modified") != route_.lastModified)
      return Fail(msg::kServerError);
    // From a later block, the server ignored the range: one connection reads
    // on from the first byte, the others leave it.
    auto claim = File().ClaimStream(number_, position > 0);
    if (claim.switched) Log(kLogProgress, msg::kSingleStream);
    if (position > 0 && !claim.reads) return Outcome::kFailed;
    bodyLeft_ = total_;
    streamPos_ = 0;
    if (position > 0) {
      // Reading from the first byte, store the first block on the way that
      // nobody stores, rather than pass it over.
      std::int32_t first = File().TakeFirstStreamBlock(block_, number_, threadId_);
      if (first != block_) {
        block_ = first;
        Block b = File().BlockAt(block_);
        task_.QueueEvent(kBlockTakenOver, number_, b.Position(), b.End());
      }
    }
    return Outcome::kOk;
  }

  Outcome FollowRedirect(int redirects) {
    auto location = FindField(header_, "Location");
    if (!location || location->empty()) return Fail(msg::kNoRedirectTarget);
    Log(kLogProgress, FormatLine(msg::kRedirectedTo, std::string(*location).c_str()));
    if (auto setCookie = FindField(header_, "Set-Cookie")) {
      std::string cookie = CookieOf(*setCookie);
      if (cookie.size() > kMaxCookieBytes) return Fail(msg::kBadRedirect);
      if (!cookie.empty()) route_.cookieLine = "Cookie: " + cookie;
    }
    // A server that keeps redirecting must not hold the task for ever.
    if (redirects > kMaxRedirects) return Fail(msg::kBadRedirect);
    auto next = FollowLocation(route_.url, *location);
    if (!next) return Fail(msg::kBadRedirect);
    bool moved = next->url.host != route_.url.host || next->url.port != route_.url.port;
    route_.url = std::move(next->url);
    route_.referer = std::move(next->referer);
    if (moved && !route_.viaProxy) {
      route_.connectHost = route_.url.host;
      route_.connectPort = route_.url.port;
      route_.endpoints.clear();
    }
    return Outcome::kOk;
  }

  void CloseResponse() override {
    socket_.Close();
    File().LeaveStream(number_);
  }

  // Connects, sends the request with the extra line and reads the answer's
  // header.
  Outcome Exchange(const std::string& extraLine, bool first) {
    Outcome o = Connect(first);
    if (o == Outcome::kOk) o = SendRequest(extraLine);
    if (o == Outcome::kOk) o = ReadHeader();
    return o;
  }

  Outcome SendRequest(const std::string& extraLine) {
    RequestParts parts;
    parts.hostPart = route_.url.hostPart;
    parts.target = route_.viaProxy ? HttpAddress(route_.url) : route_.url.path;
    parts.referer = route_.referer;
    parts.extraLine = extraLine;
    parts.viaProxy = route_.viaProxy;
    // A redirection or cookie chosen by the server may make the request too
    // long or carry line breaks; it is refused whole, never cut.
    auto request = BuildGetRequest(parts);
    if (!request) return Fail(msg::kBadRedirect);
    Log(kLogRequest, *request);
    return Send(socket_, *request, msg::kSendRequestFailed);
  }

  Outcome ReadHeader() {
    std::string data;
    char piece[kHeaderReceiveSize];
    while (true) {
      std::size_t got = 0;
      auto status = socket_.Receive(piece, sizeof piece, receiveTimeoutMs_, task_.StopRequested(), got);
      if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
      if (status != platform::NetStatus::kOk) {
        Log(kLogError, ReceiveFailureText(status, socket_));
        return Outcome::kRetry;
      }
      data.append(piece, got);
      HeaderScan scan = ScanResponseHeader(data);
      if (scan.state == HeaderScan::State::kTooLong) return Fail(msg::kHeaderTooLong);
      if (scan.state == HeaderScan::State::kComplete) {
        header_ = data.substr(scan.begin, scan.end - scan.begin);
        leftover_ = data.substr(scan.end);
        Log(kLogResponse, header_);
        return Outcome::kOk;
      }
    }
  }

  std::string header_;
};

}  // namespace

std::unique_ptr<Connection> MakeHttpConnection(Task& task, std::int32_t number, std::int32_t block) {
  return std::make_unique<HttpConnection>(task, number, block);
}

}  // namespace tavrel::download

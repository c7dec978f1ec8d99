// An HTTP connection of a task. The first connection follows redirections,
// learns the file's size, names and creates the file and starts the other
// connections; every connection then receives blocks through its own buffer.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/download/block_plan.h"
#include "runtime/download/connection.h"
#include "runtime/download/connection_base.h"
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

class HttpConnection final : public ConnectionBase {
 public:
  using ConnectionBase::ConnectionBase;

 private:
  bool RunFirst() override {
    route_.url = task_.StartUrl();
    route_.referer = param_.referer.empty() ? TextBeforeLastSlash(param_.url) : param_.referer;
    if (!param_.proxy.empty()) {
      auto proxy = ParseProxy(param_.proxy);
      if (!proxy) {
        Fail(FormatLine(msg::kResolveProxyFailed, param_.proxy.c_str()));
        return false;
      }
      route_.viaProxy = true;
      route_.connectHost = proxy->host;
      route_.connectPort = proxy->port;
    } else {
      route_.connectHost = route_.url.host;
      route_.connectPort = route_.url.port;
    }

    int redirects = 0;
    while (true) {
      if (task_.Stopping()) return false;
      Outcome o = Connect(true);
      if (o == Outcome::kOk) o = SendRequest(route_.cookieLine);
      if (o == Outcome::kOk) o = ReadHeader();
      if (o == Outcome::kRetry) {
        socket_.Close();
        if (!Retry()) return false;
        continue;
      }
      if (o != Outcome::kOk) return false;

      int status = StatusCode(header_);
      if (status == 301 || status == 302) {
        socket_.Close();
        if (FollowRedirect(++redirects) != Outcome::kOk) return false;
        continue;
      }
      if (status == 400 || status == 403 || status == 404) return Fail(msg::kServerError), false;
      if (status != 200 && status != 206) return Fail(FormatLine(msg::kUnsupportedStatus, status)), false;
      break;
    }

    if (TakeTotalSize() != Outcome::kOk) return false;
    std::string name;
    if (auto disposition = FindField(header_, "Content-Disposition")) name = DispositionFileName(*disposition);
    if (name.empty()) name = UrlPathFileName(route_.url.path);
    return StartTransfer(name, StatusCode(header_) == 200, param_.connections, true);
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

  Outcome TakeTotalSize() {
    std::int64_t total = -1;
    if (StatusCode(header_) == 200) {
      total = ContentLength(header_);
    } else {
      auto field = FindField(header_, "Content-Range");
      auto range = field ? ParseContentRange(*field) : std::nullopt;
      if (range) {
        // Bytes for another place than the file's start cannot be block 0.
        if (range->first != 0) return Fail(FormatLine(msg::kWrongRange, std::string(*field).c_str()));
        total = range->total;
      }
    }
    // Sizes are signed 32-bit: a larger or negative one is no size at all.
    if (total < 0 || total > INT32_MAX) return Fail(msg::kNoFileSize);
    total_ = static_cast<std::int32_t>(total);
    bodyLeft_ = ContentLength(header_);
    return Outcome::kOk;
  }

  // Over one stream, the connection reading it goes on into the next block
  // whose bytes come next, passing over blocks that are stored or taken.
  // False when the stream does not go on here; end then tells why.
  bool ContinueStream(BodyEnd& end) override {
    if (bodyLeft_ == 0 || !task_.SingleStream() || !task_.IsStreamer(number_)) return false;
    std::int32_t finished = block_;
    while (true) {
      std::int32_t skipTo = 0;
      std::int32_t next = task_.TakeBlockStartingAt(finished, streamPos_, number_, threadId_, skipTo);
      finished = BlockPlan::kNone;
      if (next != BlockPlan::kNone) {
        block_ = next;
        return true;
      }
      if (skipTo >= total_) return false;  // the end of the file: done
      end = DiscardTo(skipTo);
      if (end != BodyEnd::kBlockComplete) return false;
    }
  }

  Outcome OpenBlock() override {
    end_ = ConnectionEnd::kRecoverable;
    Outcome o = Connect(false);
    std::int32_t position = task_.BlockState(block_).Position();
    if (o == Outcome::kOk) o = SendRequest(FormatLine("Range: bytes=%d-", position));
    if (o == Outcome::kOk) o = ReadHeader();
    if (o != Outcome::kOk) return o;

    int status = StatusCode(header_);
    if (status == 400 || status == 403 || status == 404) {
      end_ = ConnectionEnd::kRefused;
      return Fail(msg::kServerError);
    }
    end_ = ConnectionEnd::kRecoverable;
    if (status != 200 && status != 206) return Fail(FormatLine(msg::kUnsupportedStatus, status));
    bodyLeft_ = ContentLength(header_);
    if (status == 200) {
      // The whole file from its first byte: the server ignored the range.
      // One connection reads on from there; the others leave it.
      if (position > 0 && !task_.RangeIgnored(number_)) return Outcome::kFailed;
      task_.HoldStream(number_);
      streamPos_ = 0;
      if (position > 0) {
        // Reading from the first byte, store the first block on the way
        // that nobody stores, rather than pass it over.
        std::int32_t first = task_.TakeFirstStreamBlock(block_, number_, threadId_);
        if (first != block_) {
          block_ = first;
          Block b = task_.BlockState(block_);
          task_.QueueEvent(kBlockTakenOver, number_, b.Position(), b.End());
        }
      }
      return Outcome::kOk;
    }
    // Bytes are stored only where they belong: exactly at the block's stored
    // end, inside a file of the task's size.
    auto field = FindField(header_, "Content-Range");
    auto range = field ? ParseContentRange(*field) : std::nullopt;
    if (!range || range->first != position || (range->total >= 0 && range->total != total_))
      return Fail(FormatLine(msg::kWrongRange, field ? std::string(*field).c_str() : ""));
    streamPos_ = position;
    return Outcome::kOk;
  }

  void CloseResponse() override {
    socket_.Close();
    task_.DropStream(number_);
  }

  Outcome SendRequest(const std::string& extraLine) {
    RequestParts parts;
    parts.hostPart = route_.url.hostPart;
    parts.target = route_.viaProxy ? HttpAddress(route_.url) : route_.url.path;
    parts.referer = route_.referer;
    parts.extraLine = extraLine;
    parts.viaProxy = route_.viaProxy;
    // A redirection or cookie chosen by the server may make the request too
    // long; it is refused whole, never cut.
    auto request = BuildGetRequest(parts);
    if (!request) {
      end_ = ConnectionEnd::kGaveUp;  // the same request would be refused again
      return Fail(msg::kBadRedirect);
    }
    Log(kLogRequest, *request);
    auto status = socket_.Send(request->data(), request->size(), std::max<std::int32_t>(param_.sendTimeoutMs, 1),
                               task_.StopRequested());
    if (status == platform::NetStatus::kOk) return Outcome::kOk;
    if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
    Log(kLogError, msg::kSendRequestFailed);
    return Outcome::kRetry;
  }

  Outcome ReadHeader() {
    std::string data;
    char piece[kHeaderReceiveSize];
    while (true) {
      std::size_t got = 0;
      auto status = socket_.Receive(piece, sizeof piece, receiveTimeoutMs_, task_.StopRequested(), got);
      if (status == platform::NetStatus::kStopped) return Outcome::kStopped;
      if (status == platform::NetStatus::kClosed) {
        Log(kLogError, msg::kReceiveFailed);
        return Outcome::kRetry;
      }
      if (status != platform::NetStatus::kOk) {
        Log(kLogError, ReceiveFailureText(status));
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

ConnectionEnd RunHttpConnection(Task& task, std::int32_t number, std::int32_t block) {
  return HttpConnection(task, number, block).Run();
}

}  // namespace tavrel::download

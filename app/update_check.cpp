// Update check at start and the web-site link on the status bar.
#include "app/update_check.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "app/handlers.h"
#include "app/settings.h"
#include "runtime/convert.h"
#include "runtime/detached_thread.h"
#include "runtime/file_version.h"
#include "runtime/program_end.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "web/web_request.h"

namespace tavrel::app {
namespace {
// The window is filled only after the answer: connecting, sending and
// waiting for the answer take at most 5 s each, 15 s in all, and a service
// that stays silent counts as "no newer version".
constexpr std::uint32_t kUpdatePhaseTimeoutMs = 5000;
constexpr auto kUpdateTotalWait = std::chrono::milliseconds(3 * kUpdatePhaseTimeoutMs);

// The request runs on a thread of its own, which the wait gives up on after
// the total: not every WinINet bounds a TLS handshake with the time-outs, and
// one that accepts the connection and stays silent would otherwise hold the
// request for good. A request given up on ends when it ends, unread.
ByteSet UpdateAnswer(Text url) {
  struct Exchange {
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    ByteSet body;
  };
  auto exchange = std::make_shared<Exchange>();
  const bool started = StartDetachedThread([exchange, url = std::move(url)] {
    WebRequestArgs args;
    args.phaseTimeoutMs = kUpdatePhaseTimeoutMs;
    ByteSet body = WebRequest(url, args);
    std::lock_guard guard(exchange->lock);
    exchange->body = std::move(body);
    exchange->done = true;
    exchange->answered.notify_all();
  });
  if (!started) return {};
  std::unique_lock lock(exchange->lock);
  if (!exchange->answered.wait_for(lock, kUpdateTotalWait, [&] { return exchange->done; })) return {};
  return std::move(exchange->body);
}
}  // namespace

Text UpdateRequestUrl(TextView updateHost, TextView version) {
  return ConcatText({"https://", updateHost, "/api/update/checkupdate?version=", version});
}

bool IsNewerVersionAnswer(const ByteSet& body) {
  const double number = ToNumber(ToText(body));
  return std::fabs(number - 1.0) <= 1e-7;
}

Text OwnFileVersion() {
  FileVersionInfo info;
  ReadFileVersionInfo(ConcatText({RunDirectory(), "\\Tavrel.exe"}), info);
  return info.fileVersion;
}

bool NewerVersionAvailable(TextView updateHost) {
  return IsNewerVersionAnswer(UpdateAnswer(UpdateRequestUrl(updateHost, OwnFileVersion())));
}

void AnnounceNewVersionAndExit(TextView siteAddress) {
  ShowMessageBox("发现新版本，请到官方网站下载！", mbflag::kIconInformation);
  OpenWebPage(siteAddress);
  ExitProgram(0);
}

Text SiteAddressHttps() { return ConcatText({"https://", SiteHost()}); }
Text SiteAddressHttp() { return ConcatText({"http://", SiteHost()}); }

Text UpdateServiceAddress() {
  if (UpdatePort() == kUpdatePort) return UpdateHost();
  return ConcatText({UpdateHost(), ":", ToText(UpdatePort())});
}

void CheckForUpdate() {
  if (NewerVersionAvailable(UpdateServiceAddress())) AnnounceNewVersionAndExit(SiteAddressHttps());
}

void OpenSiteClicked() { OpenWebPage(SiteAddressHttp()); }

}  // namespace tavrel::app

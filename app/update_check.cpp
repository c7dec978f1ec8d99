// Update check at start and the web-site link on the status bar.
#include "app/update_check.h"

#include <cmath>

#include "app/handlers.h"
#include "app/settings.h"
#include "runtime/convert.h"
#include "runtime/file_version.h"
#include "runtime/program_end.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "web/web_request.h"

namespace tavrel::app {
namespace {
constexpr std::uint32_t kInformationIcon = 64;
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
  return IsNewerVersionAnswer(WebRequest(UpdateRequestUrl(updateHost, OwnFileVersion())));
}

void AnnounceNewVersionAndExit(TextView siteAddress) {
  ShowMessageBox("发现新版本，请到官方网站下载！", kInformationIcon);
  OpenWebPage(siteAddress);
  ExitProgram(0);
}

Text SiteAddressHttps() { return ConcatText({"https://", SiteHost()}); }
Text SiteAddressHttp() { return ConcatText({"http://", SiteHost()}); }

void CheckForUpdate() {
  if (NewerVersionAvailable(UpdateHost())) AnnounceNewVersionAndExit(SiteAddressHttps());
}

void OpenSiteClicked() { OpenWebPage(SiteAddressHttp()); }

}  // namespace tavrel::app

#include "app/settings.h"

namespace tavrel::app {

const char* DownloadHost() { return TAVREL_DOWNLOAD_HOST; }
const char* UpdateHost() { return TAVREL_UPDATE_HOST; }
const char* SiteHost() { return TAVREL_SITE_HOST; }
const char* InstallerSigner() { return TAVREL_INSTALLER_SIGNER; }

}  // namespace tavrel::app

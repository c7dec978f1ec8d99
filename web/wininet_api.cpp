#include "web/wininet_api.h"

namespace tavrel {
namespace {
WinInetApi* installed = nullptr;
}  // namespace

WinInetApi& CurrentWinInetApi() { return installed ? *installed : platform::DefaultWinInetApi(); }

void InstallWinInetApi(WinInetApi* api) { installed = api; }

}  // namespace tavrel

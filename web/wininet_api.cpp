#include "web/wininet_api.h"

#include <atomic>

namespace tavrel {
namespace {
std::atomic<WinInetApi*> g_installed{nullptr};
}  // namespace

WinInetApi& CurrentWinInetApi() {
  WinInetApi* api = g_installed.load();
  return api ? *api : platform::DefaultWinInetApi();
}

void InstallWinInetApi(WinInetApi* api) { g_installed.store(api); }

}  // namespace tavrel

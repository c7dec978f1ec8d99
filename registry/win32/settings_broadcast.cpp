#include <windows.h>

#include "registry/stored_environment.h"

namespace tavrel::registry::platform {
namespace {

class EnvironmentBroadcast final : public SettingsBroadcast {
 public:
  void EnvironmentChanged() override {
    // A hung window must not hang the program: skip it, and give the rest
    // a few seconds in all.
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"),
                          SMTO_ABORTIFHUNG, 3000, &result);
  }
};

}  // namespace

SettingsBroadcast& DefaultSettingsBroadcast() {
  static EnvironmentBroadcast broadcast;
  return broadcast;
}

}  // namespace tavrel::registry::platform

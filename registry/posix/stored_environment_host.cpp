// Without Windows there is no shell object: the registry-backed sets serve
// every call, and no program is told of a change.
#include "registry/stored_environment.h"

namespace tavrel::registry {

std::unique_ptr<StoredEnvironment> OpenStoredEnvironment(bool user) {
  return std::make_unique<RegistryEnvironment>(user);
}

namespace platform {

SettingsBroadcast& DefaultSettingsBroadcast() {
  class Silent final : public SettingsBroadcast {
   public:
    void EnvironmentChanged() override {}
  };
  static Silent silent;
  return silent;
}

}  // namespace platform
}  // namespace tavrel::registry

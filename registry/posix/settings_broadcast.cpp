// Without Windows no program is told of a change to the stored sets.
#include "registry/stored_environment.h"

namespace tavrel::registry::platform {

SettingsBroadcast& DefaultSettingsBroadcast() {
  class Silent final : public SettingsBroadcast {
   public:
    void EnvironmentChanged() override {}
  };
  static Silent silent;
  return silent;
}

}  // namespace tavrel::registry::platform

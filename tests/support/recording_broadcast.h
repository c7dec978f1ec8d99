// Counts the environment-change announcements instead of sending them, for
// one test.
#pragma once

#include <atomic>

#include "registry/stored_environment.h"

namespace tavrel::testing {

class RecordingBroadcast final : public registry::SettingsBroadcast {
 public:
  void EnvironmentChanged() override { ++count; }
  std::atomic<int> count{0};

 private:
  ScopedSeam<registry::g_settingsBroadcastSeam> installed_{*this};
};

}  // namespace tavrel::testing

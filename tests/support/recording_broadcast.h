// Counts the environment-change announcements instead of sending them, for
// one test.
#pragma once

#include <atomic>

#include "registry/stored_environment.h"

namespace tavrel::testing {

class RecordingBroadcast final : public registry::SettingsBroadcast {
 public:
  RecordingBroadcast() { registry::InstallSettingsBroadcast(this); }
  ~RecordingBroadcast() override { registry::InstallSettingsBroadcast(nullptr); }
  RecordingBroadcast(const RecordingBroadcast&) = delete;
  RecordingBroadcast& operator=(const RecordingBroadcast&) = delete;

  void EnvironmentChanged() override { ++count; }
  std::atomic<int> count{0};
};

}  // namespace tavrel::testing

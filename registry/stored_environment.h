// The persistent environment variables of one set ("system" or "user"), as
// stored for future processes: through the shell's automation object where
// it can do the work, through the registry keys it keeps them in otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "runtime/seam.h"
#include "runtime/value.h"

namespace tavrel::registry {

class StoredEnvironment {
 public:
  virtual ~StoredEnvironment() = default;
  // The stored text, unexpanded and whole; nothing when the variable is
  // missing or the set cannot be read.
  virtual std::optional<Text> Read(TextView name) = 0;
  virtual bool Write(TextView name, TextView value) = 0;
  virtual bool Remove(TextView name) = 0;
  // -1 when the set cannot be read.
  virtual std::int32_t Count() = 0;
  // Calls each with "NAME=value" per variable; false when the set cannot be
  // read.
  virtual bool List(const std::function<void(Text)>& each) = 0;
};

// The store of a set for the duration of one operation.
std::unique_ptr<StoredEnvironment> OpenStoredEnvironment(bool user);

// The registry keys behind the sets (the system's under HKLM, the user's
// HKCU\Environment). Changes keep an expandable value expandable; the
// EnvironmentStore announces them.
class RegistryEnvironment final : public StoredEnvironment {
 public:
  explicit RegistryEnvironment(bool user) : user_(user) {}
  std::optional<Text> Read(TextView name) override;
  bool Write(TextView name, TextView value) override;
  bool Remove(TextView name) override;
  std::int32_t Count() override;
  bool List(const std::function<void(Text)>& each) override;

  // The stored text and its registry type, when the variable exists.
  struct Stored {
    Text text;
    std::uint32_t type;
  };
  std::optional<Stored> ReadWithType(TextView name);
  // The set's key opens for changing (the user's is made when missing).
  bool CanWrite();

 private:
  bool user_;
};

inline constexpr const char* kSystemEnvironmentKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline constexpr const char* kUserEnvironmentKey = "Environment";

// Tells running programs (Explorer above all) that the stored environment
// changed, so that programs they start later see it. Once per batch of
// changes: every announcement may wait on each top-level window.
class SettingsBroadcast {
 public:
  virtual ~SettingsBroadcast() = default;
  virtual void EnvironmentChanged() = 0;
};
namespace platform {
SettingsBroadcast& DefaultSettingsBroadcast();
}  // namespace platform
inline constinit Seam<SettingsBroadcast> g_settingsBroadcastSeam{&platform::DefaultSettingsBroadcast};

}  // namespace tavrel::registry

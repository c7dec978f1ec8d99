#include "registry/environment_store.h"

#include "registry/process_environment.h"
#include "registry/stored_environment.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace tavrel::registry {
namespace {

bool IsUser(std::optional<Logical> user) { return user.value_or(0) != 0; }

bool IsVariableName(TextView name) { return !name.empty() && name.find('=') == TextView::npos; }

}  // namespace

EnvironmentStore::EnvironmentStore(Opener open) : open_(std::move(open)) {}

EnvironmentStore::~EnvironmentStore() { AnnounceChanges(); }

StoredEnvironment& EnvironmentStore::Set(std::optional<Logical> user) {
  std::unique_ptr<StoredEnvironment>& set = sets_[IsUser(user) ? 1 : 0];
  if (!set) set = open_(IsUser(user));
  return *set;
}

void EnvironmentStore::AnnounceChanges() {
  if (!changed_) return;
  changed_ = false;
  g_settingsBroadcastSeam.Current().EnvironmentChanged();
}

Text EnvironmentStore::GetVariable(std::optional<Logical> user, TextView name) {
  std::optional<Text> stored = Set(user).Read(name);
  if (stored && !stored->empty()) return *stored;
  return platform::ProcessVariable(name).value_or(Text());
}

Logical EnvironmentStore::SetVariable(std::optional<Logical> user, TextView name, TextView value) {
  if (!IsVariableName(name) || !Set(user).Write(name, value)) return 0;
  changed_ = true;
  return 1;
}

Logical EnvironmentStore::RemoveVariable(std::optional<Logical> user, TextView name) {
  if (!IsVariableName(name) || !Set(user).Remove(name)) return 0;
  changed_ = true;
  return 1;
}

bool EnvironmentStore::CanWrite(std::optional<Logical> user) {
  // Whatever serves the writes, the sets live in these keys, and their
  // rights decide who may change them.
  return RegistryEnvironment(IsUser(user)).CanWrite();
}

std::int32_t EnvironmentStore::CountVariables(std::optional<Logical> user) { return Set(user).Count(); }

std::int32_t EnvironmentStore::ListVariables(std::optional<Logical> user, Array<Text>& list) {
  bool listed = Set(user).List([&list](Text entry) {
    list.Append(std::move(entry));
    ProcessEvents();
  });
  return listed ? list.Count() : -1;
}

std::optional<Text> EnvironmentStore::ReadStoredVariable(std::optional<Logical> user, TextView name) {
  // Straight from the registry, whatever serves the other calls: only there
  // can a missing value be told from an empty one, and the text is whole.
  return RegistryEnvironment(IsUser(user)).Read(name);
}

std::int32_t EnvironmentStore::CommandLineArguments(Array<Text>& list) {
  list = Array<Text>(platform::CommandLineArguments());
  return list.Count();
}

Text EnvironmentStore::CurrentDirectory() { return platform::CurrentDirectory(); }

Text EnvironmentStore::ProgramPath(std::optional<Logical> fullPath) {
  Text path = platform::ProgramFile();
  if (fullPath.value_or(0) != 0) return path;
  // The part after the last separator that starts a character.
  std::int32_t cut = -1;
  for (TextView separator : {"\\", "/", ":"}) cut = std::max(cut, FindTextLast(path, separator));
  Text file = cut == -1 ? path : path.substr(static_cast<std::size_t>(cut));
  return file;
}

Text EnvironmentStore::CommandInterpreter() { return platform::ProcessVariable("COMSPEC").value_or(Text()); }

}  // namespace tavrel::registry

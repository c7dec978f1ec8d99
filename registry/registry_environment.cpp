// The registry-backed environment sets.
#include <vector>

#include "registry/stored_environment.h"
#include "runtime/registry_api.h"

namespace tavrel::registry {
namespace {

constexpr std::uint32_t kQueryAndSet = 0x1 | 0x2;  // KEY_QUERY_VALUE | KEY_SET_VALUE

bool IsText(std::uint32_t type) { return type == regtype::kSz || type == regtype::kExpandSz; }

// An open key of a set, closed when it goes.
class SetKey {
 public:
  SetKey(bool user, std::uint32_t sam, bool create) {
    RegistryApi& api = g_registrySeam.Current();
    RegKey root = RootKey(user ? kHkeyCurrentUser : kHkeyLocalMachine);
    const char* path = user ? kUserEnvironmentKey : kSystemEnvironmentKey;
    RegKey key = 0;
    code_ = create ? api.CreateKeyEx(root, path, 0, sam, &key, nullptr) : api.OpenKeyEx(root, path, 0, sam, &key);
    if (code_ == regerr::kSuccess) key_.Reset(key);
  }

  bool Open() const { return code_ == regerr::kSuccess; }
  std::int32_t Code() const { return code_; }
  RegKey Get() const { return key_.Get(); }

 private:
  UniqueRegKey key_;
  std::int32_t code_;
};

// A text value as stored, sized first so that nothing is ever cut.
std::optional<RegistryEnvironment::Stored> QueryText(RegKey key, const Text& name) {
  RegistryApi& api = g_registrySeam.Current();
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::uint32_t type = 0, size = 0;
    if (api.QueryValueEx(key, name.c_str(), &type, nullptr, &size) != regerr::kSuccess || !IsText(type))
      return std::nullopt;
    std::vector<std::uint8_t> buffer(size + 1, 0);
    std::int32_t code = api.QueryValueEx(key, name.c_str(), &type, buffer.data(), &size);
    if (code == regerr::kMoreData) continue;  // grew in between: ask again
    if (code != regerr::kSuccess || !IsText(type)) return std::nullopt;
    return RegistryEnvironment::Stored{Text(reinterpret_cast<const char*>(buffer.data())), type};
  }
  return std::nullopt;
}

}  // namespace

std::optional<RegistryEnvironment::Stored> RegistryEnvironment::ReadWithType(TextView name) {
  SetKey key(user_, regsam::kRead, false);
  if (!key.Open()) return std::nullopt;
  return QueryText(key.Get(), Text(name));
}

std::optional<Text> RegistryEnvironment::Read(TextView name) {
  std::optional<Stored> stored = ReadWithType(name);
  if (!stored) return std::nullopt;
  return std::move(stored->text);
}

bool RegistryEnvironment::Write(TextView name, TextView value) {
  // The user's set may not exist yet on a fresh profile; the system's always does.
  SetKey key(user_, kQueryAndSet, user_);
  if (!key.Open()) return false;
  const Text valueName(name);
  RegistryApi& api = g_registrySeam.Current();
  std::uint32_t existingType = 0, size = 0;
  bool exists = api.QueryValueEx(key.Get(), valueName.c_str(), &existingType, nullptr, &size) == regerr::kSuccess;
  // A value with references stays expandable, and so does one that already
  // was: %SystemRoot% in path must keep working.
  bool expandable = value.find('%') != TextView::npos || (exists && existingType == regtype::kExpandSz);
  std::vector<std::uint8_t> bytes(value.begin(), value.end());
  bytes.push_back(0);
  if (api.SetValueEx(key.Get(), valueName.c_str(), expandable ? regtype::kExpandSz : regtype::kSz, bytes.data(),
                     static_cast<std::uint32_t>(bytes.size())) != regerr::kSuccess)
    return false;
  return true;
}

bool RegistryEnvironment::CanWrite() { return SetKey(user_, kQueryAndSet, user_).Open(); }

bool RegistryEnvironment::Remove(TextView name) {
  SetKey key(user_, kQueryAndSet, false);
  if (!key.Open()) return false;
  const Text valueName(name);
  return g_registrySeam.Current().DeleteValue(key.Get(), valueName.c_str()) == regerr::kSuccess;
}

bool RegistryEnvironment::List(const std::function<void(Text)>& each) {
  SetKey key(user_, regsam::kRead, false);
  if (!key.Open()) return user_ && key.Code() == regerr::kFileNotFound;  // no user variables yet
  RegistryApi& api = g_registrySeam.Current();
  char name[16384];  // the longest value name the registry allows
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t nameSize = sizeof name, type = 0, dataSize = 0;
    std::int32_t code = api.EnumValue(key.Get(), index, name, &nameSize, &type, nullptr, &dataSize);
    if (code == regerr::kNoMoreItems) return true;
    if (code != regerr::kSuccess) return false;
    if (!IsText(type)) continue;
    Text valueName(name, nameSize);
    if (std::optional<Stored> stored = QueryText(key.Get(), valueName)) each(valueName + "=" + stored->text);
  }
}

std::int32_t RegistryEnvironment::Count() {
  std::int32_t count = 0;
  return List([&count](Text) { ++count; }) ? count : -1;
}

}  // namespace tavrel::registry

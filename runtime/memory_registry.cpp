#include "runtime/memory_registry.h"

#include <algorithm>
#include <cstring>

namespace tavrel {
namespace {

// Access rights that change a key; a read-only key refuses handles that ask
// for any of them.
constexpr std::uint32_t kKeyQueryValue = 0x1, kKeySetValue = 0x2, kKeyEnumerateSubKeys = 0x8;
constexpr std::uint32_t kWriteRights = 0x2 | 0x4 | 0x20 | 0x10000 | 0x40000 | 0x80000;
constexpr std::uint32_t kGenericRead = 0x80000000u, kGenericWrite = 0x40000000u, kGenericAll = 0x10000000u;
constexpr std::uint32_t kKeyWrite = 0x20006;

std::uint32_t GrantedRights(std::uint32_t sam) {
  std::uint32_t rights = sam & ~(regsam::kWow64_32 | regsam::kWow64_64 | kGenericRead | kGenericWrite | kGenericAll);
  if (sam & kGenericRead) rights |= regsam::kRead;
  if (sam & kGenericWrite) rights |= kKeyWrite;
  if (sam & kGenericAll) rights |= regsam::kAllAccess;
  return rights;
}

// Names compare as the platform compares them: ASCII letters without case;
// a two-byte character is one unit, so its trail byte is never folded.
Text Fold(TextView name) {
  Text folded;
  folded.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    auto byte = static_cast<unsigned char>(name[i]);
    if (byte >= 0x80 && i + 1 < name.size()) {
      folded += name[i];
      folded += name[++i];
    } else {
      folded += (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte + 32) : name[i];
    }
  }
  return folded;
}

// Path parts between backslashes that start a character (a trail byte may
// be 0x5C); empty parts are skipped.
std::vector<TextView> SplitPath(TextView path) {
  std::vector<TextView> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size();) {
    if (path[i] == '\\') {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = ++i;
    } else {
      i += (static_cast<unsigned char>(path[i]) >= 0x80 && i + 1 < path.size()) ? 2 : 1;
    }
  }
  if (start < path.size()) parts.push_back(path.substr(start));
  return parts;
}

TextView NameOf(const char* name) { return name ? TextView(name) : TextView(); }

}  // namespace

struct MemoryRegistry::Node {
  Text name;
  Node* parent = nullptr;
  std::map<Text, std::shared_ptr<Node>> subkeys;     // by folded name, so enumeration is sorted
  std::vector<std::pair<Text, StoredValue>> values;  // sorted by folded name, as Wine enumerates them
  bool readOnly = false;
  bool deleted = false;
  std::shared_ptr<Node> view32;  // HKLM\SOFTWARE on a 64-bit system: its Wow6432Node

  bool IsReadOnly() const {
    for (const Node* n = this; n; n = n->parent)
      if (n->readOnly) return true;
    return false;
  }
  std::pair<Text, StoredValue>* FindValue(TextView valueName) {
    Text folded = Fold(valueName);
    for (auto& v : values)
      if (Fold(v.first) == folded) return &v;
    return nullptr;
  }
  void Store(TextView valueName, StoredValue value) {
    // An existing value keeps the spelling of its name.
    if (auto* existing = FindValue(valueName)) {
      existing->second = std::move(value);
      return;
    }
    Text folded = Fold(valueName);
    auto at = std::find_if(values.begin(), values.end(), [&](const auto& v) { return Fold(v.first) > folded; });
    values.emplace(at, Text(valueName), std::move(value));
  }
  void MarkDeleted() {
    deleted = true;
    parent = nullptr;
    for (auto& [_, child] : subkeys) child->MarkDeleted();
  }
};

MemoryRegistry::MemoryRegistry() : MemoryRegistry(Options{}) {}

MemoryRegistry::MemoryRegistry(Options options) : options_(options) {
  hkcr_ = std::make_shared<Node>();
  hkcu_ = std::make_shared<Node>();
  hklm_ = std::make_shared<Node>();
  hku_ = std::make_shared<Node>();
  std::shared_ptr<Node> software = SetUpKey(kHkeyLocalMachine, "SOFTWARE", View::k64);
  if (options_.system64) software->view32 = SetUpKey(kHkeyLocalMachine, "SOFTWARE\\Wow6432Node", View::k64);
  hkcc_ = SetUpKey(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", View::k64);
}

MemoryRegistry::~MemoryRegistry() = default;

// A call that names no view uses the view of the handle it is made on (a key
// opened in the 64-bit view stays there), or the program's own view under a
// predefined root.
bool MemoryRegistry::Use32BitView(std::uint32_t sam, RegKey parent) const {
  if (!options_.system64) return false;
  if (sam & regsam::kWow64_32) return true;
  if (sam & regsam::kWow64_64) return false;
  auto found = handles_.find(parent);
  return found != handles_.end() ? found->second.view32 : !options_.process64;
}

bool MemoryRegistry::Use32BitView(View view) const {
  if (!options_.system64) return false;
  if (view == View::k32) return true;
  if (view == View::k64) return false;
  return !options_.process64;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::RootNode(std::uint32_t root) const {
  switch (root) {
    case kHkeyClassesRoot: return hkcr_;
    case kHkeyCurrentUser: return hkcu_;
    case kHkeyLocalMachine: return hklm_;
    case kHkeyUsers: return hku_;
    case kHkeyCurrentConfig: return hkcc_;
    default: return nullptr;
  }
}

MemoryRegistry::Resolved MemoryRegistry::Resolve(const std::shared_ptr<Node>& start, TextView path, bool view32,
                                                 bool create) const {
  std::shared_ptr<Node> current = start;
  bool created = false;
  // The 32-bit view of HKLM\SOFTWARE is its Wow6432Node, unless the path
  // names that node itself.
  auto redirect = [&](TextView next) {
    if (view32 && current->view32 && Fold(next) != "wow6432node") current = current->view32;
  };
  for (TextView part : SplitPath(path)) {
    redirect(part);
    auto found = current->subkeys.find(Fold(part));
    if (found != current->subkeys.end()) {
      current = found->second;
      continue;
    }
    if (!create) return {regerr::kFileNotFound, nullptr};
    if (current->IsReadOnly()) return {regerr::kAccessDenied, nullptr};
    auto child = std::make_shared<Node>();
    child->name = Text(part);
    child->parent = current.get();
    current->subkeys.emplace(Fold(part), child);
    current = child;
    created = true;
  }
  redirect({});
  return {regerr::kSuccess, current, created};
}

std::int32_t MemoryRegistry::Lookup(RegKey key, std::uint32_t needed, std::shared_ptr<Node>* node) const {
  for (std::uint32_t root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers, kHkeyCurrentConfig}) {
    if (key == RootKey(root)) {
      *node = RootNode(root);
      return regerr::kSuccess;
    }
  }
  auto found = handles_.find(key);
  if (found == handles_.end()) return regerr::kInvalidHandle;
  if (found->second.node->deleted) return regerr::kKeyDeleted;
  if ((found->second.granted & needed) != needed) return regerr::kAccessDenied;
  *node = found->second.node;
  return regerr::kSuccess;
}

RegKey MemoryRegistry::NewHandle(std::shared_ptr<Node> node, std::uint32_t sam, bool view32) {
  RegKey handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = Handle{std::move(node), GrantedRights(sam), view32};
  return handle;
}

std::int32_t MemoryRegistry::Record(Call call) {
  calls_.push_back(call);
  return call.result;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::SetUpKey(std::uint32_t root, TextView path, View view) {
  // Setting up ignores read-only marks: it stands for what an administrator
  // put there before.
  std::shared_ptr<Node> start = RootNode(root);
  if (!start) return nullptr;
  std::shared_ptr<Node> current = start;
  bool view32 = Use32BitView(view);
  auto redirect = [&](TextView next) {
    if (view32 && current->view32 && Fold(next) != "wow6432node") current = current->view32;
  };
  for (TextView part : SplitPath(path)) {
    redirect(part);
    auto& slot = current->subkeys[Fold(part)];
    if (!slot) {
      slot = std::make_shared<Node>();
      slot->name = Text(part);
      slot->parent = current.get();
    }
    current = slot;
  }
  redirect({});
  return current;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::FindKey(std::uint32_t root, TextView path, View view) const {
  std::shared_ptr<Node> start = RootNode(root);
  if (!start) return nullptr;
  Resolved r = Resolve(start, path, Use32BitView(view), false);
  return r.node;
}

void MemoryRegistry::AddKey(std::uint32_t root, TextView path, View view) {
  std::lock_guard lock(mutex_);
  SetUpKey(root, path, view);
}

void MemoryRegistry::SetValue(std::uint32_t root, TextView path, TextView name, std::uint32_t type, ByteSet data,
                              View view) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> node = SetUpKey(root, path, view);
  if (!node) return;
  node->Store(name, StoredValue{type, std::move(data)});
}

void MemoryRegistry::SetText(std::uint32_t root, TextView path, TextView name, TextView text, std::uint32_t type,
                             View view) {
  ByteSet bytes(text.begin(), text.end());
  bytes.push_back(0);
  SetValue(root, path, name, type, std::move(bytes), view);
}

void MemoryRegistry::SetReadOnly(std::uint32_t root, TextView path, bool readOnly, View view) {
  std::lock_guard lock(mutex_);
  if (std::shared_ptr<Node> node = SetUpKey(root, path, view)) node->readOnly = readOnly;
}

bool MemoryRegistry::HasKey(std::uint32_t root, TextView path, View view) const {
  std::lock_guard lock(mutex_);
  return FindKey(root, path, view) != nullptr;
}

std::optional<MemoryRegistry::StoredValue> MemoryRegistry::Value(std::uint32_t root, TextView path, TextView name,
                                                                 View view) const {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> node = FindKey(root, path, view);
  if (!node) return std::nullopt;
  if (auto* value = node->FindValue(name)) return value->second;
  return std::nullopt;
}

std::optional<Text> MemoryRegistry::TextValue(std::uint32_t root, TextView path, TextView name, View view) const {
  std::optional<StoredValue> value = Value(root, path, name, view);
  if (!value) return std::nullopt;
  auto end = std::find(value->data.begin(), value->data.end(), std::uint8_t{0});
  return Text(value->data.begin(), end);
}

void MemoryRegistry::RemoveKeyTree(std::uint32_t root, TextView path, View view) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<Node> node = FindKey(root, path, view);
  if (!node || !node->parent) return;
  Node* parent = node->parent;
  node->MarkDeleted();
  std::erase_if(parent->subkeys, [&](const auto& entry) { return entry.second == node; });
}

void MemoryRegistry::SetVariableForExpansion(TextView name, TextView value) {
  std::lock_guard lock(mutex_);
  environment_[Fold(name)] = {Text(name), Text(value)};
}

std::vector<MemoryRegistry::Call> MemoryRegistry::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void MemoryRegistry::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::size_t MemoryRegistry::OpenHandleCount() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

std::int32_t MemoryRegistry::OpenCurrentUser(std::uint32_t sam, RegKey* result) {
  std::lock_guard lock(mutex_);
  if (!result) return Record({Op::kOpenCurrentUser, 0, {}, sam, 0, {}, regerr::kInvalidParameter});
  *result = NewHandle(hkcu_, sam, Use32BitView(sam, 0));
  return Record({Op::kOpenCurrentUser, 0, {}, sam, 0, {}, regerr::kSuccess});
}

std::int32_t MemoryRegistry::OpenKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam,
                                       RegKey* result) {
  std::lock_guard lock(mutex_);
  Call call{Op::kOpenKey, parent, Text(NameOf(subKey)), sam, options, {}, regerr::kSuccess};
  std::shared_ptr<Node> start;
  if (!result) {
    call.result = regerr::kInvalidParameter;
  } else if ((call.result = Lookup(parent, 0, &start)) == regerr::kSuccess) {
    const bool view32 = Use32BitView(sam, parent);
    Resolved r = Resolve(start, NameOf(subKey), view32, false);
    call.result = r.code;
    if (r.code == regerr::kSuccess && (GrantedRights(sam) & kWriteRights) && r.node->IsReadOnly())
      call.result = regerr::kAccessDenied;
    if (call.result == regerr::kSuccess) *result = NewHandle(r.node, sam, view32);
  }
  return Record(call);
}

std::int32_t MemoryRegistry::CreateKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam,
                                         RegKey* result, std::uint32_t* disposition) {
  std::lock_guard lock(mutex_);
  Call call{Op::kCreateKey, parent, Text(NameOf(subKey)), sam, options, {}, regerr::kSuccess};
  std::shared_ptr<Node> start;
  if (!result || !subKey) {
    call.result = regerr::kInvalidParameter;
  } else if ((call.result = Lookup(parent, 0, &start)) == regerr::kSuccess) {
    const bool view32 = Use32BitView(sam, parent);
    Resolved r = Resolve(start, subKey, view32, true);
    call.result = r.code;
    if (r.code == regerr::kSuccess && (GrantedRights(sam) & kWriteRights) && r.node->IsReadOnly())
      call.result = regerr::kAccessDenied;
    if (call.result == regerr::kSuccess) {
      *result = NewHandle(r.node, sam, view32);
      if (disposition) *disposition = r.created ? 1u : 2u;  // REG_CREATED_NEW_KEY, REG_OPENED_EXISTING_KEY
    }
  }
  return Record(call);
}

std::int32_t MemoryRegistry::QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                                          std::uint32_t* dataSize) {
  std::lock_guard lock(mutex_);
  Call call{Op::kQueryValue, key, {}, 0, 0, Text(NameOf(valueName)), regerr::kSuccess};
  std::shared_ptr<Node> node;
  if ((call.result = Lookup(key, kKeyQueryValue, &node)) != regerr::kSuccess) return Record(call);
  if (data && !dataSize) {
    call.result = regerr::kInvalidParameter;
    return Record(call);
  }
  auto* value = node->FindValue(NameOf(valueName));
  if (!value) {
    call.result = regerr::kFileNotFound;
    return Record(call);
  }
  const ByteSet& bytes = value->second.data;
  auto size = static_cast<std::uint32_t>(bytes.size());
  if (type) *type = value->second.type;
  if (dataSize) {
    if (data && *dataSize < size) {
      call.result = regerr::kMoreData;
    } else if (data && size) {
      std::memcpy(data, bytes.data(), size);
    }
    *dataSize = size;
  }
  return Record(call);
}

std::int32_t MemoryRegistry::SetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                                        std::uint32_t dataSize) {
  std::lock_guard lock(mutex_);
  Call call{Op::kSetValue, key, {}, 0, 0, Text(NameOf(valueName)), regerr::kSuccess};
  std::shared_ptr<Node> node;
  if ((call.result = Lookup(key, kKeySetValue, &node)) != regerr::kSuccess) return Record(call);
  if (!data && dataSize) {
    call.result = regerr::kInvalidParameter;
    return Record(call);
  }
  ByteSet bytes = data ? ByteSet(data, data + dataSize) : ByteSet();
  node->Store(NameOf(valueName), StoredValue{type, std::move(bytes)});
  return Record(call);
}

std::int32_t MemoryRegistry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) {
  std::lock_guard lock(mutex_);
  Call call{Op::kEnumKey, key, {}, 0, 0, {}, regerr::kSuccess};
  std::shared_ptr<Node> node;
  if ((call.result = Lookup(key, kKeyEnumerateSubKeys, &node)) != regerr::kSuccess) return Record(call);
  if (index >= node->subkeys.size()) {
    call.result = regerr::kNoMoreItems;
    return Record(call);
  }
  auto it = node->subkeys.begin();
  std::advance(it, index);
  const Text& found = it->second->name;
  if (!name || found.size() + 1 > nameSize) {
    call.result = regerr::kMoreData;
    return Record(call);
  }
  std::memcpy(name, found.c_str(), found.size() + 1);
  return Record(call);
}

std::int32_t MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                       std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) {
  std::lock_guard lock(mutex_);
  Call call{Op::kEnumValue, key, {}, 0, 0, {}, regerr::kSuccess};
  std::shared_ptr<Node> node;
  if ((call.result = Lookup(key, kKeyQueryValue, &node)) != regerr::kSuccess) return Record(call);
  if (!name || !nameSize || (data && !dataSize)) {
    call.result = regerr::kInvalidParameter;
    return Record(call);
  }
  if (index >= node->values.size()) {
    call.result = regerr::kNoMoreItems;
    return Record(call);
  }
  const auto& [valueName, value] = node->values[index];
  call.valueName = valueName;
  if (valueName.size() + 1 > *nameSize) {
    call.result = regerr::kMoreData;
    return Record(call);
  }
  std::memcpy(name, valueName.c_str(), valueName.size() + 1);
  *nameSize = static_cast<std::uint32_t>(valueName.size());
  if (type) *type = value.type;
  auto size = static_cast<std::uint32_t>(value.data.size());
  if (dataSize) {
    if (data && *dataSize < size)
      call.result = regerr::kMoreData;
    else if (data && size)
      std::memcpy(data, value.data.data(), size);
    *dataSize = size;
  }
  return Record(call);
}

std::int32_t MemoryRegistry::DeleteValue(RegKey key, const char* valueName) {
  std::lock_guard lock(mutex_);
  Call call{Op::kDeleteValue, key, {}, 0, 0, Text(NameOf(valueName)), regerr::kSuccess};
  std::shared_ptr<Node> node;
  if ((call.result = Lookup(key, kKeySetValue, &node)) != regerr::kSuccess) return Record(call);
  Text folded = Fold(NameOf(valueName));
  auto erased = std::erase_if(node->values, [&](const auto& v) { return Fold(v.first) == folded; });
  if (!erased) call.result = regerr::kFileNotFound;
  return Record(call);
}

std::int32_t MemoryRegistry::DeleteKey(RegKey key, const char* subKey) {
  std::lock_guard lock(mutex_);
  Call call{Op::kDeleteKey, key, Text(NameOf(subKey)), 0, 0, {}, regerr::kSuccess};
  std::shared_ptr<Node> start;
  if (!subKey) {
    call.result = regerr::kInvalidParameter;
    return Record(call);
  }
  if ((call.result = Lookup(key, 0, &start)) != regerr::kSuccess) return Record(call);
  Resolved r = Resolve(start, subKey, Use32BitView(0u, key), false);
  if ((call.result = r.code) != regerr::kSuccess) return Record(call);
  // A root, a key with subkeys or a protected key cannot be deleted.
  if (!r.node->parent || !r.node->subkeys.empty() || r.node->IsReadOnly()) {
    call.result = regerr::kAccessDenied;
    return Record(call);
  }
  Node* parent = r.node->parent;
  r.node->MarkDeleted();
  std::erase_if(parent->subkeys, [&](const auto& entry) { return entry.second == r.node; });
  return Record(call);
}

std::int32_t MemoryRegistry::CloseKey(RegKey key) {
  std::lock_guard lock(mutex_);
  Call call{Op::kCloseKey, key, {}, 0, 0, {}, regerr::kSuccess};
  std::shared_ptr<Node> node;
  bool predefined = !handles_.contains(key) && Lookup(key, 0, &node) == regerr::kSuccess;
  if (!predefined && handles_.erase(key) == 0) call.result = regerr::kInvalidHandle;
  return Record(call);
}

Text MemoryRegistry::ExpandEnvironmentStrings(const Text& text) {
  std::lock_guard lock(mutex_);
  Text out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t open = text.find('%', i);
    std::size_t close = open == Text::npos ? Text::npos : text.find('%', open + 1);
    if (close == Text::npos) {
      out.append(text, i, Text::npos);
      break;
    }
    out.append(text, i, open - i);
    auto found = environment_.find(Fold(TextView(text).substr(open + 1, close - open - 1)));
    if (close > open + 1 && found != environment_.end())
      out += found->second.second;
    else
      out.append(text, open, close - open + 1);  // an unknown reference stays as written
    i = close + 1;
  }
  return out;
}

}  // namespace tavrel

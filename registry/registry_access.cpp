#include "registry/registry_access.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "runtime/system_facts.h"
#include "runtime/text.h"

namespace tavrel::registry {
namespace {

constexpr std::uint32_t kClosedRoot = 0xFFFFFFFFu;
// A name buffer starts at 256 bytes and doubles while the system asks for
// more: a value name may have 16383 characters, two bytes each in a
// double-byte code page, and a key name 255 such characters.
constexpr std::size_t kFirstNameBuffer = 256;
constexpr std::size_t kLongestNameBuffer = 2 * 16384;
// A value that keeps growing between the size query and the read is asked
// for again this many times.
constexpr int kReadAttempts = 4;
constexpr const char* kHardwareProfile = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";

RegistryApi& Api() { return g_registrySeam.Current(); }

bool IsStringType(std::int32_t type) {
  return type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz;
}

}  // namespace

std::int64_t HexToInt64(TextView text) {
  std::uint64_t value = 0;
  int digits = 0;
  for (std::size_t i = text.size(); i-- > 0 && digits < 16;) {
    char c = text[i];
    std::uint64_t digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<std::uint64_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<std::uint64_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<std::uint64_t>(c - 'a' + 10);
    else
      continue;
    value |= digit << (4 * digits++);
  }
  return static_cast<std::int64_t>(value);
}

RegistryAccess::RegistryAccess() {
  // A 32-bit program on 64-bit Windows reads the 64-bit view, where the
  // system's own software is registered; a 64-bit build is there already.
  view64_ = sizeof(void*) == 8 || g_systemFactsSeam.Current().RunsUnderWow64();
}

std::uint32_t RegistryAccess::ViewFlag() const { return view64_ ? regsam::kWow64_64 : regsam::kWow64_32; }

bool RegistryAccess::IsOpenOn(std::uint32_t root, TextView path) const {
  return key_ && openRoot_ == root && openPath_ == path;
}

// A key opened for reading serves reads; a change needs it reopened with
// full access.
bool RegistryAccess::EnsureOpen(std::uint32_t root, TextView path, bool write) {
  return (IsOpenOn(root, path) && !(write && readOnly_)) || OpenKey(root, path) != -1;
}

void RegistryAccess::Forget() {
  readOnly_ = false;
  openPath_.clear();
  openRoot_ = kClosedRoot;
}

void RegistryAccess::Use64BitView() {
  // The open key belongs to the other view: give it up so that no later
  // call reuses it, without disturbing LastError.
  key_.Reset();
  Forget();
  view64_ = true;
}

void RegistryAccess::Use32BitView() {
  key_.Reset();
  Forget();
  view64_ = false;
}

std::int32_t RegistryAccess::CloseKey() {
  if (!key_) return -1;
  lastError_ = Api().CloseKey(key_.Release());
  Forget();
  return lastError_;
}

std::intptr_t RegistryAccess::OpenKey(std::uint32_t root, TextView path) { return Open(root, path, false, false); }

std::intptr_t RegistryAccess::OpenKeyForReading(std::uint32_t root, TextView path) {
  return Open(root, path, false, true);
}

std::intptr_t RegistryAccess::OpenOrCreateKey(std::uint32_t root, TextView path) {
  return Open(root, path, true, false);
}

std::intptr_t RegistryAccess::Open(std::uint32_t root, TextView path, bool create, bool forReading) {
  if (IsOpenOn(root, path) && (forReading || !readOnly_)) return static_cast<std::intptr_t>(key_.Get());
  CloseKey();
  RegistryApi& api = Api();
  const std::uint32_t mask = (forReading ? regsam::kRead : regsam::kAllAccess) | ViewFlag();
  const Text subKey(path);
  RegKey key = 0;
  // Keys made here are ordinary, lasting keys, under every root.
  auto openUnder = [&](RegKey parent) {
    std::uint32_t disposition = 0;
    return create ? api.CreateKeyEx(parent, subKey.c_str(), 0, mask, &key, &disposition)
                  : api.OpenKeyEx(parent, subKey.c_str(), 0, mask, &key);
  };

  if (root == kHkeyCurrentUser) {
    RegKey user = 0;
    lastError_ = api.OpenCurrentUser(mask, &user);
    if (lastError_ == regerr::kSuccess) {
      lastError_ = openUnder(user);
      api.CloseKey(user);
    }
  } else if (root == kHkeyCurrentConfig) {
    RegKey profile = 0;
    lastError_ = api.OpenKeyEx(RootKey(kHkeyLocalMachine), kHardwareProfile, 0, mask, &profile);
    if (lastError_ == regerr::kSuccess) {
      lastError_ = openUnder(profile);
      api.CloseKey(profile);
    }
  } else {
    lastError_ = openUnder(RootKey(root));
  }
  if (lastError_ != regerr::kSuccess) return -1;
  key_.Reset(key);
  openRoot_ = root;
  openPath_ = subKey;
  readOnly_ = forReading;
  return static_cast<std::intptr_t>(key_.Get());
}

std::int32_t RegistryAccess::EnumSubkeys(std::uint32_t root, TextView path, Array<Text>& names) {
  if (!EnsureOpen(root, path, false)) return lastError_;
  names = Array<Text>();
  std::vector<char> buffer(kFirstNameBuffer);
  for (std::uint32_t index = 0;;) {
    lastError_ = Api().EnumKey(key_.Get(), index, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (lastError_ == regerr::kMoreData && buffer.size() < kLongestNameBuffer) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (lastError_ != regerr::kSuccess) break;
    names.Append(Text(buffer.data()));
    ++index;
  }
  if (lastError_ == regerr::kNoMoreItems) lastError_ = regerr::kSuccess;
  if (names.Empty() && lastError_ != regerr::kSuccess) return lastError_;
  return names.Count();
}

std::int32_t RegistryAccess::EnumValues(std::uint32_t root, TextView path, Array<RegistryValue>& values) {
  if (!EnsureOpen(root, path, false)) return lastError_;
  values = Array<RegistryValue>();
  RegistryApi& api = Api();
  std::vector<char> name(kFirstNameBuffer);
  for (std::uint32_t index = 0, attempt = 0;;) {
    auto nameSize = static_cast<std::uint32_t>(name.size());
    std::uint32_t type = 0, dataSize = 0;
    std::int32_t probe = api.EnumValue(key_.Get(), index, name.data(), &nameSize, &type, nullptr, &dataSize);
    if (probe == regerr::kMoreData && name.size() < kLongestNameBuffer) {
      name.resize(name.size() * 2);
      continue;
    }
    ByteSet data(dataSize, 0);
    std::uint8_t none = 0;
    nameSize = static_cast<std::uint32_t>(name.size());
    lastError_ =
        api.EnumValue(key_.Get(), index, name.data(), &nameSize, &type, data.empty() ? &none : data.data(), &dataSize);
    if (lastError_ == regerr::kMoreData && ++attempt < kReadAttempts) continue;  // grew in between
    if (lastError_ != regerr::kSuccess) break;
    data.resize(std::min<std::size_t>(data.size(), dataSize));
    values.Append(RegistryValue{Text(name.data(), nameSize), std::move(data), static_cast<std::int32_t>(type)});
    ++index;
    attempt = 0;
  }
  if (lastError_ == regerr::kNoMoreItems) lastError_ = regerr::kSuccess;
  return values.Count();
}

Logical RegistryAccess::KeyExists(std::uint32_t root, TextView path) {
  RegistryApi& api = Api();
  const Text subKey(path);
  RegKey temporary = 0;
  std::uint32_t mask = regsam::kRead | ViewFlag();
  if (api.OpenKeyEx(RootKey(root), subKey.c_str(), 0, mask, &temporary) != regerr::kSuccess) return 0;
  api.CloseKey(temporary);
  return 1;
}

std::int32_t RegistryAccess::ReadValue(std::uint32_t root, TextView path, TextView valueName, RegistryValue& record) {
  if (!EnsureOpen(root, path, false)) return lastError_;
  RegistryApi& api = Api();
  const Text name(valueName);
  std::uint32_t type = 0, size = 0;
  std::uint8_t probe = 0;
  lastError_ = api.QueryValueEx(key_.Get(), name.c_str(), &type, &probe, &size);
  if (lastError_ == regerr::kSuccess || lastError_ == regerr::kMoreData) record.type = static_cast<std::int32_t>(type);
  if (lastError_ == regerr::kMoreData) {
    record.data.assign(size, 0);
    lastError_ = api.QueryValueEx(key_.Get(), name.c_str(), &type, record.data.data(), &size);
    if (lastError_ == regerr::kSuccess) {
      record.type = static_cast<std::int32_t>(type);
      record.data.resize(std::min<std::size_t>(record.data.size(), size));
      // The terminating zero a string value has, as WriteBytesValue adds
      // it; every other byte is data.
      if (IsStringType(record.type) && !record.data.empty() && record.data.back() == 0) record.data.pop_back();
    }
  }
  return lastError_;
}

std::int32_t RegistryAccess::WriteBytesValue(std::uint32_t root, TextView path, TextView valueName, const ByteSet& data,
                                             std::int32_t type, bool create) {
  if (type != 1 && type != 2 && type != 3 && type != 7) return -1;
  if (create) {
    CloseKey();  // always reopen, creating what is missing
    if (OpenOrCreateKey(root, path) == -1) return lastError_;
  } else if (!EnsureOpen(root, path, true)) {
    return lastError_;
  }
  // Strings are stored with their terminating zero; binary data exactly as
  // given.
  ByteSet stored = data;
  if (IsStringType(type)) stored.push_back(0);
  const Text name(valueName);
  std::uint8_t none = 0;
  lastError_ = Api().SetValueEx(key_.Get(), name.c_str(), static_cast<std::uint32_t>(type),
                                stored.empty() ? &none : stored.data(), static_cast<std::uint32_t>(stored.size()));
  return lastError_;
}

std::int32_t RegistryAccess::WriteIntegerValue(std::uint32_t root, TextView path, TextView valueName,
                                               std::int64_t value, std::int32_t type, bool create) {
  if (type != 4 && type != 5 && type != 11) return -1;
  if (create) {
    CloseKey();
    if (OpenOrCreateKey(root, path) == -1) return lastError_;
  } else if (!EnsureOpen(root, path, true)) {
    return lastError_;
  }
  const auto bits = static_cast<std::uint64_t>(value);
  const std::size_t width = type == regtype::kQword ? 8 : 4;
  std::uint8_t bytes[8];
  for (std::size_t i = 0; i < width; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  // REG_DWORD_BIG_ENDIAN means what it says: readers take the first byte as
  // the highest.
  if (type == regtype::kDwordBigEndian) std::reverse(bytes, bytes + 4);
  const Text name(valueName);
  lastError_ = Api().SetValueEx(key_.Get(), name.c_str(), static_cast<std::uint32_t>(type), bytes,
                                static_cast<std::uint32_t>(width));
  return lastError_;
}

Logical RegistryAccess::WriteQwordFromHex(std::uint32_t root, TextView path, TextView valueName, TextView hexText) {
  if (OpenKey(root, path) == -1 && OpenOrCreateKey(root, path) == -1) return 0;
  ByteSet bytes;
  for (std::size_t end = hexText.size(); end > 0;) {
    std::size_t start = end >= 2 ? end - 2 : 0;
    bytes.push_back(static_cast<std::uint8_t>(HexToInt64(hexText.substr(start, end - start)) & 0xFF));
    end = start;
  }
  PadBytes(bytes, 8);
  const Text name(valueName);
  lastError_ = Api().SetValueEx(key_.Get(), name.c_str(), regtype::kQword, bytes.data(), 8);
  return lastError_ == regerr::kSuccess ? 1 : 0;
}

void RegistryAccess::PadBytes(ByteSet& bytes, std::int32_t length) {
  if (length > 0 && bytes.size() < static_cast<std::size_t>(length)) bytes.resize(static_cast<std::size_t>(length), 0);
}

std::int32_t RegistryAccess::DeleteValue(std::uint32_t root, TextView path, TextView valueName) {
  if (!EnsureOpen(root, path, true)) return lastError_;
  const Text name(valueName);
  lastError_ = Api().DeleteValue(key_.Get(), name.c_str());
  return lastError_;
}

std::int32_t RegistryAccess::DeleteKey(std::uint32_t root, TextView path) {
  // The last backslash that starts a character: a trail byte may be 0x5C.
  std::int32_t cut = FindTextLast(path, "\\");
  TextView parent = cut == -1 ? TextView() : path.substr(0, static_cast<std::size_t>(cut - 1));
  const Text child(cut == -1 ? path : path.substr(static_cast<std::size_t>(cut)));
  if (OpenKey(root, parent) == -1) return lastError_;
  lastError_ = Api().DeleteKey(key_.Get(), child.c_str());
  return lastError_;
}

Text RegistryAccess::TypeName(std::int32_t type) {
  static constexpr const char* kNames[] = {
      "REG_SZ",   "REG_EXPAND_SZ", "REG_BINARY",        "REG_DWORD", "REG_DWORD_BIG_ENDIAN",
      "REG_LINK", "REG_MULTI_SZ",  "REG_RESOURCE_LIST", "NULL",      "NULL",
      "REG_QWORD"};
  if (type < 1 || type > 11) return "键值非法";
  return kNames[type - 1];
}

}  // namespace tavrel::registry

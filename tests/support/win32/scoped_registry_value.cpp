#include "tests/support/win32/scoped_registry_value.h"

#include "runtime/win32/handles.h"

namespace tavrel::testing {
namespace {

win32::UniqueHkey Open(HKEY root, const std::string& subkey, REGSAM access) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(root, subkey.c_str(), 0, access, &key) != ERROR_SUCCESS) return {};
  return win32::UniqueHkey(key);
}

// The outermost key of the path that does not exist yet; empty when all do.
std::string FirstMissing(HKEY root, const std::string& subkey, REGSAM view) {
  for (std::size_t end = 0; end != std::string::npos;) {
    end = subkey.find('\\', end + 1);
    std::string prefix = subkey.substr(0, end);
    if (!Open(root, prefix, KEY_READ | view)) return prefix;
  }
  return {};
}

}  // namespace

std::optional<StoredRegistryValue> ReadRegistryValue(HKEY root, const std::string& subkey, const std::string& name,
                                                     REGSAM view) {
  win32::UniqueHkey key = Open(root, subkey, KEY_READ | view);
  if (!key) return std::nullopt;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
  StoredRegistryValue value{type, std::string(size, '\0')};
  if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data.data()), &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.data.resize(size);
  return value;
}

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::string subkey, std::string name, REGSAM view)
    : root_(root), subkey_(std::move(subkey)), name_(std::move(name)), view_(view) {
  original_ = ReadRegistryValue(root_, subkey_, name_, view_);
  created_ = FirstMissing(root_, subkey_, view_);
}

ScopedRegistryValue::~ScopedRegistryValue() {
  if (!created_.empty()) {
    const std::size_t cut = created_.rfind('\\');
    const std::string parentPath = cut == std::string::npos ? std::string() : created_.substr(0, cut);
    const std::string child = cut == std::string::npos ? created_ : created_.substr(cut + 1);
    if (win32::UniqueHkey parent = Open(root_, parentPath, KEY_ALL_ACCESS | view_)) {
      ::RegDeleteTreeA(parent.Get(), child.c_str());
      ::RegDeleteKeyExA(parent.Get(), child.c_str(), view_, 0);
    }
    return;
  }
  win32::UniqueHkey key = Open(root_, subkey_, KEY_SET_VALUE | view_);
  if (!key) return;
  if (original_)
    ::RegSetValueExA(key.Get(), name_.c_str(), 0, original_->type,
                     reinterpret_cast<const BYTE*>(original_->data.data()), static_cast<DWORD>(original_->data.size()));
  else
    ::RegDeleteValueA(key.Get(), name_.c_str());
}

bool ScopedRegistryValue::SetText(const std::string& text, DWORD type) {
  HKEY raw = nullptr;
  if (::RegCreateKeyExA(root_, subkey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view_, nullptr, &raw, nullptr) !=
      ERROR_SUCCESS)
    return false;
  win32::UniqueHkey key(raw);
  return ::RegSetValueExA(key.Get(), name_.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool ScopedRegistryValue::Remove() {
  win32::UniqueHkey key = Open(root_, subkey_, KEY_SET_VALUE | view_);
  if (!key) return !original_;
  LONG result = ::RegDeleteValueA(key.Get(), name_.c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace tavrel::testing

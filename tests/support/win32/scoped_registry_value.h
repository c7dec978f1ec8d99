// One value of the real registry changed for the length of a test, and put
// back as it was afterwards: its old type and data, or no value at all, and
// no key left behind that the test had to create.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tavrel::testing {

struct StoredRegistryValue {
  DWORD type = REG_NONE;
  std::string data;  // as stored, a text's terminating zero included
  // The text of a string value, up to its first zero byte.
  std::string Text() const { return data.substr(0, data.find('\0')); }
};

// A value as stored; nothing when the key or the value is missing. The view
// is KEY_WOW64_64KEY, KEY_WOW64_32KEY or 0.
std::optional<StoredRegistryValue> ReadRegistryValue(HKEY root, const std::string& subkey, const std::string& name,
                                                     REGSAM view);

class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, std::string subkey, std::string name, REGSAM view = 0);
  ~ScopedRegistryValue();
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

  // Stores a text (REG_SZ or REG_EXPAND_SZ), creating the key when needed.
  bool SetText(const std::string& text, DWORD type = REG_SZ);
  // Removes the value for now (the key stays).
  bool Remove();
  const std::optional<StoredRegistryValue>& Original() const { return original_; }

 private:
  HKEY root_;
  std::string subkey_, name_;
  REGSAM view_;
  std::optional<StoredRegistryValue> original_;
  // The outermost key this object had to create, removed with its subtree.
  std::string created_;
};

}  // namespace tavrel::testing

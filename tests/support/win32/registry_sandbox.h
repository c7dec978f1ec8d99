// The real registry in Windows tests: raw reads and writes in a chosen
// view, whole-tree removal, and values put back as they were when a test
// ends (the test prefix's own PATH among them).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tavrel::testing {

struct RawValue {
  DWORD type;
  std::vector<BYTE> data;
  bool operator==(const RawValue&) const = default;
};

// view: 0, KEY_WOW64_64KEY or KEY_WOW64_32KEY.
std::optional<RawValue> ReadRaw(HKEY root, const std::string& path, const std::string& name, REGSAM view = 0);
// The stored text up to its first zero byte.
std::optional<std::string> ReadRawText(HKEY root, const std::string& path, const std::string& name, REGSAM view = 0);
bool WriteRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::string& bytes,
              REGSAM view = 0);
// Writes a text with its terminating zero.
bool WriteRawText(HKEY root, const std::string& path, const std::string& name, const std::string& text,
                  DWORD type = REG_SZ, REGSAM view = 0);
bool DeleteRawValue(HKEY root, const std::string& path, const std::string& name, REGSAM view = 0);
bool KeyExistsRaw(HKEY root, const std::string& path, REGSAM view = 0);
// Removes the key with everything below it; true when it is gone.
bool DeleteTree(HKEY root, const std::string& path, REGSAM view = 0);

// Puts a value back (or removes it) when the scope ends.
class SavedValue {
 public:
  SavedValue(HKEY root, std::string path, std::string name, REGSAM view = 0);
  ~SavedValue();
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;
  const std::optional<RawValue>& Original() const { return original_; }

 private:
  HKEY root_;
  std::string path_, name_;
  REGSAM view_;
  std::optional<RawValue> original_;
};

// Whether this program runs on 64-bit Windows (the prefix's kind), told
// apart without the routines under test.
bool NativeSystemIs64Bit();

}  // namespace tavrel::testing

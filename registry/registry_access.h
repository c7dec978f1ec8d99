// A small registry object: at most one key open at a time, reused while
// calls stay on the same root and path, an explicit 32-bit or 64-bit view,
// and the platform's result code of its last call. Roots are the platform's
// predefined handle values (0x80000002 for HKEY_LOCAL_MACHINE).
#pragma once

#include <cstdint>

#include "runtime/registry_api.h"
#include "runtime/value.h"

namespace tavrel::registry {

struct RegistryValue {
  Text name;
  ByteSet data;
  std::int32_t type = 0;
};

class RegistryAccess {
 public:
  // Starts in the 64-bit view on a 64-bit system, the normal view otherwise.
  RegistryAccess();

  // The next call on any key opens it anew in the chosen view.
  void Use64BitView();
  void Use32BitView();

  // -1 when no key is open; otherwise the platform's code of closing it.
  std::int32_t CloseKey();
  // The key handle, or -1 (LastError tells why). Asks for full access.
  std::intptr_t OpenKey(std::uint32_t root, TextView path);
  // As OpenKey with read rights only, which every user has under
  // HKEY_LOCAL_MACHINE. Reads reuse the key; a change reopens it.
  std::intptr_t OpenKeyForReading(std::uint32_t root, TextView path);
  std::intptr_t OpenOrCreateKey(std::uint32_t root, TextView path);

  // The number of names, or the platform's code when the first one cannot
  // be read. The list is emptied first.
  std::int32_t EnumSubkeys(std::uint32_t root, TextView path, Array<Text>& names);
  std::int32_t LastError() const { return lastError_; }
  // The number of values read into the emptied list.
  std::int32_t EnumValues(std::uint32_t root, TextView path, Array<RegistryValue>& values);
  // Whether the key opens for reading; leaves the open key and LastError alone.
  Logical KeyExists(std::uint32_t root, TextView path);
  // The platform's code; on success record.data holds the value's bytes,
  // a string's without its terminating zero.
  std::int32_t ReadValue(std::uint32_t root, TextView path, TextView valueName, RegistryValue& record);

  // Types 1 REG_SZ, 2 REG_EXPAND_SZ, 3 REG_BINARY, 7 REG_MULTI_SZ; -1 for any
  // other. Strings get their terminating zero added. create: create a
  // missing key.
  std::int32_t WriteBytesValue(std::uint32_t root, TextView path, TextView valueName, const ByteSet& data,
                               std::int32_t type, bool create = false);
  // Types 4 REG_DWORD, 5 REG_DWORD_BIG_ENDIAN, 11 REG_QWORD; -1 for any other.
  std::int32_t WriteIntegerValue(std::uint32_t root, TextView path, TextView valueName, std::int64_t value,
                                 std::int32_t type, bool create = false);
  // hexText's last two digits become the first byte; the key is created when
  // missing. True when the write succeeded.
  Logical WriteQwordFromHex(std::uint32_t root, TextView path, TextView valueName, TextView hexText);
  static void PadBytes(ByteSet& bytes, std::int32_t length);
  std::int32_t DeleteValue(std::uint32_t root, TextView path, TextView valueName);
  // Deletes the key named by the part after the last backslash under the
  // key named by the part before it.
  std::int32_t DeleteKey(std::uint32_t root, TextView path);
  static Text TypeName(std::int32_t type);

  bool Uses64BitView() const { return view64_; }
  bool IsOpen() const { return static_cast<bool>(key_); }

 private:
  bool IsOpenOn(std::uint32_t root, TextView path) const;
  bool EnsureOpen(std::uint32_t root, TextView path, bool write);
  std::intptr_t Open(std::uint32_t root, TextView path, bool create, bool forReading);
  std::uint32_t ViewFlag() const;
  void Forget();

  bool view64_ = false;
  std::int32_t lastError_ = 0;
  UniqueRegKey key_;
  std::uint32_t openRoot_ = 0;  // 0xFFFFFFFF after a close
  Text openPath_;
  bool readOnly_ = false;  // the open key has read rights only
};

// The digits 0-9, A-F and a-f of the text read from its end, other
// characters skipped, at most 16 digits; the last digit is the lowest.
std::int64_t HexToInt64(TextView text);

}  // namespace tavrel::registry

// The registry functions of advapi32 as one seam: the real ANSI functions on
// Windows, an in-memory registry with the same result codes elsewhere.
// Semantics, buffers and result codes are those of the Win32 functions of the
// same names.
#pragma once

#include <cstdint>

#include "runtime/seam.h"
#include "runtime/unique_handle.h"
#include "runtime/value.h"

namespace tavrel {

// An HKEY value. Predefined roots are the platform's handle values.
using RegKey = std::uintptr_t;

inline constexpr std::uint32_t kHkeyClassesRoot = 0x80000000u;
inline constexpr std::uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kHkeyUsers = 0x80000003u;
inline constexpr std::uint32_t kHkeyCurrentConfig = 0x80000005u;

// The HKEY of a predefined root given as a 32-bit value (sign-extended on
// 64-bit Windows, as the platform defines them).
inline RegKey RootKey(std::uint32_t root) {
  return static_cast<RegKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(root)));
}

namespace regerr {
inline constexpr std::int32_t kSuccess = 0, kFileNotFound = 2, kAccessDenied = 5, kInvalidHandle = 6,
                              kInvalidParameter = 87, kMoreData = 234, kNoMoreItems = 259, kKeyDeleted = 1018;
}  // namespace regerr

namespace regtype {
inline constexpr std::uint32_t kNone = 0, kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kDwordBigEndian = 5,
                               kLink = 6, kMultiSz = 7, kQword = 11;
}  // namespace regtype

namespace regsam {
inline constexpr std::uint32_t kRead = 0x20019, kAllAccess = 0xF003F, kWow64_64 = 0x100, kWow64_32 = 0x200;
}  // namespace regsam

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;
  virtual std::int32_t OpenCurrentUser(std::uint32_t sam, RegKey* result) = 0;
  virtual std::int32_t OpenKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam,
                                 RegKey* result) = 0;
  virtual std::int32_t CreateKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam,
                                   RegKey* result, std::uint32_t* disposition) = 0;
  // data may be null to ask for the size only.
  virtual std::int32_t QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                                    std::uint32_t* dataSize) = 0;
  virtual std::int32_t SetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                                  std::uint32_t dataSize) = 0;
  virtual std::int32_t EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) = 0;
  virtual std::int32_t EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                 std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) = 0;
  virtual std::int32_t DeleteValue(RegKey key, const char* valueName) = 0;
  virtual std::int32_t DeleteKey(RegKey key, const char* subKey) = 0;
  virtual std::int32_t CloseKey(RegKey key) = 0;
  // Expands %NAME% references as ExpandEnvironmentStringsA does.
  virtual Text ExpandEnvironmentStrings(const Text& text) = 0;
};

namespace platform {
RegistryApi& DefaultRegistryApi();
}  // namespace platform
inline constinit Seam<RegistryApi> g_registrySeam{&platform::DefaultRegistryApi};

// An open key, closed through the registry in use.
using UniqueRegKey = UniqueHandle<SeamHandleTraits<g_registrySeam, RegKey, &RegistryApi::CloseKey>>;

}  // namespace tavrel

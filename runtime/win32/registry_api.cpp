// The registry seam over the ANSI functions of advapi32.
#include <windows.h>

#include <vector>

#include "runtime/registry_api.h"

namespace tavrel::platform {
namespace {

HKEY H(RegKey k) { return reinterpret_cast<HKEY>(k); }

class AdvapiRegistry final : public RegistryApi {
 public:
  std::int32_t OpenCurrentUser(std::uint32_t sam, RegKey* result) override {
    HKEY k = nullptr;
    LONG rc = ::RegOpenCurrentUser(sam, &k);
    *result = reinterpret_cast<RegKey>(k);
    return rc;
  }
  std::int32_t OpenKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam,
                         RegKey* result) override {
    HKEY k = nullptr;
    LONG rc = ::RegOpenKeyExA(H(parent), subKey, options, sam, &k);
    *result = reinterpret_cast<RegKey>(k);
    return rc;
  }
  std::int32_t CreateKeyEx(RegKey parent, const char* subKey, std::uint32_t options, std::uint32_t sam, RegKey* result,
                           std::uint32_t* disposition) override {
    HKEY k = nullptr;
    DWORD d = 0;
    LONG rc = ::RegCreateKeyExA(H(parent), subKey, 0, nullptr, options, sam, nullptr, &k, &d);
    *result = reinterpret_cast<RegKey>(k);
    if (disposition) *disposition = d;
    return rc;
  }
  std::int32_t QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* dataSize) override {
    DWORD t = 0, size = dataSize ? *dataSize : 0;
    LONG rc = ::RegQueryValueExA(H(key), valueName, nullptr, &t, data, dataSize ? &size : nullptr);
    if (type) *type = t;
    if (dataSize) *dataSize = size;
    return rc;
  }
  std::int32_t SetValueEx(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t dataSize) override {
    return ::RegSetValueExA(H(key), valueName, 0, type, data, dataSize);
  }
  std::int32_t EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) override {
    return ::RegEnumKeyA(H(key), index, name, nameSize);
  }
  std::int32_t EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameSize, std::uint32_t* type,
                         std::uint8_t* data, std::uint32_t* dataSize) override {
    DWORD n = nameSize ? *nameSize : 0, t = 0, size = dataSize ? *dataSize : 0;
    LONG rc =
        ::RegEnumValueA(H(key), index, name, nameSize ? &n : nullptr, nullptr, &t, data, dataSize ? &size : nullptr);
    if (nameSize) *nameSize = n;
    if (type) *type = t;
    if (dataSize) *dataSize = size;
    return rc;
  }
  std::int32_t DeleteValue(RegKey key, const char* valueName) override { return ::RegDeleteValueA(H(key), valueName); }
  std::int32_t DeleteKey(RegKey key, const char* subKey) override { return ::RegDeleteKeyA(H(key), subKey); }
  std::int32_t CloseKey(RegKey key) override { return ::RegCloseKey(H(key)); }
  // A text that cannot be expanded comes back as it is stored, never empty
  // or cut: past its 32 K limit the function fails on Windows and cuts the
  // result under Wine.
  Text ExpandEnvironmentStrings(const Text& text) override {
    constexpr std::size_t kLongestExpansion = 32766;
    DWORD needed = ::ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    for (int attempt = 0; needed != 0 && attempt < 3; ++attempt) {
      std::vector<char> buffer(needed + 1);
      DWORD n = ::ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) break;
      if (n <= buffer.size()) {
        Text expanded(buffer.data());
        return expanded.size() < kLongestExpansion ? expanded : text;
      }
      needed = n;  // the environment grew in between
    }
    return text;
  }
};

}  // namespace

RegistryApi& DefaultRegistryApi() {
  static AdvapiRegistry registry;
  return registry;
}

}  // namespace tavrel::platform

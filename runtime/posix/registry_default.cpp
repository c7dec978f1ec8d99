// Without a Windows registry the host build starts from an empty one.
#include "runtime/registry_api.h"

namespace tavrel::platform {
namespace {

class EmptyRegistry final : public RegistryApi {
 public:
  std::int32_t OpenCurrentUser(std::uint32_t, RegKey*) override { return regerr::kFileNotFound; }
  std::int32_t OpenKeyEx(RegKey, const char*, std::uint32_t, std::uint32_t, RegKey*) override {
    return regerr::kFileNotFound;
  }
  std::int32_t CreateKeyEx(RegKey, const char*, std::uint32_t, std::uint32_t, RegKey*, std::uint32_t*) override {
    return regerr::kAccessDenied;
  }
  std::int32_t QueryValueEx(RegKey, const char*, std::uint32_t*, std::uint8_t*, std::uint32_t*) override {
    return regerr::kInvalidHandle;
  }
  std::int32_t SetValueEx(RegKey, const char*, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    return regerr::kInvalidHandle;
  }
  std::int32_t EnumKey(RegKey, std::uint32_t, char*, std::uint32_t) override { return regerr::kInvalidHandle; }
  std::int32_t EnumValue(RegKey, std::uint32_t, char*, std::uint32_t*, std::uint32_t*, std::uint8_t*,
                         std::uint32_t*) override {
    return regerr::kInvalidHandle;
  }
  std::int32_t DeleteValue(RegKey, const char*) override { return regerr::kInvalidHandle; }
  std::int32_t DeleteKey(RegKey, const char*) override { return regerr::kInvalidHandle; }
  std::int32_t CloseKey(RegKey) override { return regerr::kInvalidHandle; }
  Text ExpandEnvironmentStrings(const Text& text) override { return text; }
};

}  // namespace

RegistryApi& DefaultRegistryApi() {
  static EmptyRegistry registry;
  return registry;
}

}  // namespace tavrel::platform

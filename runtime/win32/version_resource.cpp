// Version resources through version.dll (ANSI entry points).
#include <windows.h>

#include <cstring>

#include "runtime/file_version.h"

namespace tavrel::platform {
namespace {

class SystemVersionResources final : public VersionResourceApi {
 public:
  ByteSet Load(const Text& path) override {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return {};
    ByteSet resource(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, resource.data())) return {};
    return resource;
  }

  std::optional<Text> QueryText(const ByteSet& resource, const Text& key) override {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(resource.data(), key.c_str(), &value, &length) || value == nullptr) return std::nullopt;
    // The value lies inside the resource buffer; never read past its end.
    const auto* begin = static_cast<const char*>(value);
    const auto* limit = reinterpret_cast<const char*>(resource.data() + resource.size());
    if (begin < reinterpret_cast<const char*>(resource.data()) || begin >= limit) return std::nullopt;
    return Text(begin, strnlen(begin, static_cast<std::size_t>(limit - begin)));
  }

  std::vector<std::uint32_t> QueryTranslations(const ByteSet& resource) override {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(resource.data(), "\\VarFileInfo\\Translation", &value, &length) || value == nullptr) {
      return {};
    }
    std::vector<std::uint32_t> entries(length / 4);
    if (!entries.empty()) std::memcpy(entries.data(), value, entries.size() * 4);
    return entries;
  }

  Text LanguageName(std::uint32_t languageId) override {
    char name[256] = {};
    // The count returned is not the same on every system (with or without
    // the terminator); the text ends at its zero.
    VerLanguageNameA(languageId, name, sizeof name - 1);
    return Text(name, strnlen(name, sizeof name));
  }
};

}  // namespace

VersionResourceApi& DefaultVersionResourceApi() {
  static SystemVersionResources api;
  return api;
}

}  // namespace tavrel::platform

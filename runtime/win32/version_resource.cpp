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
    if (!VerQueryValueA(resource.data(), key.c_str(), &value, &length)) return std::nullopt;
    return ResourceText(resource, value);
  }

  std::vector<std::uint32_t> QueryTranslations(const ByteSet& resource) override {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(resource.data(), "\\VarFileInfo\\Translation", &value, &length)) return {};
    // The length is the resource's own claim; only what it holds is read.
    return TranslationEntries(resource, value, length);
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

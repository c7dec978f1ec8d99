#include "runtime/file_version.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "runtime/text.h"

namespace tavrel {
namespace {

constexpr std::int32_t kFieldLimit = 255;
// The code read when the file lists no translation.
constexpr TextView kFallbackTranslation = "040904E4";

// At most kFieldLimit bytes, never cutting a two-byte character in half.
Text Limited(const Text& value) {
  std::size_t end = 0;
  while (end < value.size()) {
    const std::size_t next = end + CharWidthAt(value, end);
    if (next > static_cast<std::size_t>(kFieldLimit)) break;
    end = next;
  }
  return value.substr(0, end);
}

// Bytes from value to the end of the resource; nullopt when value lies
// outside it. Addresses are compared as numbers: value may point anywhere.
std::optional<std::size_t> BytesLeftAt(const ByteSet& resource, const void* value) {
  const auto begin = reinterpret_cast<std::uintptr_t>(resource.data());
  const auto at = reinterpret_cast<std::uintptr_t>(value);
  if (value == nullptr || resource.empty() || at < begin || at >= begin + resource.size()) return std::nullopt;
  return resource.size() - (at - begin);
}

}  // namespace

std::vector<std::uint32_t> TranslationEntries(const ByteSet& resource, const void* value, std::size_t length) {
  const auto left = BytesLeftAt(resource, value);
  if (!left) return {};
  std::vector<std::uint32_t> entries(std::min(length, *left) / 4);
  if (!entries.empty()) std::memcpy(entries.data(), value, entries.size() * 4);
  return entries;
}

std::optional<Text> ResourceText(const ByteSet& resource, const void* value) {
  const auto left = BytesLeftAt(resource, value);
  if (!left) return std::nullopt;
  const auto* begin = static_cast<const char*>(value);
  return Text(begin, strnlen(begin, *left));
}

Text TranslationCode(std::uint32_t translation) {
  char code[9];
  std::snprintf(code, sizeof code, "%04x%04x", static_cast<unsigned>(translation & 0xFFFF),
                static_cast<unsigned>(translation >> 16));
  return code;
}

Logical ReadFileVersionInfo(TextView path, FileVersionInfo& info) {
  info = FileVersionInfo{};
  VersionResourceApi& api = g_versionResourceSeam.Current();
  const ByteSet resource = api.Load(Text(path));
  if (resource.empty()) return 0;

  Text code(kFallbackTranslation);
  const std::vector<std::uint32_t> translations = api.QueryTranslations(resource);
  if (!translations.empty()) {
    code = TranslationCode(translations.front());
    Text names;
    for (std::size_t i = 0; i < translations.size(); ++i) {
      if (i > 0) names += ", ";
      names += api.LanguageName(translations[i] & 0xFFFF);
    }
    info.languages = Limited(names);
  }

  const auto read = [&](const char* name) {
    return Limited(api.QueryText(resource, ConcatText({"\\StringFileInfo\\", code, "\\", name})).value_or(Text()));
  };
  info.fileVersion = read("FileVersion");
  info.companyName = read("CompanyName");
  info.fileDescription = read("FileDescription");
  info.internalName = read("InternalName");
  info.legalCopyright = read("LegalCopyright");
  info.legalTrademarks = read("LegalTrademarks");
  info.originalFilename = read("OriginalFilename");
  info.productName = read("ProductName");
  info.productVersion = read("ProductVersion");
  info.comments = read("Comments");
  return 1;
}

}  // namespace tavrel

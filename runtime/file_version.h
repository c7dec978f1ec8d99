// The texts of a file's Windows version resource.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/seam.h"
#include "runtime/value.h"

namespace tavrel {

struct FileVersionInfo {
  Text fileVersion;
  Text fileDescription;
  Text internalName;
  Text companyName;
  Text legalCopyright;
  Text legalTrademarks;
  Text originalFilename;
  Text productName;
  Text productVersion;
  Text languages;  // the system's names of the translations, joined by ", "
  Text comments;
};

// Fills info from the string table of the file's first translation (or of
// "040904E4" when the file lists none). False, with every field empty, when
// the file has no version resource. Each field holds at most 255 bytes.
Logical ReadFileVersionInfo(TextView path, FileVersionInfo& info);

// The translation code of a translation entry (language in the low word,
// code page in the high word): eight lower-case hexadecimal digits.
Text TranslationCode(std::uint32_t translation);

// The version resource services of the platform (version.dll).
class VersionResourceApi {
 public:
  virtual ~VersionResourceApi() = default;
  // The file's whole version resource; empty when it has none or cannot be read.
  virtual ByteSet Load(const Text& path) = 0;
  // A string value of the loaded resource up to its terminating zero;
  // nullopt when the key is missing.
  virtual std::optional<Text> QueryText(const ByteSet& resource, const Text& key) = 0;
  // The entries of "\VarFileInfo\Translation"; none when it is missing.
  virtual std::vector<std::uint32_t> QueryTranslations(const ByteSet& resource) = 0;
  // The system's name of a language identifier.
  virtual Text LanguageName(std::uint32_t languageId) = 0;
};

// What the system's query found in a loaded resource, kept within the
// resource: a malformed resource may claim more than it holds.
// The entries of a translation table at value, claimed to be length bytes
// long; none when value lies outside the resource.
std::vector<std::uint32_t> TranslationEntries(const ByteSet& resource, const void* value, std::size_t length);
// The string at value, up to its terminating zero or the resource's end;
// nullopt when value lies outside the resource.
std::optional<Text> ResourceText(const ByteSet& resource, const void* value);

namespace platform {
VersionResourceApi& DefaultVersionResourceApi();
}  // namespace platform
inline constinit Seam<VersionResourceApi> g_versionResourceSeam{&platform::DefaultVersionResourceApi};

}  // namespace tavrel

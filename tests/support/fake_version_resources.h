// Version resources of made-up files, for the version reader and its callers.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "runtime/file_version.h"

namespace tavrel::testing {

class FakeVersionResources final : public VersionResourceApi {
 public:
  struct File {
    std::vector<std::uint32_t> translations;
    std::map<Text, Text> strings;  // full key ("\StringFileInfo\080404b0\FileVersion") to value
  };
  std::map<Text, File> files;               // by path
  std::map<std::uint32_t, Text> languages;  // language id to name
  std::vector<Text> loads;                  // paths asked for
  std::vector<Text> queries;                // string keys asked for

  ByteSet Load(const Text& path) override;
  std::optional<Text> QueryText(const ByteSet& resource, const Text& key) override;
  std::vector<std::uint32_t> QueryTranslations(const ByteSet& resource) override;
  Text LanguageName(std::uint32_t languageId) override;

 private:
  const File* FileOf(const ByteSet& resource) const;
  std::vector<Text> loaded_;  // path of each resource handed out, by its number
};

using ScopedVersionResources = ScopedSeam<g_versionResourceSeam>;

}  // namespace tavrel::testing

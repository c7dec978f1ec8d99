#include "tests/support/fake_version_resources.h"

namespace tavrel::testing {

ByteSet FakeVersionResources::Load(const Text& path) {
  loads.push_back(path);
  if (!files.count(path)) return {};
  loaded_.push_back(path);
  // The resource's bytes name the file it came from.
  const auto number = static_cast<std::uint8_t>(loaded_.size());
  return ByteSet{'V', 'S', number};
}

const FakeVersionResources::File* FakeVersionResources::FileOf(const ByteSet& resource) const {
  if (resource.size() != 3 || resource[2] == 0 || resource[2] > loaded_.size()) return nullptr;
  return &files.at(loaded_[resource[2] - 1]);
}

std::optional<Text> FakeVersionResources::QueryText(const ByteSet& resource, const Text& key) {
  queries.push_back(key);
  const File* file = FileOf(resource);
  if (!file) return std::nullopt;
  auto it = file->strings.find(key);
  if (it == file->strings.end()) return std::nullopt;
  return it->second;
}

std::vector<std::uint32_t> FakeVersionResources::QueryTranslations(const ByteSet& resource) {
  const File* file = FileOf(resource);
  return file ? file->translations : std::vector<std::uint32_t>{};
}

Text FakeVersionResources::LanguageName(std::uint32_t languageId) {
  auto it = languages.find(languageId);
  return it == languages.end() ? Text() : it->second;
}

}  // namespace tavrel::testing

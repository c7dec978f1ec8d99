// The version reader over arbitrary resource bytes, through its seam: what
// the system's query points at comes from the input, and the reader's
// bounds are checked against the resource.
#include <cstring>
#include <map>

#include "runtime/file_version.h"
#include "support/fuzz_input.h"

using namespace tavrel;

namespace {

// Places in the resource named by the input itself, as a malformed resource
// would name them; some lie outside it.
class InputResource final : public VersionResourceApi {
 public:
  explicit InputResource(ByteSet bytes) : bytes_(std::move(bytes)) {}

  ByteSet Load(const Text&) override { return bytes_; }

  std::optional<Text> QueryText(const ByteSet& resource, const Text& key) override {
    const void* at = Place(resource, key.size() * 7 + static_cast<unsigned char>(key.back()));
    const auto value = ResourceText(resource, at);
    if (value) FUZZ_CHECK(Inside(resource, at, value->size()) && std::memcmp(value->data(), at, value->size()) == 0);
    texts[key] = value.value_or(Text());
    return value;
  }

  std::vector<std::uint32_t> QueryTranslations(const ByteSet& resource) override {
    const std::size_t claimed = resource.size() > 1 ? resource[1] % 64u : 0;
    const void* at = Place(resource, 0);
    translations = TranslationEntries(resource, at, claimed);
    FUZZ_CHECK(translations.size() * 4 <= claimed);
    if (!translations.empty()) {
      FUZZ_CHECK(Inside(resource, at, translations.size() * 4));
      FUZZ_CHECK(std::memcmp(translations.data(), at, translations.size() * 4) == 0);
    }
    return translations;
  }

  Text LanguageName(std::uint32_t languageId) override {
    const std::size_t from = bytes_.empty() ? 0 : languageId % bytes_.size();
    Text name(reinterpret_cast<const char*>(bytes_.data()) + from, std::min<std::size_t>(bytes_.size() - from, 300));
    names.push_back(name);
    return name;
  }

  std::map<Text, Text> texts;
  std::vector<std::uint32_t> translations;
  std::vector<Text> names;

 private:
  // An address the input chooses: byte 0 picks an offset, beyond the end at times.
  const void* Place(const ByteSet& resource, std::size_t salt) const {
    if (resource.empty()) return nullptr;
    const std::size_t offset = (resource[0] + salt) % (resource.size() + 16);
    return reinterpret_cast<const std::uint8_t*>(resource.data()) + offset;
  }

  static bool Inside(const ByteSet& resource, const void* at, std::size_t bytes) {
    const auto begin = reinterpret_cast<std::uintptr_t>(resource.data());
    const auto p = reinterpret_cast<std::uintptr_t>(at);
    return p >= begin && p + bytes <= begin + resource.size();
  }

  ByteSet bytes_;
};

// A field holds the value, cut to 255 bytes at a character's start.
void CheckField(const Text& field, const Text& value) {
  FUZZ_CHECK(field.size() <= 255 && value.compare(0, field.size(), field) == 0);
  if (field.size() < value.size()) FUZZ_CHECK(field.size() >= 254 && tavrel::fuzz::CharStarts(value)[field.size()]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  InputResource api(ByteSet(data, data + size));
  g_versionResourceSeam.Install(&api);
  FileVersionInfo info;
  info.fileVersion = "left from before";
  const Logical read = ReadFileVersionInfo("C:\\Tavrel\\Tavrel.exe", info);
  g_versionResourceSeam.Install(nullptr);
  if (!read) {
    FUZZ_CHECK(size == 0 && info.fileVersion.empty() && info.languages.empty());
    return 0;
  }

  const Text code = api.translations.empty() ? Text("040904E4") : TranslationCode(api.translations.front());
  FUZZ_CHECK(code.size() == 8 && api.texts.size() == 10);
  const Text prefix = "\\StringFileInfo\\" + code + "\\";
  for (const auto& [key, value] : api.texts) FUZZ_CHECK(key.compare(0, prefix.size(), prefix) == 0);
  CheckField(info.fileVersion, api.texts["\\StringFileInfo\\" + code + "\\FileVersion"]);
  CheckField(info.productName, api.texts["\\StringFileInfo\\" + code + "\\ProductName"]);
  CheckField(info.comments, api.texts["\\StringFileInfo\\" + code + "\\Comments"]);
  Text languages;
  for (std::size_t i = 0; i < api.names.size(); ++i) languages += (i > 0 ? ", " : "") + api.names[i];
  FUZZ_CHECK(api.names.size() == api.translations.size());
  CheckField(info.languages, languages);
  return 0;
}

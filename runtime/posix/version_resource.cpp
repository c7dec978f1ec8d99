// The host build reads no Windows version resources: every file reads as one
// without a version record.
#include "runtime/file_version.h"

namespace tavrel::platform {
namespace {

class NoVersionResources final : public VersionResourceApi {
 public:
  ByteSet Load(const Text&) override { return {}; }
  std::optional<Text> QueryText(const ByteSet&, const Text&) override { return std::nullopt; }
  std::vector<std::uint32_t> QueryTranslations(const ByteSet&) override { return {}; }
  Text LanguageName(std::uint32_t) override { return {}; }
};

}  // namespace

VersionResourceApi& DefaultVersionResourceApi() {
  static NoVersionResources api;
  return api;
}

}  // namespace tavrel::platform

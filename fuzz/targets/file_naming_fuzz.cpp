// File names a server chooses (Content-Disposition, the address path) and the
// names tried when the file exists: they stay in the download folder.
#include "runtime/download/file_naming.h"
#include "runtime/download/http_message.h"
#include "support/fuzz_input.h"

#include <set>

using namespace tavrel::download;

namespace {

void CheckInFolder(const std::string& folder, const std::string& name, LeadBytePredicate isLead, bool renames) {
  FUZZ_CHECK(!name.empty() && name != "." && name != "..");
  FUZZ_CHECK(name.find_first_not_of(". ") != std::string::npos);
  const std::string path = folder + name;
  FUZZ_CHECK(FileNameStart(path, isLead) == folder.size());
  if (!renames) return;

  // Every name tried keeps the folder, and no name is tried twice.
  std::set<std::string> tried{path};
  std::string next = path;
  // The whole chain costs a hundred names: it is walked for short names
  // ending in a bracket, the few steps otherwise.
  const int tries = name.size() <= 24 && name.back() == ')' ? kMaxRenames : 3;
  for (int i = 0; i < tries; ++i) {
    next = NextFreeName(next, isLead);
    FUZZ_CHECK(next.compare(0, folder.size(), folder) == 0 && FileNameStart(next, isLead) == folder.size());
    FUZZ_CHECK(tried.insert(next).second);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = tavrel::fuzz::Parts(data, size, 3);
  std::string folder = parts[2];
  for (LeadBytePredicate isLead : {GbkLeadByte, NoLeadBytes}) {
    if (!EndsWithSeparator(folder, isLead)) folder = "C:\\Tavrel\\download\\";
    bool renames = isLead == GbkLeadByte;  // the costly chain once per input
    for (const std::string& offered : {DispositionFileName(parts[0]), UrlPathFileName(parts[1]), parts[0]}) {
      const auto name = SafeFileName(offered, isLead);
      if (!name) continue;
      for (std::size_t i = 0; i < name->size(); ++i) {
        auto b = static_cast<unsigned char>((*name)[i]);
        if (isLead(b) && i + 1 < name->size()) {
          ++i;
          continue;
        }
        FUZZ_CHECK(b >= 0x20 && b != 0x7F &&
                   std::string_view("\\/:<>\"|?*").find(static_cast<char>(b)) == std::string_view::npos);
      }
      CheckInFolder(folder, *name, isLead, renames);
      renames = false;
    }
  }
  return 0;
}

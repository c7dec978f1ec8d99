// ReadRegistryText: one text value, read with KEY_READ in the default view.
#include <vector>

#include "runtime/registry_api.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace tavrel {
namespace {

RegKey RootOfCode(std::int32_t code) {
  switch (code) {
    case rootcode::kClassesRoot: return RootKey(kHkeyClassesRoot);
    case rootcode::kCurrentConfig: return RootKey(kHkeyCurrentConfig);
    case rootcode::kLocalMachine: return RootKey(kHkeyLocalMachine);
    case rootcode::kUsers: return RootKey(kHkeyUsers);
    default: return RootKey(kHkeyCurrentUser);
  }
}

// Position of the last backslash that starts a character (a trail byte of a
// two-byte character may equal 0x5C), or npos.
std::size_t LastBackslash(TextView path) {
  std::size_t found = TextView::npos;
  for (std::size_t i = 0; i < path.size(); i += CharWidthAt(path, i))
    if (path[i] == '\\') found = i;
  return found;
}

}  // namespace

Text ReadRegistryText(std::int32_t rootCode, TextView path, std::optional<TextView> defaultText) {
  Text fallback = defaultText ? Text(*defaultText) : Text();
  std::size_t cut = LastBackslash(path);
  Text keyPath = cut == TextView::npos ? Text() : Text(path.substr(0, cut));
  Text valueName = cut == TextView::npos ? Text(path) : Text(path.substr(cut + 1));

  RegistryApi& api = g_registrySeam.Current();
  RegKey opened = 0;
  if (api.OpenKeyEx(RootOfCode(rootCode), keyPath.c_str(), 0, regsam::kRead, &opened) != regerr::kSuccess)
    return fallback;
  const UniqueRegKey key(opened);

  std::uint32_t type = 0, size = 0;
  Text result = fallback;
  if (api.QueryValueEx(key.Get(), valueName.c_str(), &type, nullptr, &size) == regerr::kSuccess &&
      (type == regtype::kSz || type == regtype::kExpandSz)) {
    std::vector<std::uint8_t> buffer(size + 1, 0);
    if (api.QueryValueEx(key.Get(), valueName.c_str(), &type, buffer.data(), &size) == regerr::kSuccess) {
      Text stored(reinterpret_cast<const char*>(buffer.data()));  // up to the first zero byte
      result = type == regtype::kExpandSz ? api.ExpandEnvironmentStrings(stored) : stored;
    }
  }
  return result;
}

}  // namespace tavrel

#include "app/jdk_locations.h"

#include <cstdint>
#include <vector>

#include "registry/registry_access.h"
#include "runtime/convert.h"
#include "runtime/registry_api.h"
#include "runtime/text.h"

namespace tavrel::app {
namespace {

using registry::RegistryAccess;
using registry::RegistryValue;

enum class Versions {
  kCurrentVersion,  // the key's "CurrentVersion" value names the release
  kSubkeys,         // each subkey is one installed version
};

struct JdkLocation {
  Versions versions;
  const char* key;  // under HKEY_LOCAL_MACHINE, in the view RegistryAccess chooses
  // Below "<key>\<version>": the key holding the folder value ("" for that key).
  const char* folderKey;
  const char* folderValue;
  // A release always configured from "<key>\<release>", whatever was detected.
  const char* release;
};

// Where the installers register a JDK, the JavaSoft keys first: the other
// keys are read only when neither of those opens.
//
// - Eclipse Adoptium: its MSI (the WiX template wix/Main.wxs.template of the
//   public github.com/adoptium/installer) writes the installation folder as
//   value "Path" of "SOFTWARE\<manufacturer>\<category>\<version>\<jvm>\MSI",
//   that is "SOFTWARE\Eclipse Adoptium\JDK\<version>\hotspot\MSI".
// - Microsoft Build of OpenJDK: "SOFTWARE\Microsoft\JDK\<version>\hotspot\MSI",
//   value "Path", as its installation guide (learn.microsoft.com/java/openjdk/
//   install, MSI registry keys) documents; its MSI is made from the same
//   template (wix/Lang/OpenJDK.microsoft.*).
// - Azul Zulu and BellSoft Liberica are not read: their vendors' public
//   installer documentation does not name the key and value, and a guessed
//   name could show a folder that is not a JDK.
constexpr JdkLocation kLocations[] = {
    {Versions::kCurrentVersion, "SOFTWARE\\JavaSoft\\Java Development Kit", "", "JavaHome", "1.8"},
    {Versions::kCurrentVersion, "SOFTWARE\\JavaSoft\\JDK", "", "JavaHome", "11.0.9"},
    {Versions::kSubkeys, "SOFTWARE\\Eclipse Adoptium\\JDK", "hotspot\\MSI", "Path", nullptr},
    {Versions::kSubkeys, "SOFTWARE\\Microsoft\\JDK", "hotspot\\MSI", "Path", nullptr},
};

struct Found {
  Text release;
  const JdkLocation* location;
};

Text FolderKey(const JdkLocation& location, TextView version) {
  Text path = Text(location.key) + "\\" + Text(version);
  if (*location.folderKey) path += Text("\\") + location.folderKey;
  return path;
}

// The text of a value, empty when it cannot be read. Read rights only: a
// standard user sees the machine's JDK as well.
Text ReadText(RegistryAccess& access, const Text& path, const char* valueName) {
  RegistryValue record;
  if (access.OpenKeyForReading(kHkeyLocalMachine, path) == -1) return {};
  if (access.ReadValue(kHkeyLocalMachine, path, valueName, record) != regerr::kSuccess) return {};
  return ToText(record.data);
}

std::optional<Found> Find(RegistryAccess& access) {
  for (const JdkLocation& location : kLocations) {
    if (location.versions != Versions::kCurrentVersion) continue;
    if (access.OpenKeyForReading(kHkeyLocalMachine, location.key) == -1) continue;
    return Found{ReadText(access, location.key, "CurrentVersion"), &location};
  }
  std::optional<Found> newest;
  for (const JdkLocation& location : kLocations) {
    if (location.versions != Versions::kSubkeys) continue;
    if (access.OpenKeyForReading(kHkeyLocalMachine, location.key) == -1) continue;
    Array<Text> versions;
    access.EnumSubkeys(kHkeyLocalMachine, location.key, versions);
    for (const Text& version : versions) {
      // A version without its folder is what an uninstaller left behind.
      if (ReadText(access, FolderKey(location, version), location.folderValue).empty()) continue;
      if (!newest || IsNewerVersion(version, newest->release)) newest = Found{version, &location};
    }
  }
  return newest;
}

std::vector<std::uint64_t> VersionNumbers(TextView version) {
  constexpr std::uint64_t kLargest = 1'000'000'000'000ull;  // more digits say nothing more
  std::vector<std::uint64_t> numbers;
  bool inNumber = false;
  for (char c : version) {
    if (c < '0' || c > '9') {
      inNumber = false;
      continue;
    }
    if (!inNumber) numbers.push_back(0);
    inNumber = true;
    std::uint64_t& n = numbers.back();
    n = n >= kLargest ? n : n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return numbers;
}

}  // namespace

bool IsNewerVersion(TextView a, TextView b) { return VersionNumbers(a) > VersionNumbers(b); }

std::optional<Text> FindInstalledJdk() {
  RegistryAccess access;
  std::optional<Found> found = Find(access);
  if (!found) return std::nullopt;
  return std::move(found->release);
}

Text JdkHomeOfRelease(TextView release) {
  RegistryAccess access;
  for (const JdkLocation& location : kLocations)
    if (location.release && CompareText(release, location.release) == 0)
      return ReadText(access, FolderKey(location, release), location.folderValue);
  if (release.empty()) return {};
  std::optional<Found> found = Find(access);
  if (!found || CompareText(found->release, release) != 0) return {};
  return ReadText(access, FolderKey(*found->location, found->release), found->location->folderValue);
}

}  // namespace tavrel::app

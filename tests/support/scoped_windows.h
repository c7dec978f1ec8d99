// A whole Windows for host tests of the handlers: an in-memory registry and
// system facts that agree on the system's bitness, the system environment
// key in place, and environment announcements counted.
#pragma once

#include "runtime/memory_registry.h"
#include "tests/support/fake_system_facts.h"
#include "tests/support/recording_broadcast.h"

namespace tavrel::testing {

inline constexpr const char* kSystemEnvironmentKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
inline constexpr const char* kUserEnvironmentKey = "Environment";

class ScopedWindows {
 public:
  enum class Kind { k64, k32 };

  explicit ScopedWindows(Kind kind = Kind::k64)
      : registry(MemoryRegistry::Options{.system64 = kind == Kind::k64, .process64 = false}),
        facts(kind == Kind::k64 ? FakeSystemFacts::Windows64() : FakeSystemFacts::Windows32()) {
    registry.AddKey(kHkeyLocalMachine, kSystemEnvironmentKey);
    registry.SetVariableForExpansion("SystemRoot", "C:\\windows");
  }

  // The registry keys a JDK installer writes, in the view a 64-bit JDK uses
  // (the only view on a 32-bit system).
  void ImportJdk8(const char* home = "C:\\Program Files\\Java\\jdk1.8.0_271",
                  MemoryRegistry::View view = MemoryRegistry::View::k64) {
    const char* key = "SOFTWARE\\JavaSoft\\Java Development Kit";
    registry.SetText(kHkeyLocalMachine, key, "CurrentVersion", "1.8", regtype::kSz, view);
    registry.SetText(kHkeyLocalMachine, std::string(key) + "\\1.8", "JavaHome", home, regtype::kSz, view);
  }
  void ImportJdk11(const char* home = "C:\\Program Files\\Java\\jdk-11.0.9",
                   MemoryRegistry::View view = MemoryRegistry::View::k64) {
    const char* key = "SOFTWARE\\JavaSoft\\JDK";
    registry.SetText(kHkeyLocalMachine, key, "CurrentVersion", "11.0.9", regtype::kSz, view);
    registry.SetText(kHkeyLocalMachine, std::string(key) + "\\11.0.9", "JavaHome", home, regtype::kSz, view);
  }
  // The folder value another distribution's MSI writes below its version
  // subkey ("<key>\<version>\hotspot\MSI", value "Path"); home nullptr: the
  // version subkey alone, as an uninstaller may leave it.
  void ImportOtherJdk(const char* key, const char* version, const char* home,
                      MemoryRegistry::View view = MemoryRegistry::View::k64) {
    const Text versionKey = Text(key) + "\\" + version;
    if (home)
      registry.SetText(kHkeyLocalMachine, versionKey + "\\hotspot\\MSI", "Path", home, regtype::kSz, view);
    else
      registry.AddKey(kHkeyLocalMachine, versionKey, view);
  }
  void SetSystemPath(const Text& text, std::uint32_t type = regtype::kExpandSz) {
    registry.SetText(kHkeyLocalMachine, kSystemEnvironmentKey, "Path", text, type);
  }
  std::optional<MemoryRegistry::StoredValue> SystemVariable(TextView name) const {
    return registry.Value(kHkeyLocalMachine, kSystemEnvironmentKey, name);
  }

  std::optional<MemoryRegistry::StoredValue> UserVariable(TextView name) const {
    return registry.Value(kHkeyCurrentUser, kUserEnvironmentKey, name);
  }

  MemoryRegistry registry;
  FakeSystemFacts facts;
  RecordingBroadcast broadcast;

 private:
  ScopedSeam<g_registrySeam> installedRegistry_{registry};
  ScopedSeam<g_systemFactsSeam> installedFacts_{facts};
};

}  // namespace tavrel::testing

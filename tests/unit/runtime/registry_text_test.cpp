#include <gtest/gtest.h>

#include "runtime/system.h"
#include "tests/support/scoped_registry.h"

namespace tavrel {
namespace {

using View = MemoryRegistry::View;
constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

TEST(ReadRegistryText, TypesDefaultsAndRootCodes) {
  testing::ScopedRegistry scope;
  MemoryRegistry& reg = scope.registry;
  reg.SetVariableForExpansion("SystemRoot", "C:\\windows");
  reg.SetText(kHkeyLocalMachine, kCurrentVersion, "ProductName", "Windows 7 Ultimate");
  reg.SetText(kHkeyLocalMachine, kCurrentVersion, "PathName", "%SystemRoot%\\x", regtype::kExpandSz);
  reg.SetValue(kHkeyLocalMachine, kCurrentVersion, "InstallDate", regtype::kDword, {1, 2, 3, 4});
  reg.SetValue(kHkeyLocalMachine, kCurrentVersion, "Unterminated", regtype::kSz, {'a', 'b'});
  reg.SetText(kHkeyLocalMachine, kCurrentVersion, "Embedded", Text("ab\0cd", 5));
  reg.SetText(kHkeyLocalMachine, "", "AtRoot", "root value");
  reg.SetText(kHkeyCurrentUser, "Environment", "TEMP", "user temp");
  reg.SetText(kHkeyUsers, ".DEFAULT\\Environment", "TEMP", "default temp");
  reg.SetText(kHkeyClassesRoot, ".txt", "", "txtfile");
  reg.SetText(kHkeyCurrentConfig, "System", "Profile", "current");

  struct Row {
    std::int32_t root;
    const char* path;
    std::optional<TextView> fallback;
    const char* expected;
  };
  const Row rows[] = {
      {4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProductName", std::nullopt, "Windows 7 Ultimate"},
      {4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\PathName", std::nullopt, "C:\\windows\\x"},
      {4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CSDVersion", std::nullopt, ""},
      {4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CSDVersion", TextView("none"), "none"},
      {4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\InstallDate", TextView("d"), "d"},
      {4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Unterminated", std::nullopt, "ab"},
      {4, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Embedded", std::nullopt, "ab"},
      {4, "SOFTWARE\\Missing\\Value", TextView("fallback"), "fallback"},
      {4, "AtRoot", std::nullopt, "root value"},
      {3, "Environment\\TEMP", std::nullopt, "user temp"},
      {0, "Environment\\TEMP", std::nullopt, "user temp"},  // any other code is the current user
      {5, ".DEFAULT\\Environment\\TEMP", std::nullopt, "default temp"},
      {1, ".txt\\", std::nullopt, "txtfile"},
      {2, "System\\Profile", std::nullopt, "current"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ReadRegistryText(r.root, r.path, r.fallback), r.expected) << r.root << " " << r.path;
  EXPECT_EQ(reg.OpenHandleCount(), 0u) << "every key read is closed";
}

TEST(ReadRegistryText, ReadsWithKeyReadInTheDefaultView) {
  testing::ScopedRegistry scope;
  MemoryRegistry& reg = scope.registry;
  reg.SetText(kHkeyLocalMachine, kCurrentVersion, "CurrentBuild", "7601", regtype::kSz, View::k32);
  reg.SetText(kHkeyLocalMachine, kCurrentVersion, "CurrentBuild", "19045", regtype::kSz, View::k64);
  EXPECT_EQ(ReadRegistryText(4, std::string(kCurrentVersion) + "\\CurrentBuild"), "7601");
  for (const auto& call : reg.Calls()) {
    if (call.op == MemoryRegistry::Op::kOpenKey) {
      EXPECT_EQ(call.sam, regsam::kRead);
    }
  }
}

TEST(ReadRegistryText, SplitsAtTheLastBackslashThatStartsACharacter) {
  testing::ScopedRegistry scope;
  MemoryRegistry& reg = scope.registry;
  // The value name ends in B5 5C, a two-byte character whose trail byte is
  // a backslash: the key is "SOFTWARE\App", the value "A<B5 5C>".
  reg.SetText(kHkeyLocalMachine, "SOFTWARE\\App", "A\xB5\x5C", "gbk value");
  reg.SetText(kHkeyLocalMachine, "SOFTWARE\\App\\A\xB5", "", "wrong split");
  EXPECT_EQ(ReadRegistryText(4, "SOFTWARE\\App\\A\xB5\x5C"), "gbk value");
}

}  // namespace
}  // namespace tavrel

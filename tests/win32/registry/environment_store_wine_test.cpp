// The environment store against the platform's shell object and registry.
// Where the shell's collection cannot serve (as under Wine), changes must
// still reach the stored sets, with the right value types.
#include <windows.h>

#include <gtest/gtest.h>

#include "registry/environment_store.h"
#include "tests/support/win32/registry_sandbox.h"

namespace tavrel::registry {
namespace {

constexpr const char* kSystemKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

struct SetOf {
  Logical user;
  HKEY root;
  const char* key;
};
const SetOf kSets[] = {{0, HKEY_LOCAL_MACHINE, kSystemKey}, {1, HKEY_CURRENT_USER, "Environment"}};

class EnvironmentStoreWineTest : public ::testing::Test {
 protected:
  testing::SavedValue systemPlain{HKEY_LOCAL_MACHINE, kSystemKey, "TAVREL_TEST_PLAIN"};
  testing::SavedValue systemRefs{HKEY_LOCAL_MACHINE, kSystemKey, "TAVREL_TEST_REFS"};
  testing::SavedValue userPlain{HKEY_CURRENT_USER, "Environment", "TAVREL_TEST_PLAIN"};
  testing::SavedValue userRefs{HKEY_CURRENT_USER, "Environment", "TAVREL_TEST_REFS"};
  EnvironmentStore store;
};

TEST_F(EnvironmentStoreWineTest, WritesReachTheRegistryWithTheirTypes) {
  for (const SetOf& set : kSets) {
    SCOPED_TRACE(set.key);
    ASSERT_EQ(store.SetVariable(set.user, "TAVREL_TEST_PLAIN", "C:\\Java\\jdk"), 1);
    ASSERT_EQ(store.SetVariable(set.user, "TAVREL_TEST_REFS", "%SystemRoot%\\x;%JAVA_HOME%\\bin"), 1);
    auto plain = testing::ReadRaw(set.root, set.key, "TAVREL_TEST_PLAIN");
    auto refs = testing::ReadRaw(set.root, set.key, "TAVREL_TEST_REFS");
    ASSERT_TRUE(plain && refs);
    EXPECT_EQ(plain->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(refs->type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(testing::ReadRawText(set.root, set.key, "TAVREL_TEST_REFS"), "%SystemRoot%\\x;%JAVA_HOME%\\bin");

    // Reads give the stored text, not the expanded one.
    EXPECT_EQ(store.GetVariable(set.user, "TAVREL_TEST_REFS"), "%SystemRoot%\\x;%JAVA_HOME%\\bin");
    EXPECT_EQ(store.ReadStoredVariable(set.user, "tavrel_test_plain"), "C:\\Java\\jdk");

    // An expandable value stays expandable when rewritten without references.
    ASSERT_EQ(store.SetVariable(set.user, "TAVREL_TEST_REFS", "C:\\plain"), 1);
    EXPECT_EQ(testing::ReadRaw(set.root, set.key, "TAVREL_TEST_REFS")->type, static_cast<DWORD>(REG_EXPAND_SZ));

    Array<Text> list;
    std::int32_t count = store.CountVariables(set.user);
    EXPECT_EQ(store.ListVariables(set.user, list), count);
    bool listed = false;
    for (const Text& entry : list) listed = listed || entry == "TAVREL_TEST_PLAIN=C:\\Java\\jdk";
    EXPECT_TRUE(listed);

    EXPECT_EQ(store.RemoveVariable(set.user, "TAVREL_TEST_PLAIN"), 1);
    EXPECT_FALSE(testing::ReadRaw(set.root, set.key, "TAVREL_TEST_PLAIN"));
    EXPECT_EQ(store.RemoveVariable(set.user, "TAVREL_TEST_PLAIN"), 0);
    EXPECT_EQ(store.CountVariables(set.user), count - 1);
  }
}

TEST_F(EnvironmentStoreWineTest, ProcessFallbackAndProcessFacts) {
  ::SetEnvironmentVariableA("TAVREL_PROCESS_ONLY", "from the process");
  EXPECT_EQ(store.GetVariable(std::nullopt, "TAVREL_PROCESS_ONLY"), "from the process");
  EXPECT_EQ(store.ReadStoredVariable(std::nullopt, "TAVREL_PROCESS_ONLY"), std::nullopt);
  ::SetEnvironmentVariableA("TAVREL_PROCESS_ONLY", nullptr);

  char comspec[MAX_PATH] = {};
  ::GetEnvironmentVariableA("COMSPEC", comspec, MAX_PATH);
  EXPECT_EQ(store.CommandInterpreter(), comspec);
  char directory[MAX_PATH] = {};
  ::GetCurrentDirectoryA(MAX_PATH, directory);
  EXPECT_EQ(store.CurrentDirectory(), directory);
  char module[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, module, MAX_PATH);
  EXPECT_EQ(store.ProgramPath(1), module);
  EXPECT_EQ(store.ProgramPath(0), "tavrel_win32_tests.exe");
}

}  // namespace
}  // namespace tavrel::registry

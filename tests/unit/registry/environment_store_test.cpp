#include "registry/environment_store.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#include "runtime/system.h"
#include "runtime/text.h"
#include "tests/support/recording_broadcast.h"
#include "tests/support/scoped_registry.h"

namespace tavrel::registry {
namespace {

// These tests reach only the registry-backed sets: on the host they are all
// there is. Under Windows the shell object may serve the calls instead, so
// the suite runs there only where the result is the same either way.
#ifdef _WIN32
#define HOST_ONLY() GTEST_SKIP() << "the stored sets of the real registry are tested in the Windows suite"
#else
#define HOST_ONLY() (void)0
#endif

constexpr const char* kSystemKey = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr std::uint32_t kHklm = kHkeyLocalMachine;
constexpr std::uint32_t kHkcu = kHkeyCurrentUser;

void SetProcessVariable(const char* name, const char* value) {
#ifdef _WIN32
  ::_putenv_s(name, value ? value : "");  // an empty value removes the variable
#else
  if (value)
    ::setenv(name, value, 1);
  else
    ::unsetenv(name);
#endif
}

class CountingEvents final : public MessageHost {
 public:
  std::int32_t MessageBox(const Text&, std::uint32_t, const Text&, WindowHandle) override { return 1; }
  void ProcessEvents() override { ++count; }
  int count = 0;

 private:
  ScopedSeam<g_messageHostSeam> installed_{*this};
};

class EnvironmentStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HOST_ONLY();
    reg.AddKey(kHklm, kSystemKey);
  }
  testing::ScopedRegistry scope;
  MemoryRegistry& reg = scope.registry;
  testing::RecordingBroadcast broadcast;
  EnvironmentStore store;
};

TEST_F(EnvironmentStoreTest, WritesKeepOrMakeTheExpandableType) {
  reg.SetText(kHklm, kSystemKey, "Path", "%SystemRoot%\\system32", regtype::kExpandSz);
  reg.SetText(kHklm, kSystemKey, "TEMP", "%SystemRoot%\\TEMP", regtype::kExpandSz);
  reg.SetText(kHklm, kSystemKey, "OS", "Windows_NT", regtype::kSz);
  struct Row {
    std::optional<Logical> user;
    const char* name;
    const char* value;
    std::uint32_t root;
    const char* key;
    const char* storedName;
    std::uint32_t type;
  };
  const Row rows[] = {
      {std::nullopt, "JAVA_HOME", "C:\\jdk", kHklm, kSystemKey, "JAVA_HOME", regtype::kSz},
      {0, "CLASSPATH", ".;%JAVA_HOME%\\lib\\dt.jar", kHklm, kSystemKey, "CLASSPATH", regtype::kExpandSz},
      {0, "path", "C:\\no\\references", kHklm, kSystemKey, "Path", regtype::kExpandSz},  // existing type kept
      {0, "TEMP", "C:\\temp", kHklm, kSystemKey, "TEMP", regtype::kExpandSz},
      {0, "OS", "%OS%x", kHklm, kSystemKey, "OS", regtype::kExpandSz},
      {1, "EDITOR", "notepad", kHkcu, "Environment", "EDITOR", regtype::kSz},  // the user's key is created
  };
  for (const auto& r : rows) {
    EXPECT_EQ(store.SetVariable(r.user, r.name, r.value), 1) << r.name;
    auto stored = reg.Value(r.root, r.key, r.name);
    ASSERT_TRUE(stored) << r.name;
    EXPECT_EQ(stored->type, r.type) << r.name;
    Text withZero = Text(r.value) + '\0';
    EXPECT_EQ(stored->data, ByteSet(withZero.begin(), withZero.end())) << r.name;
  }
  // One announcement for all the changes, however many there were.
  EXPECT_EQ(broadcast.count, 0);
  store.AnnounceChanges();
  store.AnnounceChanges();
  EXPECT_EQ(broadcast.count, 1);
  EXPECT_EQ(reg.TextValue(kHklm, kSystemKey, "path"), "C:\\no\\references");
  EXPECT_FALSE(reg.Value(kHkcu, "Environment", "JAVA_HOME")) << "left out means the system set";
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(EnvironmentStoreTest, ReadsTheStoredTextWholeAndUnexpanded) {
  Text longPath;
  while (longPath.size() < 5000) longPath += "%SystemRoot%\\system32;C:\\Tools\\bin;";
  reg.SetVariableForExpansion("SystemRoot", "C:\\windows");
  reg.SetText(kHklm, kSystemKey, "Path", longPath, regtype::kExpandSz);
  reg.SetText(kHklm, kSystemKey, "Blank", "", regtype::kSz);
  reg.SetValue(kHklm, kSystemKey, "Number", regtype::kDword, {1, 0, 0, 0});
  reg.SetText(kHkcu, "Environment", "TEMP", "%USERPROFILE%\\Temp", regtype::kExpandSz);
  SetProcessVariable("TAVREL_ONLY_IN_PROCESS", "from the process");
  SetProcessVariable("Blank", "process blank");
  SetProcessVariable("Number", nullptr);

  struct Row {
    std::optional<Logical> user;
    const char* name;
    Text get;
    std::optional<Text> stored;
  };
  const Row rows[] = {
      {std::nullopt, "PATH", longPath, longPath},
      {0, "TAVREL_ONLY_IN_PROCESS", "from the process", std::nullopt},
      {0, "Blank", "process blank", Text()},  // an empty stored text falls back
      {0, "Number", "", std::nullopt},        // not a text value
      {1, "TEMP", "%USERPROFILE%\\Temp", Text("%USERPROFILE%\\Temp")},
      {1, "Path", "", std::nullopt},  // names of the host's process are case-sensitive
  };
  for (const auto& r : rows) {
    EXPECT_EQ(store.GetVariable(r.user, r.name), r.get) << r.name;
    EXPECT_EQ(store.ReadStoredVariable(r.user, r.name), r.stored) << r.name;
  }
  EXPECT_EQ(broadcast.count, 0) << "reads announce nothing";
  SetProcessVariable("TAVREL_ONLY_IN_PROCESS", nullptr);
  SetProcessVariable("Blank", nullptr);
}

TEST_F(EnvironmentStoreTest, FailuresWriteNothingAndAnnounceNothing) {
  reg.SetText(kHklm, kSystemKey, "Path", "C:\\a", regtype::kExpandSz);
  reg.SetReadOnly(kHklm, kSystemKey);
  EXPECT_EQ(store.SetVariable(0, "JAVA_HOME", "C:\\jdk"), 0);
  EXPECT_EQ(store.RemoveVariable(0, "Path"), 0);
  EXPECT_EQ(store.GetVariable(0, "Path"), "C:\\a") << "reading needs no write rights";
  EXPECT_FALSE(reg.Value(kHklm, kSystemKey, "JAVA_HOME"));
  EXPECT_TRUE(reg.Value(kHklm, kSystemKey, "Path"));
  EXPECT_EQ(broadcast.count, 0);

  reg.RemoveKeyTree(kHklm, kSystemKey);
  Array<Text> list;
  EXPECT_EQ(store.SetVariable(0, "JAVA_HOME", "C:\\jdk"), 0) << "the system set is never created";
  EXPECT_EQ(store.CountVariables(0), -1);
  EXPECT_EQ(store.ListVariables(0, list), -1);
  EXPECT_EQ(store.ReadStoredVariable(0, "Path"), std::nullopt);
  EXPECT_EQ(reg.OpenHandleCount(), 0u);
}

TEST_F(EnvironmentStoreTest, RemoveCountAndList) {
  reg.SetText(kHklm, kSystemKey, "Path", "%SystemRoot%", regtype::kExpandSz);
  reg.SetText(kHklm, kSystemKey, "OS", "Windows_NT");
  reg.SetValue(kHklm, kSystemKey, "Number", regtype::kDword, {1, 0, 0, 0});
  EXPECT_EQ(store.CountVariables(std::nullopt), 2) << "text values only";
  EXPECT_EQ(store.CountVariables(1), 0) << "a user without an Environment key has no variables";

  CountingEvents events;
  Array<Text> list({"kept"});
  EXPECT_EQ(store.ListVariables(0, list), 3) << "the list is not emptied first";
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list[2], "OS=Windows_NT");
  EXPECT_EQ(list[3], "Path=%SystemRoot%");
  EXPECT_EQ(events.count, 2) << "window messages flow between the variables";
  EXPECT_EQ(store.ListVariables(0, list), 5) << "a second listing adds to the first";

  EXPECT_EQ(store.RemoveVariable(0, "os"), 1);
  EXPECT_EQ(store.RemoveVariable(0, "OS"), 0) << "nothing left to remove";
  EXPECT_EQ(store.CountVariables(0), 1);
  {
    EnvironmentStore other;
    EXPECT_EQ(other.RemoveVariable(0, "Path"), 1);
  }
  EXPECT_EQ(broadcast.count, 1) << "a store that goes announces what it changed";
}

// Each set's backend opens at its first use and serves every later call of
// the same store: opening one may build a shell object.
TEST_F(EnvironmentStoreTest, EachSetOpensOncePerStore) {
  std::array<int, 2> opens{};
  EnvironmentStore counted([&opens](bool user) {
    ++opens[user ? 1 : 0];
    return OpenStoredEnvironment(user);
  });
  EXPECT_EQ(opens, (std::array<int, 2>{0, 0})) << "nothing opens before a call needs it";
  Array<Text> list;
  for (std::optional<Logical> user : {std::optional<Logical>(), std::optional<Logical>(0), std::optional<Logical>(1)}) {
    counted.SetVariable(user, "JAVA_HOME", "C:\\jdk");
    counted.GetVariable(user, "JAVA_HOME");
    counted.CountVariables(user);
    counted.ListVariables(user, list);
    counted.RemoveVariable(user, "JAVA_HOME");
  }
  EXPECT_EQ(opens, (std::array<int, 2>{1, 1}));
}

// The key's default value (an empty name) and a name with "=" are no
// variables: refused, nothing written or removed.
TEST_F(EnvironmentStoreTest, NamesTheEnvironmentCannotTakeAreRefused) {
  reg.SetText(kHklm, kSystemKey, "", "default value");
  reg.SetText(kHklm, kSystemKey, "A=B", "odd");
  for (const char* name : {"", "A=B", "=C", "D="}) {
    EXPECT_EQ(store.SetVariable(0, name, "x"), 0) << name;
    EXPECT_EQ(store.RemoveVariable(0, name), 0) << name;
  }
  EXPECT_EQ(reg.TextValue(kHklm, kSystemKey, ""), "default value");
  EXPECT_EQ(reg.TextValue(kHklm, kSystemKey, "A=B"), "odd");
  EXPECT_FALSE(reg.Value(kHklm, kSystemKey, "=C"));
  store.AnnounceChanges();
  EXPECT_EQ(broadcast.count, 0);
}

TEST(EnvironmentStoreProcess, ProgramPathAndCommandInterpreter) {
  EnvironmentStore store;
#ifdef _WIN32
  const Text file = "tavrel_unit_tests.exe";
  const char separator = '\\';
#else
  const Text file = "tavrel_unit_tests";
  const char separator = '/';
  SetProcessVariable("COMSPEC", "C:\\windows\\system32\\cmd.exe");
#endif
  EXPECT_EQ(store.ProgramPath(std::nullopt), file);
  EXPECT_EQ(store.ProgramPath(0), file);
  Text full = store.ProgramPath(1);
  ASSERT_GT(full.size(), file.size());
  EXPECT_EQ(full.substr(full.size() - file.size() - 1), separator + file);
  Text comspec = store.CommandInterpreter();
  EXPECT_EQ(ToLower(comspec.substr(comspec.size() >= 7 ? comspec.size() - 7 : 0)), "cmd.exe");
  EXPECT_FALSE(store.CurrentDirectory().empty());

  Array<Text> list({"stale"});
  std::int32_t count = store.CommandLineArguments(list);
  EXPECT_EQ(count, list.Count());
  for (const Text& argument : list) EXPECT_EQ(argument.find("tavrel_unit_tests"), Text::npos) << argument;
}

}  // namespace
}  // namespace tavrel::registry

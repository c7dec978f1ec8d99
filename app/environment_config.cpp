// One-click configuration: JAVA_HOME, CLASSPATH and the JDK's folders in the
// system path, for the two releases the program knows.
#include "app/handlers.h"
#include "app/main_window_ids.h"
#include "registry/environment_store.h"
#include "registry/registry_access.h"
#include "runtime/controls.h"
#include "runtime/convert.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace tavrel::app {
namespace {

constexpr const char* kClassPath = ".;%JAVA_HOME%\\lib\\dt.jar;%JAVA_HOME%\\lib\\tools.jar";
constexpr const char* kJdkPathEntries[] = {"%JAVA_HOME%\\bin", "%JAVA_HOME%\\jre\\bin"};

Text ReleaseCaption() { return GetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption).AsText(); }

// How path entries compare: without ASCII case and a trailing backslash.
Text EntryKey(TextView entry) {
  Text key = ToLower(entry);
  // Only a backslash that is a character of its own, not a trail byte.
  if (!key.empty() && FindTextLast(key, "\\") == static_cast<std::int32_t>(key.size())) key.pop_back();
  return key;
}

// The stored path with the JDK's entries that it lacks appended, so that
// clicking again does not grow it.
Text WithJdkEntries(const Text& path) {
  Array<Text> entries = SplitText(path, ";");
  Text result = path;
  for (const char* wanted : kJdkPathEntries) {
    bool present = false;
    for (const Text& entry : entries) present = present || EntryKey(entry) == EntryKey(wanted);
    if (!present) result += Text(";") + wanted;
  }
  return result;
}

void Report(bool configured) {
  if (configured)
    ShowMessageBox("JDK环境变量配置成功", mbflag::kIconInformation);
  else
    ShowMessageBox("JDK环境变量配置失败", mbflag::kIconError);
}

}  // namespace

void ConfigureEnvironment() {
  registry::RegistryAccess access;
  registry::RegistryValue record;
  registry::EnvironmentStore store;

  const char* key = nullptr;
  if (CompareText(ReleaseCaption(), "1.8") == 0)
    key = "SOFTWARE\\JavaSoft\\Java Development Kit\\1.8";
  else if (CompareText(ReleaseCaption(), "11.0.9") == 0)
    key = "SOFTWARE\\JavaSoft\\JDK\\11.0.9";
  else
    return;

  access.OpenKey(kHkeyLocalMachine, key);
  Text javaHome;
  if (access.ReadValue(kHkeyLocalMachine, key, "JavaHome", record) == 0) javaHome = ToText(record.data);

  // Nothing is written without both the JDK's folder and the system path as
  // stored (unexpanded and whole): a path rebuilt from anything else, such
  // as this process's own PATH, would replace the machine's real one.
  std::optional<Text> systemPath = store.ReadStoredVariable(0, "path");
  if (javaHome.empty() || !systemPath) {
    Report(false);
    return;
  }
  // path refers to JAVA_HOME, so it is changed only after that succeeded.
  bool configured = store.SetVariable(0, "JAVA_HOME", javaHome) && store.SetVariable(0, "CLASSPATH", kClassPath) &&
                    store.SetVariable(0, "path", WithJdkEntries(*systemPath));
  // Once for all three, before the message: running programs need not wait
  // for the user.
  store.AnnounceChanges();
  Report(configured);
}

}  // namespace tavrel::app

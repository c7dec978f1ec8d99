// One-click configuration: JAVA_HOME, CLASSPATH and the JDK's folders in the
// system path, or in the user's own when the system set cannot be written
// and the user agrees.
#include "app/handlers.h"
#include "app/jdk_locations.h"
#include "app/main_window_ids.h"
#include "registry/environment_store.h"
#include "runtime/controls.h"
#include "runtime/convert.h"
#include "runtime/system.h"
#include "runtime/text.h"

namespace tavrel::app {
namespace {

constexpr const char* kClassPath = ".;%JAVA_HOME%\\lib\\dt.jar;%JAVA_HOME%\\lib\\tools.jar";
constexpr const char* kJdkPathEntries[] = {"%JAVA_HOME%\\bin", "%JAVA_HOME%\\jre\\bin"};
constexpr const char* kAskForUserSet = "无法写入系统环境变量（需要管理员权限），是否改为当前用户配置？";

Text ReleaseCaption() { return GetControlProperty(kMainWindow, ctl::kJavaVersion, prop::kLabelCaption).AsText(); }

// How path entries compare: without ASCII case and a trailing backslash.
Text EntryKey(TextView entry) {
  Text key = ToLower(entry);
  // Only a backslash that is a character of its own, not a trail byte.
  if (!key.empty() && FindTextLast(key, "\\") == static_cast<std::int32_t>(key.size())) key.pop_back();
  return key;
}

// The stored path with the JDK's entries that it lacks appended, so that
// clicking again does not grow it. A path never stored (a user's own often
// is not) gets the entries alone.
Text WithJdkEntries(const std::optional<Text>& path) {
  Array<Text> entries = path ? SplitText(*path, ";") : Array<Text>();
  Text result = path.value_or(Text());
  for (const char* wanted : kJdkPathEntries) {
    bool present = false;
    for (const Text& entry : entries) present = present || EntryKey(entry) == EntryKey(wanted);
    if (present) continue;
    if (path || !result.empty()) result += ";";
    result += wanted;
  }
  return result;
}

enum class Outcome { kSystemSet, kUserSet, kFailed };

void Report(Outcome outcome) {
  switch (outcome) {
    case Outcome::kSystemSet: ShowMessageBox("JDK环境变量配置成功", mbflag::kIconInformation); break;
    case Outcome::kUserSet: ShowMessageBox("JDK环境变量配置成功（当前用户）", mbflag::kIconInformation); break;
    case Outcome::kFailed: ShowMessageBox("JDK环境变量配置失败", mbflag::kIconError); break;
  }
}

// Which set to write: the system's when it can be written, else the user's
// own if the user agrees; nothing when he does not.
std::optional<bool> ChooseUserSet(registry::EnvironmentStore& store) {
  if (store.CanWrite(false)) return false;
  if (ShowMessageBox(kAskForUserSet, mbflag::kYesNo | mbflag::kIconQuestion) != mbanswer::kYes) return std::nullopt;
  return true;
}

}  // namespace

void ConfigureEnvironment() {
  registry::EnvironmentStore store;
  const Text javaHome = JdkHomeOfRelease(ReleaseCaption());
  if (javaHome.empty()) {
    Report(Outcome::kFailed);
    return;
  }
  // Decided before the first write, so that no set is left with a path
  // that refers to a JAVA_HOME it never got.
  const std::optional<bool> user = ChooseUserSet(store);
  if (!user) {
    Report(Outcome::kFailed);
    return;
  }
  const char* pathName = *user ? "Path" : "path";
  // Nothing is written without the path as stored (unexpanded and whole): a
  // path rebuilt from anything else, such as this process's own PATH, would
  // replace the real one. Only the system's always exists.
  std::optional<Text> storedPath = store.ReadStoredVariable(*user, pathName);
  if (!storedPath && !*user) {
    Report(Outcome::kFailed);
    return;
  }
  // path refers to JAVA_HOME, so it is changed only after that succeeded.
  bool configured = store.SetVariable(*user, "JAVA_HOME", javaHome) &&
                    store.SetVariable(*user, "CLASSPATH", kClassPath) &&
                    store.SetVariable(*user, pathName, WithJdkEntries(storedPath));
  // Once for all three, before the message: running programs need not wait
  // for the user.
  store.AnnounceChanges();
  Report(!configured ? Outcome::kFailed : *user ? Outcome::kUserSet : Outcome::kSystemSet);
}

}  // namespace tavrel::app

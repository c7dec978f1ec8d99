#include "runtime/system.h"

#include <atomic>

#include "runtime/registry_api.h"

namespace tavrel {
namespace {
std::atomic<ShellHost*> g_shell{nullptr};
std::atomic<MessageHost*> g_messages{nullptr};
std::atomic<RegistryApi*> g_registry{nullptr};
}  // namespace

ShellHost& CurrentShellHost() {
  ShellHost* h = g_shell.load();
  return h ? *h : platform::DefaultShellHost();
}
MessageHost& CurrentMessageHost() {
  MessageHost* h = g_messages.load();
  return h ? *h : platform::DefaultMessageHost();
}
RegistryApi& CurrentRegistryApi() {
  RegistryApi* r = g_registry.load();
  return r ? *r : platform::DefaultRegistryApi();
}
void InstallShellHost(ShellHost* host) { g_shell.store(host); }
void InstallMessageHost(MessageHost* host) { g_messages.store(host); }
void InstallRegistryApi(RegistryApi* api) { g_registry.store(api); }

Text RunDirectory() { return CurrentShellHost().ExecutableDirectory(); }

std::int32_t ShowCommandOfWindowMode(std::optional<std::int32_t> windowMode) {
  // SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE (minimised,
  // the next window activated)
  static constexpr std::int32_t kShow[] = {0, 1, 2, 3, 4, 6};
  std::int32_t mode = windowMode.value_or(2);
  if (mode < 1) mode = 1;
  if (mode > 6) mode = 6;
  return kShow[mode - 1];
}

Logical RunProgram(TextView commandLine, std::optional<Logical> wait, std::optional<std::int32_t> windowMode) {
  return CurrentShellHost().StartProcess(Text(commandLine), ShowCommandOfWindowMode(windowMode),
                                         wait.value_or(0) != 0)
             ? 1
             : 0;
}

void OpenWebPage(TextView address) { CurrentShellHost().OpenWithShell(Text(address)); }

std::uint32_t EffectiveMessageBoxFlags(std::uint32_t flags) {
  return (flags & mbflag::kSystemModal) ? flags : (flags | mbflag::kTaskModal);
}

std::int32_t ButtonNumberOfId(std::int32_t id) {
  // IDOK 1, IDCANCEL 2, IDABORT 3, IDRETRY 4, IDIGNORE 5, IDYES 6, IDNO 7
  return (id >= 1 && id <= 7) ? id - 1 : -1;
}

std::int32_t ShowMessageBox(TextView message, std::uint32_t flags, std::optional<TextView> title,
                            std::optional<WindowHandle> owner) {
  Text shownTitle = title ? Text(*title) : Text("信息：");
  std::int32_t id =
      CurrentMessageHost().MessageBox(Text(message), EffectiveMessageBoxFlags(flags), shownTitle, owner.value_or(0));
  return ButtonNumberOfId(id);
}

void ProcessEvents() { CurrentMessageHost().ProcessEvents(); }

}  // namespace tavrel

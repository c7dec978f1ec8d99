#include "runtime/system.h"

namespace tavrel {

Text RunDirectory() { return g_shellHostSeam.Current().ExecutableDirectory(); }

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
  return g_shellHostSeam.Current().StartProcess(Text(commandLine), ShowCommandOfWindowMode(windowMode),
                                                wait.value_or(0) != 0)
             ? 1
             : 0;
}

void OpenWebPage(TextView address) { g_shellHostSeam.Current().OpenWithShell(Text(address)); }

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
  std::int32_t id = g_messageHostSeam.Current().MessageBox(Text(message), EffectiveMessageBoxFlags(flags), shownTitle,
                                                           owner.value_or(0));
  return ButtonNumberOfId(id);
}

void ProcessEvents() { g_messageHostSeam.Current().ProcessEvents(); }

}  // namespace tavrel

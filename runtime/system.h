// System services: the program's directory, processes, the shell, message
// boxes, the message queue and registry texts. Each reaches the platform
// through a seam (ShellHost, UiHost, RegistryApi) so handlers run in host tests.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/seam.h"
#include "runtime/value.h"

namespace tavrel {

using WindowHandle = std::uintptr_t;  // an HWND, 0 for none

// Directory of the program's executable, without a trailing backslash.
Text RunDirectory();

// Starts the command line as given. Window modes: 1 hidden, 2 normal,
// 3 minimised and active, 4 maximised, 5 normal without activation,
// 6 minimised with the next window activated (clamped to 1..6).
// wait: block until the process ends; otherwise wait at most 1000 ms for it
// to become idle. False when the process could not be started.
Logical RunProgram(TextView commandLine, std::optional<Logical> wait = std::nullopt,
                   std::optional<std::int32_t> windowMode = std::nullopt);

void OpenWebPage(TextView address);

// Message-box flags (the platform's MB_ values) the program passes.
namespace mbflag {
inline constexpr std::uint32_t kYesNo = 0x4;             // MB_YESNO
inline constexpr std::uint32_t kIconError = 0x10;        // MB_ICONERROR
inline constexpr std::uint32_t kIconQuestion = 0x20;     // MB_ICONQUESTION
inline constexpr std::uint32_t kIconWarning = 0x30;      // MB_ICONWARNING
inline constexpr std::uint32_t kIconInformation = 0x40;  // MB_ICONINFORMATION
inline constexpr std::uint32_t kSystemModal = 0x1000;    // MB_SYSTEMMODAL
inline constexpr std::uint32_t kTaskModal = 0x2000;      // MB_TASKMODAL
}  // namespace mbflag

// Buttons returned: OK 0, Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6.
namespace mbanswer {
inline constexpr std::int32_t kOk = 0, kCancel = 1, kAbort = 2, kRetry = 3, kIgnore = 4, kYes = 5, kNo = 6;
}  // namespace mbanswer

// Adds the task-modal bit unless the system-modal bit is set.
std::int32_t ShowMessageBox(TextView message, std::uint32_t flags, std::optional<TextView> title = std::nullopt,
                            std::optional<WindowHandle> owner = std::nullopt);

void ProcessEvents();

// The roots ReadRegistryText reads under; any other code reads HKCU.
namespace rootcode {
inline constexpr std::int32_t kClassesRoot = 1, kCurrentConfig = 2, kCurrentUser = 3, kLocalMachine = 4, kUsers = 5;
}  // namespace rootcode

// The part after the last backslash of the path is the value name.
Text ReadRegistryText(std::int32_t rootCode, TextView path, std::optional<TextView> defaultText = std::nullopt);

// The Windows "SW_" value of a RunProgram window mode.
std::int32_t ShowCommandOfWindowMode(std::optional<std::int32_t> windowMode);
// The button number ShowMessageBox returns for a platform button id
// (IDOK 1 .. IDNO 7); -1 for anything else.
std::int32_t ButtonNumberOfId(std::int32_t id);
// Flags actually passed to the platform: task-modal added unless system-modal.
std::uint32_t EffectiveMessageBoxFlags(std::uint32_t flags);

// The platform behind the process and shell services.
class ShellHost {
 public:
  virtual ~ShellHost() = default;
  virtual Text ExecutableDirectory() = 0;
  // showCommand is a Windows SW_ value.
  virtual bool StartProcess(const Text& commandLine, std::int32_t showCommand, bool wait) = 0;
  virtual void OpenWithShell(const Text& address) = 0;
};

// The platform behind message boxes and the message queue; the real window
// system or the headless window model.
class MessageHost {
 public:
  virtual ~MessageHost() = default;
  // Returns the platform button id (IDOK = 1 ...), flags already effective.
  virtual std::int32_t MessageBox(const Text& message, std::uint32_t flags, const Text& title, WindowHandle owner) = 0;
  virtual void ProcessEvents() = 0;
};

namespace platform {
ShellHost& DefaultShellHost();
MessageHost& DefaultMessageHost();
}  // namespace platform
// The hosts in use. Start-up (or a test) installs them; the platform's
// default is used until then.
inline constinit Seam<ShellHost> g_shellHostSeam{&platform::DefaultShellHost};
inline constinit Seam<MessageHost> g_messageHostSeam{&platform::DefaultMessageHost};

}  // namespace tavrel

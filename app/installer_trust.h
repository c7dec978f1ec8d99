// Starting a downloaded installer only when it is genuine. The file arrives
// over plain HTTP and Tavrel runs with administrator rights, so whatever
// arrived must prove, by its Authenticode signature, that the expected
// signer made it before it may run.
#pragma once

#include <cstdint>

#include "runtime/system.h"
#include "runtime/value.h"

namespace tavrel::app {

// What the check found out about one file.
enum class InstallerVerdict {
  Genuine,            // every check passed
  Missing,            // there is no such file
  Busy,               // someone still has it open for writing (the download
                      // closing it): not checked yet, nothing done
  Unreadable,         // it exists but cannot be held for reading
  Unsigned,           // no signature, or bytes after it
  BadSignature,       // a signature that does not match the file's bytes
  UntrustedChain,     // not valid now under a trusted root
  NotForCodeSigning,  // the signer's certificate is not meant for code
  WrongSigner,        // organisation or common name differ from the expected
  CannotVerify,       // this platform has no way to check a signature
};

enum class InstallerCheck {
  Started,     // genuine, and its process is running
  Refused,     // not genuine: not started, removed, the user told
  NotStarted,  // genuine, but the process could not be created (not reported)
  Missing,     // no file to check (not reported, as a missing program never was)
  Busy,        // still open for writing elsewhere; nothing done, ask again later
};

// What the user is told when an installer is refused (an error icon, the default title).
inline constexpr char kInstallerRefusedMessage[] = "安装程序签名校验失败，未启动";
inline constexpr std::uint32_t kInstallerRefusedFlags = mbflag::kIconError;

// Checks the installer at path (a full path in the system's code page) and
// starts it when, and only when, it is genuine: signed by InstallerSigner()
// of the build's settings. The file is held open for
// reading, shared for reading only, from before the check until its process
// has been created, so it cannot be replaced in between. A refused file is
// deleted and this routine shows kInstallerRefusedMessage itself; stopping
// the progress timer is the caller's. The process is not waited for beyond
// becoming idle (at most a second), as RunProgram does.
// Busy comes back while the file is still open for writing, as it is for a
// moment after the last bytes of a download have been counted; the progress
// timer then simply asks again on its next tick.
InstallerCheck StartVerifiedInstaller(const Text& path);
// The same against another expected signer, a GBK text compared exactly with
// the certificate's O and CN (an empty expected signer matches nothing).
InstallerCheck StartVerifiedInstaller(const Text& path, TextView expectedSigner);

namespace platform {

struct InstallerLaunch {
  InstallerVerdict verdict;
  bool started;  // only ever true for a genuine file
};

// Holds, checks and, when genuine, starts the file; removes nothing and
// shows nothing.
InstallerLaunch VerifyAndStartInstaller(const Text& path, TextView expectedSigner);

}  // namespace platform
}  // namespace tavrel::app

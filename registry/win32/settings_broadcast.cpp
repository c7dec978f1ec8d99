#include "registry/stored_environment.h"
#include "runtime/win32/handles.h"

namespace tavrel::registry::platform {
namespace {

// Each top-level window gets at most a second and a hung one none; the
// program waits for the whole broadcast at most three seconds and leaves
// what is left of it to its own thread.
constexpr UINT kPerWindowMs = 1000;
constexpr DWORD kTotalWaitMs = 3000;

DWORD WINAPI Broadcast(void*) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG,
                        kPerWindowMs, &result);
  return 0;
}

class EnvironmentBroadcast final : public SettingsBroadcast {
 public:
  void EnvironmentChanged() override {
    const win32::UniqueKernelHandle owner(::CreateThread(nullptr, 0, &Broadcast, nullptr, 0, nullptr));
    if (!owner) return;
    HANDLE thread = owner.Get();
    // The broadcast reaches this thread's windows too: messages sent to
    // them are answered while waiting.
    const DWORD start = ::GetTickCount();
    for (DWORD waited = 0; waited < kTotalWaitMs; waited = ::GetTickCount() - start) {
      DWORD woken = ::MsgWaitForMultipleObjects(1, &thread, FALSE, kTotalWaitMs - waited, QS_SENDMESSAGE);
      if (woken != WAIT_OBJECT_0 + 1) break;
      MSG msg;
      ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
};

}  // namespace

SettingsBroadcast& DefaultSettingsBroadcast() {
  static EnvironmentBroadcast broadcast;
  return broadcast;
}

}  // namespace tavrel::registry::platform

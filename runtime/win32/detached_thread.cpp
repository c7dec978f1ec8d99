// A system thread rather than a detached std::thread: with this toolchain's
// thread library a detached thread is now and then lost when threads start
// and end close together (it never runs its work), which left the update
// check waiting out its whole time with no request sent.
#include "runtime/detached_thread.h"

#include <memory>

#include "runtime/win32/handles.h"

namespace tavrel {
namespace {

DWORD WINAPI RunWork(void* parameter) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
  (*work)();
  return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> work) {
  auto owned = std::make_unique<std::function<void()>>(std::move(work));
  win32::UniqueKernelHandle thread(::CreateThread(nullptr, 0, RunWork, owned.get(), 0, nullptr));
  if (!thread) return false;
  owned.release();  // the thread owns it now
  return true;
}

}  // namespace tavrel

#include "runtime/startup.h"

#include <windows.h>
#include <ole2.h>

#include "runtime/system.h"

namespace tavrel {

void StartRuntime() {
  ::OleInitialize(nullptr);
  ::SetCurrentDirectoryA(RunDirectory().c_str());
}

}  // namespace tavrel

#include "runtime/startup.h"

#include <windows.h>
#include <ole2.h>

#include "runtime/system.h"

namespace tavrel {

void StartRuntime() {
  ::OleInitialize(nullptr);
  ::SetCurrentDirectoryA(StartDirectoryOf(RunDirectory()).c_str());
}

}  // namespace tavrel

#include "runtime/startup.h"

#include <unistd.h>

#include "runtime/system.h"

namespace tavrel {

void StartRuntime() {
  if (chdir(StartDirectoryOf(RunDirectory()).c_str()) != 0) {
    // The program keeps the directory it was started in.
  }
}

}  // namespace tavrel

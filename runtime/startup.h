// The runtime's start: COM for the user-interface thread and the program's
// directory as the current directory, before any routine of the program runs.
#pragma once

#include "runtime/value.h"

namespace tavrel {

void StartRuntime();

// The directory made current at start: the program's directory, a drive
// root given as "C:\\" ("C:" alone names that drive's current directory,
// wherever that is, not its root).
Text StartDirectoryOf(TextView runDirectory);

}  // namespace tavrel

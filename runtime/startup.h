// The runtime's start: COM for the user-interface thread and the program's
// directory as the current directory, before any routine of the program runs.
#pragma once

namespace tavrel {

void StartRuntime();

}  // namespace tavrel

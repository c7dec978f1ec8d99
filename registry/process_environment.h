// What the running process itself knows: its own environment, command line,
// current directory and executable.
#pragma once

#include <optional>
#include <vector>

#include "runtime/value.h"

namespace tavrel::registry::platform {

// The process's variable, whole; nothing when it is not set.
std::optional<Text> ProcessVariable(TextView name);
// The arguments after the program's own path, in code page 936.
std::vector<Text> CommandLineArguments();
Text CurrentDirectory();
// The full path of the program's executable file.
Text ProgramFile();

}  // namespace tavrel::registry::platform

// Whether the running Windows is a 64-bit system, whatever the bitness of
// the program itself.
#pragma once

#include "runtime/value.h"

namespace tavrel::sysinfo {

// True (1) when the system has a WOW64 layer: kernel32 exports
// GetSystemWow64DirectoryA and it reports a directory.
Logical IsSystem64Bit();

}  // namespace tavrel::sysinfo

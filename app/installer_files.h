// The download folder and the installer files in it, reached through the
// system's own file functions for texts in its code page (the paths come
// from RunDirectory), so that a folder named in any script works.
#pragma once

#include "runtime/value.h"

namespace tavrel::app::platform {

// True when the folder exists afterwards (made now or there already).
bool MakeFolder(const Text& path);
// True when no file of that name is left (removed now or never there).
bool RemoveFile(const Text& path);

}  // namespace tavrel::app::platform

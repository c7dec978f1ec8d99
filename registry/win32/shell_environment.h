// The environment sets through an Environment collection of WScript.Shell,
// or of anything that answers its members (Item, Remove, length, _NewEnum).
#pragma once

#include <memory>

#include "registry/stored_environment.h"
#include "runtime/win32/com.h"

namespace tavrel::registry {

// The collection serves the calls when it can report its size; otherwise the
// registry keys it keeps the sets in stand in. shell is kept for as long as
// the collection, whose object it is.
std::unique_ptr<StoredEnvironment> StoredEnvironmentOver(win32::ComObject shell, win32::ComObject collection,
                                                         bool user);

}  // namespace tavrel::registry

// Work on a thread of its own that nobody waits for: a request or a name
// lookup that its caller may give up on and leave to end when it ends.
#pragma once

#include <functional>

namespace tavrel {

// False when no thread could be started; the work is then not done.
bool StartDetachedThread(std::function<void()> work);

}  // namespace tavrel

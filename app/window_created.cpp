// Window-created sequence; filled in with the update check. Not built yet: the handlers do nothing.
#include "app/handlers.h"

namespace tavrel::app {

void WindowCreated() {}
void FillSystemInfo() {}

}  // namespace tavrel::app

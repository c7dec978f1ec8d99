// Installed-JDK detection. Not built yet: the handlers do nothing.
#include "app/handlers.h"

namespace tavrel::app {

void DetectInstalledJdk() {}
void RefreshOrConfigure() {}

}  // namespace tavrel::app

// One-click environment configuration. Not built yet: the handlers do nothing.
#include "app/handlers.h"

namespace tavrel::app {

void ConfigureEnvironment() {}

}  // namespace tavrel::app

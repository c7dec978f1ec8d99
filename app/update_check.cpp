// Update check and web-site link. Not built yet: the handlers do nothing.
#include "app/handlers.h"

namespace tavrel::app {

void CheckForUpdate() {}
void OpenSiteClicked() {}

}  // namespace tavrel::app

// JDK installer download. Not built yet: the handlers do nothing.
#include "app/handlers.h"

namespace tavrel::app {

void DownloadClicked() {}
void ProgressTick() {}
void CreateProgramState() {}

}  // namespace tavrel::app

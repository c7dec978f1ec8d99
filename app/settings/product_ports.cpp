#include "app/settings.h"

namespace tavrel::app {

std::uint16_t DownloadPort() { return kDownloadPort; }
std::uint16_t UpdatePort() { return kUpdatePort; }

}  // namespace tavrel::app

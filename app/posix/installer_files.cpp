#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/installer_files.h"

namespace tavrel::app::platform {

bool MakeFolder(const Text& path) { return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

bool RemoveFile(const Text& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

}  // namespace tavrel::app::platform

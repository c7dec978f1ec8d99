#include <windows.h>

#include "app/installer_files.h"

namespace tavrel::app::platform {

bool MakeFolder(const Text& path) {
  return ::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool RemoveFile(const Text& path) { return ::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; }

}  // namespace tavrel::app::platform

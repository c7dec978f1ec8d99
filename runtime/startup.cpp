#include "runtime/startup.h"

namespace tavrel {

Text StartDirectoryOf(TextView runDirectory) {
  Text directory(runDirectory);
  if (directory.size() == 2 && directory[1] == ':') directory += '\\';
  return directory;
}

}  // namespace tavrel

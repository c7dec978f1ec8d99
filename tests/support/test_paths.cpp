#include "tests/support/test_paths.h"

namespace tavrel::testing {

std::string SourceDir() { return TAVREL_SOURCE_DIR; }
std::string BinaryDir() { return TAVREL_BINARY_DIR; }

std::string TestProgram(const std::string& name) {
#ifdef _WIN32
  // Under Wine the build tree is reached through the Z: drive.
  std::string path = "Z:" TAVREL_BINARY_DIR "/tests/programs/" + name + ".exe";
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
#else
  return std::string(TAVREL_BINARY_DIR) + "/tests/programs/" + name;
#endif
}

}  // namespace tavrel::testing

#include "registry/process_environment.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tavrel::registry::platform {

std::optional<Text> ProcessVariable(TextView name) {
  const char* value = std::getenv(Text(name).c_str());
  if (!value) return std::nullopt;
  return Text(value);
}

std::vector<Text> CommandLineArguments() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  Text all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<Text> arguments;
  std::size_t start = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i] != '\0') continue;
    arguments.emplace_back(all, start, i - start);
    start = i + 1;
  }
  if (!arguments.empty()) arguments.erase(arguments.begin());
  return arguments;
}

Text CurrentDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? Text(buffer) : Text();
}

Text ProgramFile() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  return n > 0 ? Text(buffer, static_cast<std::size_t>(n)) : Text();
}

}  // namespace tavrel::registry::platform

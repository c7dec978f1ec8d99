// Without Windows there is no shell object: the registry-backed sets serve
// every call.
#include "registry/stored_environment.h"

namespace tavrel::registry {

std::unique_ptr<StoredEnvironment> OpenStoredEnvironment(bool user) {
  return std::make_unique<RegistryEnvironment>(user);
}

}  // namespace tavrel::registry

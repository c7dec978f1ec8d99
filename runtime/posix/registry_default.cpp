// Without a Windows registry the host build starts from an empty in-memory
// one, set up as a 64-bit system seen by the 32-bit program.
#include "runtime/memory_registry.h"

namespace tavrel::platform {

RegistryApi& DefaultRegistryApi() {
  static MemoryRegistry registry;
  return registry;
}

}  // namespace tavrel::platform

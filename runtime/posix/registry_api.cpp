// Without a Windows registry the host build starts from an empty in-memory
// one. It stands for a 32-bit system, as the host's system facts report no
// WOW64 layer.
#include "runtime/memory_registry.h"

namespace tavrel::platform {

RegistryApi& DefaultRegistryApi() {
  static MemoryRegistry registry(MemoryRegistry::Options{.system64 = false, .process64 = false});
  return registry;
}

}  // namespace tavrel::platform

// A fresh in-memory registry installed as the program's registry for one test.
#pragma once

#include "runtime/memory_registry.h"

namespace tavrel::testing {

struct ScopedRegistry {
  explicit ScopedRegistry(MemoryRegistry::Options options = {}) : registry(options) {}

  MemoryRegistry registry;
  ScopedSeam<g_registrySeam> installed{registry};
};

}  // namespace tavrel::testing

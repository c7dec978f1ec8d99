// A fresh in-memory registry installed as the program's registry for one test.
#pragma once

#include "runtime/memory_registry.h"

namespace tavrel::testing {

class ScopedRegistry {
 public:
  explicit ScopedRegistry(MemoryRegistry::Options options = {}) : registry(options) { InstallRegistryApi(&registry); }
  ~ScopedRegistry() { InstallRegistryApi(nullptr); }
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;

  MemoryRegistry registry;
};

}  // namespace tavrel::testing

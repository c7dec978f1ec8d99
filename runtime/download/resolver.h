// Name resolution within a connection's deadline: the system's lookup may
// take longer than the time a connection is allowed, and cannot be told to
// stop, so it runs on a thread of its own whose late answer is dropped.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/download/platform.h"

namespace tavrel::download {

using ResolveFunction = std::vector<platform::Endpoint> (*)(const std::string& host, std::uint16_t port);

// The lookup the service uses; nullptr restores the system's. Tests put a
// slow one in.
void InstallResolver(ResolveFunction resolve);

enum class Resolution { kFound, kNotFound, kStopped };

// Waits for the lookup until the deadline or the stop; kNotFound also when
// the time ran out.
Resolution ResolveWithin(const std::string& host, std::uint16_t port, std::chrono::steady_clock::time_point deadline,
                         const platform::StopFlag& stop, std::vector<platform::Endpoint>& found);

// Lookups still running after their connection stopped waiting for them.
bool LookupsRunning();

}  // namespace tavrel::download

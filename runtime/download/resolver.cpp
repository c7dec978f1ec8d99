#include "runtime/download/resolver.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "runtime/detached_thread.h"

namespace tavrel::download {
namespace {

// How often a waiting connection looks at its stop flag.
constexpr auto kStopSlice = std::chrono::milliseconds(20);

std::atomic<ResolveFunction> g_resolve{nullptr};
std::atomic<std::int32_t> g_running{0};

// Shared by the lookup thread and the connection waiting for it; whoever
// leaves last frees it.
struct Lookup {
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  std::vector<platform::Endpoint> endpoints;
};

}  // namespace

void InstallResolver(ResolveFunction resolve) { g_resolve.store(resolve); }

bool LookupsRunning() { return g_running.load() > 0; }

Resolution ResolveWithin(const std::string& host, std::uint16_t port, std::chrono::steady_clock::time_point deadline,
                         const platform::StopFlag& stop, std::vector<platform::Endpoint>& found) {
  // A numeric address needs no lookup, nor its thread.
  found = platform::NumericEndpoints(host, port);
  if (!found.empty()) return Resolution::kFound;
  ResolveFunction resolve = g_resolve.load();
  if (!resolve) resolve = &platform::Resolve;
  auto lookup = std::make_shared<Lookup>();
  ++g_running;
  const bool started = StartDetachedThread([lookup, resolve, host, port] {
    auto endpoints = resolve(host, port);
    {
      std::lock_guard guard(lookup->lock);
      lookup->endpoints = std::move(endpoints);
      lookup->finished = true;
    }
    lookup->done.notify_all();
    --g_running;
  });
  if (!started) {
    --g_running;
    return Resolution::kNotFound;
  }
  std::unique_lock lock(lookup->lock);
  while (!lookup->finished) {
    if (stop.load()) return Resolution::kStopped;
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return Resolution::kNotFound;
    lookup->done.wait_for(lock, std::min<std::chrono::steady_clock::duration>(deadline - now, kStopSlice));
  }
  found = std::move(lookup->endpoints);
  return found.empty() ? Resolution::kNotFound : Resolution::kFound;
}

}  // namespace tavrel::download

#include "runtime/detached_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace tavrel {
namespace {

// Threads that start while the one before is ending: the pattern in which a
// detached thread used to be lost on Windows, its work never run.
TEST(DetachedThread, EveryStartedWorkRuns) {
  struct Runs {
    std::mutex lock;
    std::condition_variable ran;
    int count = 0;
  };
  auto runs = std::make_shared<Runs>();
  constexpr int kThreads = 500;
  for (int i = 1; i <= kThreads; ++i) {
    ASSERT_TRUE(StartDetachedThread([runs] {
      std::lock_guard guard(runs->lock);
      ++runs->count;
      runs->ran.notify_all();
    }));
    std::unique_lock lock(runs->lock);
    ASSERT_TRUE(runs->ran.wait_for(lock, std::chrono::seconds(60), [&] { return runs->count == i; })) << i;
  }
}

}  // namespace
}  // namespace tavrel

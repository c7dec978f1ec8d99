#include "runtime/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/registry_api.h"
#include "tests/support/scoped_registry.h"

namespace tavrel {
namespace {

std::vector<int> g_closed;
struct CountedTraits {
  using Handle = int;
  static constexpr Handle Invalid() { return -1; }
  static void Close(Handle h) noexcept { g_closed.push_back(h); }
};
struct TwoInvalidTraits : CountedTraits {  // -1 and 0 are both "not open"
  static bool IsInvalid(Handle h) noexcept { return h == -1 || h == 0; }
};

TEST(UniqueHandle, ClosesWhatItOwnsExactlyOnce) {
  using Owner = UniqueHandle<CountedTraits>;
  struct Row {
    const char* what;
    void (*act)();
    std::vector<int> closed;
  };
  const Row rows[] = {
      {"default holds nothing",
       [] {
         Owner o;
         EXPECT_FALSE(o);
       },
       {}},
      {"scope end closes",
       [] {
         Owner o(3);
         EXPECT_TRUE(o);
       },
       {3}},
      {"release gives up",
       [] {
         Owner o(3);
         EXPECT_EQ(o.Release(), 3);
       },
       {}},
      {"reset closes the old",
       [] {
         Owner o(3);
         o.Reset(4);
         EXPECT_EQ(o.Get(), 4);
       },
       {3, 4}},
      {"move assignment closes the target's",
       [] {
         Owner a(1), b(2);
         b = std::move(a);
         EXPECT_FALSE(a);
         EXPECT_EQ(b.Get(), 1);
       },
       {2, 1}},
      {"a second invalid value is not closed",
       [] {
         UniqueHandle<TwoInvalidTraits> o(0);
         EXPECT_FALSE(o);
       },
       {}},
  };
  for (const Row& row : rows) {
    g_closed.clear();
    row.act();
    EXPECT_EQ(g_closed, row.closed) << row.what;
  }
}

TEST(UniqueRegKey, ClosesThroughTheRegistryInUse) {
  testing::ScopedRegistry scope;
  scope.registry.AddKey(kHkeyLocalMachine, "SOFTWARE\\K");
  RegKey key = 0;
  ASSERT_EQ(g_registrySeam.Current().OpenKeyEx(RootKey(kHkeyLocalMachine), "SOFTWARE\\K", 0, regsam::kRead, &key),
            regerr::kSuccess);
  {
    const UniqueRegKey owner(key);
    EXPECT_EQ(scope.registry.OpenHandleCount(), 1u);
  }
  EXPECT_EQ(scope.registry.OpenHandleCount(), 0u);
}

}  // namespace
}  // namespace tavrel

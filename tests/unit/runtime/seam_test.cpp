#include "runtime/seam.h"

#include <gtest/gtest.h>

namespace tavrel {
namespace {

struct Api {
  int id;
};
Api& Platform() {
  static Api platform{0};
  return platform;
}
Seam<Api> g_withPlatform{&Platform};
Seam<Api> g_empty;

TEST(Seam, PlatformUntilInstalledAndBackAfterEachScope) {
  Api outer{1}, inner{2};
  struct Row {
    Seam<Api>& seam;
    Api* before;
  };
  for (const Row& row : {Row{g_withPlatform, &Platform()}, Row{g_empty, nullptr}}) {
    EXPECT_EQ(row.seam.Get(), row.before);
    row.seam.Install(&outer);
    EXPECT_EQ(&row.seam.Current(), &outer);
    row.seam.Install(nullptr);
    EXPECT_EQ(row.seam.Get(), row.before);
  }
  {
    ScopedSeam<g_withPlatform> first(outer);
    {
      ScopedSeam<g_withPlatform> second(inner);
      EXPECT_EQ(g_withPlatform.Current().id, 2);
    }
    EXPECT_EQ(g_withPlatform.Current().id, 1);  // nested scopes put back what they found
  }
  EXPECT_EQ(g_withPlatform.Installed(), nullptr);
  EXPECT_EQ(g_withPlatform.Current().id, 0);
}

}  // namespace
}  // namespace tavrel

#include "runtime/download/block_plan.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tavrel::download {
namespace {

// Blocks cover [0, total) without gaps or overlaps, whatever their order.
void ExpectCovers(const BlockPlan& plan) {
  auto blocks = plan.Blocks();
  std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.start < b.start; });
  std::int32_t at = 0;
  for (const auto& b : blocks) {
    EXPECT_EQ(b.start, at);
    EXPECT_GE(b.length, 0);
    at = b.End();
  }
  EXPECT_EQ(at, plan.Total());
}

TEST(BlockPlan, CountsAndSizes) {
  struct Row {
    std::int32_t total, connections, count, size, last;
  };
  const Row rows[] = {
      {10000, 5, 1, 10000, 10000},
      {1000000, 5, 5, 200000, 200000},
      {1000001, 5, 5, 200000, 200001},
      {20479, 5, 1, 20479, 20479},
      {20480, 5, 5, 4096, 4096},
      {4095, 5, 1, 4095, 4095},
      {0, 5, 1, 0, 0},
      {1000000, 1, 1, 1000000, 1000000},
      {1000000, 0, 1, 1000000, 1000000},
      {1000000, -3, 1, 1000000, 1000000},
      // As many blocks as connections from 20480 bytes on; a count no
      // machine could run stays bounded.
      {40960, 100, 100, 409, 469},
      {2147483647, 5, 5, 429496729, 429496731},
      {2147483647, 2147483647, kMaxBlocks, 2097151, 2097151 + 1023},
  };
  for (const auto& r : rows) {
    BlockPlan plan(r.total, r.connections);
    ASSERT_EQ(plan.Count(), r.count) << r.total << "/" << r.connections;
    EXPECT_EQ(plan.At(0).length, r.size) << r.total;
    EXPECT_EQ(plan.At(plan.Count() - 1).length, r.last) << r.total;
    EXPECT_GE(plan.Capacity(), plan.Count());
    ExpectCovers(plan);
  }
}

TEST(BlockPlan, TakingReleasingAndCounting) {
  BlockPlan plan(1000000, 5);
  EXPECT_EQ(plan.TakeUnworked(1, 11), 0);
  EXPECT_EQ(plan.TakeUnworked(2, 12), 1);
  EXPECT_TRUE(plan.At(1).inUse);
  EXPECT_EQ(plan.At(1).connection, 2);
  EXPECT_EQ(plan.At(1).threadId, 12u);

  plan.AddDone(0, 150000);
  plan.AddDone(0, 100000);  // never beyond the block
  EXPECT_TRUE(plan.At(0).Complete());
  EXPECT_EQ(plan.Done(), 200000);
  plan.AddDone(1, -5);
  EXPECT_EQ(plan.At(1).done, 0);

  // A released unfinished block is the next one taken; a complete one never is.
  plan.Release(0, 1);
  plan.Release(1, 9);  // not its connection's: nothing happens
  EXPECT_TRUE(plan.At(1).inUse);
  plan.Release(1, 2);
  EXPECT_FALSE(plan.At(1).inUse);
  EXPECT_EQ(plan.At(1).connection, 0);
  EXPECT_EQ(plan.TakeUnworked(3, 13), 1);
  EXPECT_EQ(plan.TakeUnworked(4, 14), 2);
  EXPECT_EQ(plan.TakeUnworked(5, 15), 3);
  EXPECT_EQ(plan.TakeUnworked(6, 16), 4);
  EXPECT_EQ(plan.TakeUnworked(7, 17), BlockPlan::kNone);
  EXPECT_FALSE(plan.HasUnworked());
  EXPECT_FALSE(plan.Complete());
}

TEST(BlockPlan, SplittingTakesTheSecondHalfOfTheLargestRest) {
  struct Row {
    std::int32_t total;
    std::int32_t done0;  // bytes stored in block 0 of a one-connection plan
    bool splits;
    std::int32_t keptLength = 0, newStart = 0, newLength = 0;
    std::int32_t reserved = 0;  // received by block 0's connection, not stored yet
  };
  const Row rows[] = {
      // Bytes its connection holds stay with the block; the rest is halved.
      {1000000, 0, true, 602400, 602400, 397600, 204800},
      {100000, 0, false, 0, 0, 0, 60000},
      {1000000, 0, true, 500000, 500000, 500000},
      {1000001, 1, true, 500001, 500001, 500000},
      {100000, 59040, true, 79520, 79520, 20480},  // 40960 left: exactly enough
      {100000, 59041, false},                      // 40959 left: no split
      {30000, 0, false},
  };
  for (const auto& r : rows) {
    BlockPlan plan(r.total, 1);
    plan.TakeUnworked(1, 1);
    plan.AddDone(0, r.done0);
    EXPECT_EQ(plan.Reserve(0, 0, r.reserved), r.reserved);
    std::int32_t index = plan.SplitLargest(2, 2);
    ASSERT_EQ(index != BlockPlan::kNone, r.splits) << r.total << "/" << r.done0;
    if (!r.splits) continue;
    EXPECT_EQ(plan.At(0).length, r.keptLength);
    EXPECT_EQ(plan.At(index).start, r.newStart);
    EXPECT_EQ(plan.At(index).length, r.newLength);
    EXPECT_TRUE(plan.At(index).split);
    EXPECT_TRUE(plan.At(index).inUse);
    EXPECT_EQ(plan.At(index).connection, 2);
    // The half kept can still take a whole buffer beyond what is stored.
    EXPECT_GE(plan.At(0).Left(), kBufferBytes);
    ExpectCovers(plan);
  }
}

TEST(BlockPlan, SplitPicksTheBlockWithMostLeftAndGrowsCapacity) {
  BlockPlan plan(1000000, 5);
  for (int i = 0; i < 5; ++i) plan.TakeUnworked(i + 1, 0);
  plan.AddDone(0, 190000);
  plan.AddDone(1, 10000);
  plan.AddDone(2, 200000);
  plan.AddDone(3, 5000);  // most left: 195000
  plan.AddDone(4, 100000);
  std::int32_t index = plan.SplitLargest(6, 0);
  ASSERT_EQ(index, 5);
  EXPECT_EQ(plan.At(3).length, 5000 + 97500);
  EXPECT_EQ(plan.At(5).start, 600000 + 5000 + 97500);
  EXPECT_EQ(plan.At(5).length, 97500);

  // Keep splitting: the list outgrows its first capacity of 16 slots.
  while (plan.SplitLargest(7, 0) != BlockPlan::kNone) {}
  EXPECT_GT(plan.Count(), 16);
  EXPECT_GE(plan.Capacity(), plan.Count());
  ExpectCovers(plan);
  for (const auto& b : plan.Blocks())
    if (!b.Complete()) {
      EXPECT_LT(b.Left(), kMinSplitBytes);
    }
}

TEST(BlockPlan, AStreamTakesTheBlockStartingWhereItStands) {
  // Blocks of 200000: 0 complete, 1 free, 2 held with bytes, 3 held empty,
  // 4 held empty but being stored into.
  BlockPlan plan(1000000, 5);
  plan.TakeUnworked(1, 0);
  plan.AddDone(0, 200000);
  plan.Take(2, 3, 0);
  plan.AddDone(2, 10);
  plan.Take(3, 4, 0);
  plan.Take(4, 5, 0);
  plan.SetStoring(4, true);
  struct Row {
    std::int32_t pos;
    bool steal;
    std::int32_t taken;
    std::int32_t skipTo;
  };
  const Row rows[] = {
      {0, true, BlockPlan::kNone, 200000},        // stored already
      {200000, false, 1, 0},                      // free
      {400000, true, BlockPlan::kNone, 600000},   // holds bytes: never taken from its connection
      {600000, false, BlockPlan::kNone, 800000},  // held, no stealing asked
      {600000, true, 3, 0},                       // held but empty: taken over
      {800000, true, BlockPlan::kNone, 1000000},  // being stored into
      {1000000, true, BlockPlan::kNone, 1000000},
  };
  for (const auto& r : rows) {
    std::int32_t skipTo = 0;
    std::int32_t taken = plan.TakeBlockStartingAt(r.pos, 9, 99, skipTo, r.steal);
    EXPECT_EQ(taken, r.taken) << r.pos;
    if (taken == BlockPlan::kNone) {
      EXPECT_EQ(skipTo, r.skipTo) << r.pos;
    } else {
      EXPECT_EQ(plan.At(taken).connection, 9);
    }
  }
  // The connection the block was taken from can no longer let it go.
  plan.Release(3, 4);
  EXPECT_TRUE(plan.At(3).inUse);
}

}  // namespace
}  // namespace tavrel::download

#include "runtime/download/transfer.h"

#include <gtest/gtest.h>

#include "runtime/download/snapshot.h"
#include "tests/support/loopback_http_server.h"

namespace tavrel::download {
namespace {

// A transfer of 100000 bytes in five blocks of 20000, block 0 the first
// connection's (1), block 1 taken by connection 2.
class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = testing::FreshTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "t.bin";
    Route route;
    route.url = *ParseUrl("http://127.0.0.1:88/dir/t.bin");
    transfer_.Begin(BlockPlan(100000, 5), platform::MappedFile::CreateNew(path_, 100000), path_, route, 1, 11);
    ASSERT_EQ(transfer_.TakeForNewConnection(2, true), 1);
  }
  std::string path_;
  Transfer transfer_;
};

TEST_F(TransferTest, BytesAreStoredOnlyAtTheirBlocksStoredEndByItsConnection) {
  const std::uint8_t bytes[30000] = {1};
  struct Row {
    const char* name;
    std::int32_t block, connection, position, size;
    std::int32_t stored;  // the result; -1 refused
  };
  const Row rows[] = {
      {"in place", 1, 2, 20000, 5000, 5000},           {"again at the old place", 1, 2, 20000, 5000, -1},
      {"past the stored end", 1, 2, 26000, 1000, -1},  {"another connection's block", 1, 1, 25000, 1000, -1},
      {"a block nobody holds", 2, 2, 40000, 1000, -1}, {"more than the block's rest", 1, 2, 25000, 30000, 15000},
  };
  for (const Row& r : rows)
    EXPECT_EQ(transfer_.Store(r.block, r.connection, r.position, bytes, r.size), r.stored) << r.name;
  EXPECT_EQ(transfer_.Stored(), 20000);
  EXPECT_TRUE(transfer_.BlockAt(1).Complete());
  EXPECT_EQ(transfer_.Finish(), 20000);
  EXPECT_EQ(transfer_.Store(0, 1, 0, bytes, 10), -1) << "the file is closed";
  EXPECT_EQ(testing::ReadWholeFile(path_)->at(20000), '\1');
}

TEST_F(TransferTest, OneStreamIsReadByOneConnection) {
  // The first answer was the whole file: connection 1 reads it.
  EXPECT_TRUE(transfer_.ClaimStream(1, false).reads);
  EXPECT_FALSE(transfer_.OneStream());
  // A block connection meets the whole file too: the task switches once.
  auto claim = transfer_.ClaimStream(2, true);
  EXPECT_FALSE(claim.reads);
  EXPECT_TRUE(claim.switched);
  EXPECT_FALSE(transfer_.ClaimStream(3, true).switched);
  EXPECT_EQ(transfer_.TakeForNewConnection(4, true), BlockPlan::kNone) << "no connection asked for over one stream";
  // The reader, at block 1, takes it over: connection 2 has stored nothing.
  std::int32_t skipTo = 0;
  EXPECT_EQ(transfer_.TakeStreamBlock(BlockPlan::kNone, 20000, 1, 11, skipTo), 1);
  EXPECT_EQ(transfer_.TakeStreamBlock(BlockPlan::kNone, 20000, 2, 12, skipTo), BlockPlan::kNone) << "not the reader";
  transfer_.LeaveStream(1);
  EXPECT_TRUE(transfer_.ClaimStream(2, true).reads);
  EXPECT_EQ(transfer_.TakeForNewConnection(5, false), 2) << "taking up the stream's rest";
}

TEST(Transfer, SnapshotNamesTheStartAddressUntilTheRouteIsKnown) {
  Transfer transfer;
  auto texts = ReadSnapshotTexts(transfer.Snapshot(*ParseUrl("http://host:88/a/b.exe")));
  ASSERT_TRUE(texts);
  ASSERT_GE(texts->size(), 2u);
  EXPECT_EQ((*texts)[0], "host:88");
  EXPECT_EQ((*texts)[1], "/a/b.exe");
}

}  // namespace
}  // namespace tavrel::download

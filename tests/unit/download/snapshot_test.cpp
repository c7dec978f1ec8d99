#include "runtime/download/snapshot.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tavrel::download {
namespace {

TEST(Crc16Arc, KnownAnswers) {
  const std::pair<const char*, std::uint16_t> rows[] = {
      {"123456789", 0xBB3D},
      {"", 0x0000},
      {"A", 0x30C0},
      {"\x01", 0xC0C1},
  };
  for (auto [text, crc] : rows) {
    EXPECT_EQ(Crc16Arc(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)), crc) << text;
  }
  // Continuing a CRC over a second piece equals one pass over both.
  const auto* all = reinterpret_cast<const std::uint8_t*>("123456789");
  EXPECT_EQ(Crc16Arc(all + 4, 5, Crc16Arc(all, 4)), 0xBB3D);
}

BlockPlan SamplePlan() {
  BlockPlan plan(1000001, 5);
  plan.TakeUnworked(1, 101);
  plan.TakeUnworked(2, 102);
  plan.AddDone(0, 200000);
  plan.AddDone(1, 1234);
  plan.AddDone(4, 7);
  return plan;
}

TEST(Snapshot, LayoutAndChecksum) {
  ByteSet s = EncodeSnapshot(SamplePlan(), {"host:88", "/f.exe"});
  // Count 5, capacity 16, total 1000001, reserved 0, little-endian.
  const std::uint8_t head[] = {5, 0, 0, 0, 16, 0, 0, 0, 0x41, 0x42, 0x0F, 0, 0, 0, 0, 0};
  ASSERT_GE(s.size(), sizeof head);
  EXPECT_EQ(0, std::memcmp(s.data(), head, sizeof head));
  // Block 2's record: in use, not split, thread 102, start 200000, length
  // 200000, done 1234, connection 2.
  const std::uint32_t record[] = {1, 0, 102, 200000, 200000, 1234, 2};
  EXPECT_EQ(0, std::memcmp(s.data() + 16 + 28, record, sizeof record));
  // Unused slots are zero.
  for (std::size_t i = 16 + 28 * 5; i < 16 + 28 * 16; ++i) ASSERT_EQ(s[i], 0) << i;
  std::uint16_t crc = Crc16Arc(s.data(), s.size() - 2);
  EXPECT_EQ(s[s.size() - 2], crc & 0xFF);
  EXPECT_EQ(s[s.size() - 1], crc >> 8);
  auto texts = ReadSnapshotTexts(s);
  ASSERT_TRUE(texts);
  EXPECT_EQ(*texts, (std::vector<std::string>{"host:88", "/f.exe"}));
}

TEST(Snapshot, ItemsAndTheirBounds) {
  ByteSet s = EncodeSnapshot(SamplePlan(), {"h"});
  struct Row {
    std::int32_t item;
    std::optional<std::int32_t> block;
    std::int32_t value;
  };
  const Row rows[] = {
      {1, std::nullopt, 1000001},
      {2, std::nullopt, 201241},
      {3, std::nullopt, 5},
      {4, 1, 0},
      {5, 1, 200000},
      {6, 1, 200000},
      {4, 5, 800000},
      {5, 5, 200001},
      {6, 5, 7},
      {6, 2, 1234},
      {1, 3, 1000001},  // a block number is ignored for items 1 to 3
      {4, 0, -1},
      {4, 6, -1},
      {5, -1, -1},
      {6, std::nullopt, -1},
      {0, std::nullopt, -1},
      {7, 1, -1},
      {-1, std::nullopt, -1},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ReadSnapshotItem(s, r.item, r.block), r.value) << r.item << "/" << r.block.value_or(-99);
}

TEST(Snapshot, AnyChangedByteMakesEveryItemUnreadable) {
  const ByteSet sound = EncodeSnapshot(SamplePlan(), {"host", "/path"});
  for (std::size_t at = 0; at < sound.size(); ++at) {
    for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
      ByteSet s = sound;
      s[at] ^= flip;
      for (std::int32_t item = 1; item <= 6; ++item)
        ASSERT_EQ(ReadSnapshotItem(s, item, 1), -1) << "byte " << at << " item " << item;
    }
  }
  // Empty, truncated and lengthened snapshots too.
  for (std::int32_t item = 1; item <= 6; ++item) {
    EXPECT_EQ(ReadSnapshotItem({}, item, 1), -1);
    EXPECT_EQ(ReadSnapshotItem(ByteSet(sound.begin(), sound.end() - 1), item, 1), -1);
    ByteSet longer = sound;
    longer.push_back(0);
    EXPECT_EQ(ReadSnapshotItem(longer, item, 1), -1);
  }
}

TEST(Snapshot, InconsistentSizesAreRefusedEvenWithAGoodChecksum) {
  // A snapshot claiming more blocks than its capacity, or more capacity than
  // its bytes hold, is refused although its CRC matches.
  auto seal = [](ByteSet s) {
    std::uint16_t crc = Crc16Arc(s.data(), s.size());
    s.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    s.push_back(static_cast<std::uint8_t>(crc >> 8));
    return s;
  };
  ByteSet countOverCapacity(16 + 2 * 28 + 4, 0);
  countOverCapacity[0] = 3;
  countOverCapacity[4] = 2;
  EXPECT_EQ(ReadSnapshotItem(seal(countOverCapacity), 1, std::nullopt), -1);
  countOverCapacity[0] = 2;
  EXPECT_EQ(ReadSnapshotItem(seal(countOverCapacity), 3, std::nullopt), 2);  // the same, made sound
  ByteSet capacityOverBytes = {0, 0, 0, 0, 9, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ReadSnapshotItem(seal(capacityOverBytes), 1, std::nullopt), -1);
  ByteSet textBeyondEnd(16 + 4 + 8, 0);
  textBeyondEnd[16] = 1;   // one text
  textBeyondEnd[20] = 28;  // at the end of the table
  textBeyondEnd[24] = 5;   // five bytes that are not there
  EXPECT_EQ(ReadSnapshotItem(seal(textBeyondEnd), 1, std::nullopt), -1);
  ByteSet empty = EncodeSnapshot(BlockPlan(), {});
  EXPECT_EQ(ReadSnapshotItem(empty, 1, std::nullopt), 0);
  EXPECT_EQ(ReadSnapshotItem(empty, 3, std::nullopt), 0);
  EXPECT_EQ(ReadSnapshotItem(empty, 4, 1), -1);
}

}  // namespace
}  // namespace tavrel::download

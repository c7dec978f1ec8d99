// Task snapshots over arbitrary bytes: a snapshot whose checksum does not
// match reads -1 for every item; a sound one reads back the plan it was made of.
#include <algorithm>

#include "runtime/download/snapshot.h"
#include "support/fuzz_input.h"

using namespace tavrel;
using namespace tavrel::download;

namespace {

void CheckAllRefused(const ByteSet& snapshot) {
  for (std::int32_t item = 1; item <= 4; ++item) FUZZ_CHECK(ReadSnapshotItem(snapshot, item, 1) == -1);
  FUZZ_CHECK(!ReadSnapshotTexts(snapshot));
}

void ReadEverything(const ByteSet& snapshot) {
  const std::int32_t count = ReadSnapshotItem(snapshot, 3, std::nullopt);
  FUZZ_CHECK(count >= -1 && count <= static_cast<std::int32_t>(snapshot.size() / 28));
  FUZZ_CHECK(ReadSnapshotItem(snapshot, 0, 1) == -1 && ReadSnapshotItem(snapshot, 7, 1) == -1);
  for (std::int32_t block : {0, count + 1}) FUZZ_CHECK(ReadSnapshotItem(snapshot, 4, block) == -1);
  ReadSnapshotItem(snapshot, 6, count);
  ReadSnapshotItem(snapshot, 2, std::nullopt);
  const auto texts = ReadSnapshotTexts(snapshot);
  FUZZ_CHECK(texts.has_value() == (count >= 0));
}

std::uint32_t Take32(const std::uint8_t*& p, const std::uint8_t* end) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4 && p < end; ++i) v |= static_cast<std::uint32_t>(*p++) << (8 * i);
  return v;
}

// A plan driven by the input, changed the ways connections change it, and
// its snapshot read back.
void RoundTrip(const std::uint8_t* p, const std::uint8_t* end) {
  const auto total = static_cast<std::int32_t>(Take32(p, end) & 0x7FFFFFFF);
  const auto connections = static_cast<std::int32_t>(p < end ? *p++ % 40 : 1);
  BlockPlan plan(total, connections);
  for (int step = 0; step < 32 && p + 2 <= end; ++step) {
    const std::uint8_t op = *p++;
    const std::int32_t index = *p++ % plan.Count();
    switch (op % 4) {
      case 0: plan.AddDone(index, static_cast<std::int32_t>(Take32(p, end) & 0xFFFFF)); break;
      case 1: plan.SplitLargest(step + 2, 7); break;
      case 2: plan.TakeUnworked(step + 2, 7); break;
      case 3: plan.Release(index, plan.At(index).connection); break;
    }
  }
  // The blocks cover the file without gaps or overlaps.
  std::vector<Block> blocks = plan.Blocks();
  std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.start < b.start; });
  std::int64_t covered = 0;
  for (const Block& b : blocks) {
    FUZZ_CHECK(b.start == covered && b.length >= 0 && b.done >= 0 && b.done <= b.length);
    covered += b.length;
  }
  FUZZ_CHECK(covered == plan.Total());

  const std::vector<std::string> texts{std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p)),
                                       "127.0.0.1:88", ""};
  const ByteSet snapshot = EncodeSnapshot(plan, texts);
  FUZZ_CHECK(ReadSnapshotItem(snapshot, 1, std::nullopt) == plan.Total());
  FUZZ_CHECK(ReadSnapshotItem(snapshot, 2, std::nullopt) == plan.Done());
  FUZZ_CHECK(ReadSnapshotItem(snapshot, 3, std::nullopt) == plan.Count());
  // Each read checks the whole image again: one block stands for all.
  const std::int32_t i = total % plan.Count();
  FUZZ_CHECK(ReadSnapshotItem(snapshot, 4, i + 1) == plan.At(i).start);
  FUZZ_CHECK(ReadSnapshotItem(snapshot, 5, i + 1) == plan.At(i).length);
  FUZZ_CHECK(ReadSnapshotItem(snapshot, 6, i + 1) == plan.At(i).done);
  FUZZ_CHECK(ReadSnapshotTexts(snapshot) == texts);
  // Any one byte changed is caught by the checksum.
  ByteSet changed = snapshot;
  changed[total % changed.size()] ^= static_cast<std::uint8_t>(1 + connections);
  CheckAllRefused(changed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t mode = data[0] % 3;
  ByteSet bytes(data + 1, data + size);
  if (mode == 0) {
    // As received: only a matching checksum lets anything be read.
    if (bytes.size() < 2 ||
        Crc16Arc(bytes.data(), bytes.size() - 2) != (bytes[bytes.size() - 2] | bytes[bytes.size() - 1] << 8))
      CheckAllRefused(bytes);
    else
      ReadEverything(bytes);
  } else if (mode == 1) {
    // Arbitrary contents under a matching checksum: the layout checks alone guard the reads.
    const std::uint16_t crc = Crc16Arc(bytes.data(), bytes.size());
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    ReadEverything(bytes);
  } else {
    RoundTrip(data + 1, data + size);
  }
  return 0;
}

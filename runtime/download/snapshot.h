// The task snapshot: a self-checking byte image of a task's plan and texts.
//
// Layout, every number little-endian:
//   0  u32 block count        4  u32 capacity of the block list
//   8  i32 total size        12  u32 reserved (0)
//   16 capacity x 28-byte records: in-use, split, thread id, start, length,
//      bytes done, connection (unused slots are zero)
//   then u32 text count, text count x (u32 offset from the image's start,
//      u32 length), then the texts' bytes
//   last u16 CRC-16/ARC of every byte before it, low byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/download/block_plan.h"
#include "runtime/value.h"

namespace tavrel::download {

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final xor.
std::uint16_t Crc16Arc(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0);

ByteSet EncodeSnapshot(const BlockPlan& plan, const std::vector<std::string>& texts);

enum class SnapshotItem : std::int32_t {
  kTotal = 1,
  kDone = 2,
  kBlockCount = 3,
  kBlockStart = 4,
  kBlockLength = 5,
  kBlockDone = 6,
};

// An item of a snapshot: -1 for an empty or corrupt snapshot (bad checksum,
// inconsistent sizes), an item outside 1..6, or a block number (1-based)
// outside 1..count or missing for items 4 to 6.
std::int32_t ReadSnapshotItem(const ByteSet& snapshot, std::int32_t item, std::optional<std::int32_t> block);

// The texts stored in a sound snapshot.
std::optional<std::vector<std::string>> ReadSnapshotTexts(const ByteSet& snapshot);

}  // namespace tavrel::download

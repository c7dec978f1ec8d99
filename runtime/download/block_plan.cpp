#include "runtime/download/block_plan.h"

#include <algorithm>

namespace tavrel::download {

std::int32_t BlockPlan::BlockCount(std::int32_t total, std::int32_t connections) {
  if (total < kBufferBytes) return 1;  // below 4096 bytes too
  return std::clamp<std::int32_t>(connections, 1, kMaxBlocks);
}

BlockPlan::BlockPlan(std::int32_t total, std::int32_t connections) : total_(std::max<std::int32_t>(total, 0)) {
  std::int32_t count = BlockCount(total_, connections);
  std::int32_t size = total_ / count;
  blocks_.resize(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    Block& b = blocks_[static_cast<std::size_t>(i)];
    b.start = i * size;
    b.length = (i == count - 1) ? total_ - b.start : size;
  }
  capacity_ = std::max<std::int32_t>(16, count);
}

void BlockPlan::Take(std::int32_t index, std::int32_t connection, std::uint32_t threadId) {
  Block& b = blocks_[static_cast<std::size_t>(index)];
  b.inUse = true;
  b.connection = connection;
  b.threadId = threadId;
}

std::int32_t BlockPlan::TakeUnworked(std::int32_t connection, std::uint32_t threadId) {
  for (std::int32_t i = 0; i < Count(); ++i) {
    const Block& b = blocks_[static_cast<std::size_t>(i)];
    if (!b.inUse && !b.Complete()) {
      Take(i, connection, threadId);
      return i;
    }
  }
  return kNone;
}

std::int32_t BlockPlan::SplitLargest(std::int32_t connection, std::uint32_t threadId) {
  auto unreserved = [](const Block& b) { return b.Left() - b.reserved; };
  std::int32_t largest = kNone;
  for (std::int32_t i = 0; i < Count(); ++i) {
    const Block& b = blocks_[static_cast<std::size_t>(i)];
    if (!b.Complete() && (largest == kNone || unreserved(b) > unreserved(At(largest)))) largest = i;
  }
  if (largest == kNone || unreserved(At(largest)) < kMinSplitBytes) return kNone;

  Block& old = blocks_[static_cast<std::size_t>(largest)];
  std::int32_t keep = old.reserved + unreserved(old) / 2;
  Block half;
  half.split = true;
  half.start = old.Position() + keep;
  half.length = old.Left() - keep;
  old.length = old.done + keep;
  if (Count() == capacity_) capacity_ *= 2;
  blocks_.push_back(half);
  Take(Count() - 1, connection, threadId);
  return Count() - 1;
}

std::int32_t BlockPlan::TakeBlockStartingAt(std::int32_t pos, std::int32_t connection, std::uint32_t threadId,
                                            std::int32_t& skipTo, bool steal) {
  skipTo = total_;
  for (std::int32_t i = 0; i < Count(); ++i) {
    const Block& b = blocks_[static_cast<std::size_t>(i)];
    if (b.length == 0 || pos < b.start || pos >= b.End()) continue;
    bool stealable = steal && b.inUse && b.done == 0 && !b.storing;
    if (b.Complete() || (b.inUse && !stealable)) {
      skipTo = b.End();
      return kNone;
    }
    Take(i, connection, threadId);
    return i;
  }
  return kNone;
}

void BlockPlan::Release(std::int32_t index, std::int32_t connection) {
  Block& b = blocks_[static_cast<std::size_t>(index)];
  if (b.connection != connection) return;
  b.inUse = false;
  b.connection = 0;
  b.threadId = 0;
  b.reserved = 0;
}

void BlockPlan::AddDone(std::int32_t index, std::int32_t bytes) {
  Block& b = blocks_[static_cast<std::size_t>(index)];
  bytes = std::clamp<std::int32_t>(bytes, 0, b.Left());
  b.done += bytes;
  b.reserved = std::max<std::int32_t>(b.reserved - bytes, 0);
}

void BlockPlan::SetDone(std::int32_t index, std::int32_t bytes) {
  Block& b = blocks_[static_cast<std::size_t>(index)];
  b.done = std::clamp<std::int32_t>(bytes, 0, b.length);
  b.reserved = 0;
}

std::int32_t BlockPlan::Reserve(std::int32_t index, std::int32_t held, std::int32_t wanted) {
  Block& b = blocks_[static_cast<std::size_t>(index)];
  held = std::clamp<std::int32_t>(held, 0, b.Left());
  std::int32_t granted = std::clamp<std::int32_t>(wanted, 0, b.Left() - held);
  b.reserved = held + granted;
  return granted;
}

bool BlockPlan::HasUnworked() const {
  return std::any_of(blocks_.begin(), blocks_.end(), [](const Block& b) { return !b.inUse && !b.Complete(); });
}

std::int64_t BlockPlan::Done() const {
  std::int64_t sum = 0;
  for (const Block& b : blocks_) sum += b.done;
  return sum;
}

bool BlockPlan::Complete() const {
  return std::all_of(blocks_.begin(), blocks_.end(), [](const Block& b) { return b.Complete(); });
}

}  // namespace tavrel::download

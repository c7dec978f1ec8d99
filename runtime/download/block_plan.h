// How a download's bytes are shared out among its connections. Plain data
// with no lock: the task guards it.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrel::download {

// Each connection's smallest receive buffer.
inline constexpr std::int32_t kBufferBytes = 20480;
// A block is split only when this much of it is left beyond what its
// connection has reserved, so that each half can take a full buffer.
inline constexpr std::int32_t kMinSplitBytes = 2 * kBufferBytes;

// A guard against a connection count no machine could run threads for: the
// plan, the snapshot and the threads stay within reach.
inline constexpr std::int32_t kMaxBlocks = 1024;

struct Block {
  bool inUse = false;
  bool split = false;  // made by splitting another block
  std::uint32_t threadId = 0;
  std::int32_t start = 0;
  std::int32_t length = 0;
  std::int32_t done = 0;
  std::int32_t connection = 0;  // 0 when nobody works on it
  bool storing = false;         // its connection is copying bytes into it
  // Bytes beyond done its connection holds or is receiving: a split leaves
  // them to it.
  std::int32_t reserved = 0;

  std::int32_t Position() const { return start + done; }
  std::int32_t End() const { return start + length; }
  std::int32_t Left() const { return length - done; }
  bool Complete() const { return done >= length; }
};

class BlockPlan {
 public:
  static constexpr std::int32_t kNone = -1;

  // How many blocks a file of this size is cut into for this many connections.
  static std::int32_t BlockCount(std::int32_t total, std::int32_t connections);

  BlockPlan() = default;
  BlockPlan(std::int32_t total, std::int32_t connections);

  std::int32_t Total() const { return total_; }
  std::int32_t Count() const { return static_cast<std::int32_t>(blocks_.size()); }
  // Slots kept for the list; grows as blocks are split.
  std::int32_t Capacity() const { return capacity_; }
  const Block& At(std::int32_t index) const { return blocks_[static_cast<std::size_t>(index)]; }
  const std::vector<Block>& Blocks() const { return blocks_; }

  // Gives a block to a connection.
  void Take(std::int32_t index, std::int32_t connection, std::uint32_t threadId);
  // The first unfinished block nobody works on, now taken; kNone if none.
  std::int32_t TakeUnworked(std::int32_t connection, std::uint32_t threadId);
  // Cuts the block with the most unreserved bytes left in two halves and
  // gives the second to the connection; kNone when no block has
  // kMinSplitBytes of them.
  std::int32_t SplitLargest(std::int32_t connection, std::uint32_t threadId);
  // The block that starts at pos (a stream reaching a block boundary), taken
  // when it is unfinished and nobody works on it; kNone otherwise, with
  // skipTo set to where the next block starts (the end of the file when pos
  // is there or beyond).
  // With steal, a block another connection holds but has stored nothing in
  // (and is not storing into) is taken from it.
  std::int32_t TakeBlockStartingAt(std::int32_t pos, std::int32_t connection, std::uint32_t threadId,
                                   std::int32_t& skipTo, bool steal = false);
  // The connection lets go of its block (finished or not); nothing happens
  // when the block is no longer that connection's.
  void Release(std::int32_t index, std::int32_t connection);
  void SetStoring(std::int32_t index, bool storing) { blocks_[static_cast<std::size_t>(index)].storing = storing; }
  // Counts bytes stored into a block; never beyond its length.
  void AddDone(std::int32_t index, std::int32_t bytes);
  // Sets the bytes stored of a block (an upload's server may hold fewer
  // than were sent); within 0 and its length.
  void SetDone(std::int32_t index, std::int32_t bytes);
  // The block's connection holds `held` bytes beyond done and would receive
  // up to `wanted` more: returns how many of them fit in the block, and
  // reserves held plus those.
  std::int32_t Reserve(std::int32_t index, std::int32_t held, std::int32_t wanted);

  bool HasUnworked() const;
  std::int64_t Done() const;
  bool Complete() const;

 private:
  std::int32_t total_ = 0;
  std::int32_t capacity_ = 0;
  std::vector<Block> blocks_;
};

}  // namespace tavrel::download

#include "runtime/download/transfer.h"

#include <algorithm>
#include <cstring>

#include "runtime/download/http_message.h"
#include "runtime/download/snapshot.h"

namespace tavrel::download {

void Transfer::Begin(BlockPlan plan, platform::MappedFile file, std::string path, Route route, std::int32_t connection,
                     std::uint32_t threadId) {
  std::lock_guard guard(lock_);
  plan_ = std::move(plan);
  file_ = std::move(file);
  path_ = std::move(path);
  route_ = std::move(route);
  begun_ = true;
  plan_.Take(0, connection, threadId);
}

void Transfer::BeginStream(platform::PlainFile file, std::string path, Route route) {
  std::lock_guard guard(lock_);
  stream_ = std::move(file);
  path_ = std::move(path);
  route_ = std::move(route);
  begun_ = true;
}

bool Transfer::Append(const void* data, std::int32_t size) {
  std::lock_guard guard(lock_);
  if (!stream_.IsOpen() || size < 0 || !stream_.WriteAt(streamed_, data, static_cast<std::size_t>(size))) return false;
  streamed_ += size;
  return true;
}

bool Transfer::Rewrite(std::int64_t offset, const void* data, std::int32_t size) {
  std::lock_guard guard(lock_);
  if (!stream_.IsOpen() || size < 0 || offset < 0 || offset + size > streamed_) return false;
  return stream_.WriteAt(offset, data, static_cast<std::size_t>(size));
}

bool Transfer::Begun() const {
  std::lock_guard guard(lock_);
  return begun_;
}

std::int32_t Transfer::Total() const {
  std::lock_guard guard(lock_);
  return plan_.Total();
}

Route Transfer::CurrentRoute() const {
  std::lock_guard guard(lock_);
  return route_;
}

Block Transfer::BlockAt(std::int32_t block) const {
  std::lock_guard guard(lock_);
  return plan_.At(block);
}

std::int64_t Transfer::Stored() const {
  std::lock_guard guard(lock_);
  return plan_.Done() + streamed_;
}

std::int32_t Transfer::TakeForNewConnection(std::int32_t connection, bool requested) {
  std::lock_guard guard(lock_);
  if (!begun_ || (oneStream_ && requested)) return BlockPlan::kNone;
  std::int32_t block = plan_.TakeUnworked(connection, 0);
  if (block == BlockPlan::kNone) block = plan_.SplitLargest(connection, 0);
  return block;
}

void Transfer::MarkThread(std::int32_t block, std::int32_t connection, std::uint32_t threadId) {
  std::lock_guard guard(lock_);
  if (plan_.At(block).connection == connection) plan_.Take(block, connection, threadId);
}

std::int32_t Transfer::TakeNext(std::int32_t finished, std::int32_t connection, std::uint32_t threadId) {
  std::lock_guard guard(lock_);
  plan_.Release(finished, connection);
  return plan_.TakeUnworked(connection, threadId);
}

void Transfer::Release(std::int32_t block, std::int32_t connection) {
  std::lock_guard guard(lock_);
  plan_.Release(block, connection);
}

bool Transfer::HasUnworked() const {
  std::lock_guard guard(lock_);
  return plan_.HasUnworked();
}

std::int32_t Transfer::Reserve(std::int32_t block, std::int32_t connection, std::int32_t held, std::int32_t wanted) {
  std::lock_guard guard(lock_);
  if (plan_.At(block).connection != connection) return -1;
  return plan_.Reserve(block, held, wanted);
}

std::int32_t Transfer::Store(std::int32_t block, std::int32_t connection, std::int32_t position,
                             const std::uint8_t* data, std::int32_t size) {
  std::uint8_t* target;
  {
    std::lock_guard guard(lock_);
    const Block& b = plan_.At(block);
    if (!file_.IsOpen() || b.connection != connection || position != b.Position()) return -1;
    size = std::clamp(size, 0, b.Left());
    target = file_.Data() + position;
    plan_.SetStoring(block, true);
  }
  // The block's bytes beyond its stored count are this connection's alone
  // while it stores (a split takes only from the far half, a stream takes
  // over no block being stored into), so the copy needs no lock; the file
  // stays mapped until every connection has ended.
  if (size > 0) std::memcpy(target, data, static_cast<std::size_t>(size));
  std::lock_guard guard(lock_);
  plan_.SetStoring(block, false);
  plan_.AddDone(block, size);
  return size;
}

bool Transfer::SetSent(std::int32_t block, std::int32_t connection, std::int32_t position) {
  std::lock_guard guard(lock_);
  const Block& b = plan_.At(block);
  if (b.connection != connection) return false;
  plan_.SetDone(block, position - b.start);
  return true;
}

Transfer::StreamClaim Transfer::ClaimStream(std::int32_t connection, bool rangesIgnored) {
  std::lock_guard guard(lock_);
  StreamClaim claim;
  claim.switched = rangesIgnored && !oneStream_;
  oneStream_ = oneStream_ || rangesIgnored;
  if (streamReader_ == 0) streamReader_ = connection;
  claim.reads = streamReader_ == connection;
  return claim;
}

void Transfer::LeaveStream(std::int32_t connection) {
  std::lock_guard guard(lock_);
  if (streamReader_ == connection) streamReader_ = 0;
}

bool Transfer::OneStream() const {
  std::lock_guard guard(lock_);
  return oneStream_;
}

std::int32_t Transfer::TakeStreamBlock(std::int32_t finished, std::int32_t pos, std::int32_t connection,
                                       std::uint32_t threadId, std::int32_t& skipTo) {
  std::lock_guard guard(lock_);
  if (finished != BlockPlan::kNone) plan_.Release(finished, connection);
  if (streamReader_ != connection) {
    skipTo = plan_.Total();
    return BlockPlan::kNone;
  }
  // Over one stream, blocks that connections took before the server was
  // found out hold nothing yet: the stream takes them over.
  return plan_.TakeBlockStartingAt(pos, connection, threadId, skipTo, oneStream_);
}

std::int32_t Transfer::TakeFirstStreamBlock(std::int32_t current, std::int32_t connection, std::uint32_t threadId) {
  std::lock_guard guard(lock_);
  std::int32_t pos = 0;
  while (true) {
    std::int32_t skipTo = 0;
    std::int32_t taken = plan_.TakeBlockStartingAt(pos, connection, threadId, skipTo, true);
    if (taken != BlockPlan::kNone) {
      if (taken != current && current != BlockPlan::kNone) plan_.Release(current, connection);
      return taken;
    }
    if (skipTo >= plan_.Total() || skipTo <= pos) return current;
    pos = skipTo;
  }
}

ByteSet Transfer::Snapshot(const Url& fallback) const {
  std::lock_guard guard(lock_);
  const Url& shown = begun_ ? route_.url : fallback;
  return EncodeSnapshot(plan_, {shown.hostPart, shown.path, route_.referer, kUserAgent, route_.cookieLine, path_});
}

std::int64_t Transfer::Finish() {
  std::lock_guard guard(lock_);
  file_.Close();
  stream_.Close();
  return plan_.Done() + streamed_;
}

}  // namespace tavrel::download

// One download's file and who may store where in it: the block plan, the
// file mapped whole, the route its bytes come from and the one stream a
// whole-file answer is read over. Connections on several threads call it;
// one lock guards it all, and it starts no thread of its own.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/download/block_plan.h"
#include "runtime/download/platform.h"
#include "runtime/download/url.h"
#include "runtime/value.h"

namespace tavrel::download {

// Where a task's requests go: the address after redirections, the host
// actually connected to (the server or the proxy), and what the first answer
// said about the file, which later whole-file answers must repeat.
struct Route {
  Url url;
  std::string referer;
  std::string cookieLine;  // "Cookie: ..." or empty
  bool viaProxy = false;
  std::string connectHost;
  std::uint16_t connectPort = 0;
  std::vector<platform::Endpoint> endpoints;
  std::string etag;          // "" when the first answer had none
  std::string lastModified;  // the same
};

class Transfer {
 public:
  // The first connection knows the file's size and has created the file: the
  // plan, the file and the route are installed and block 0 is the
  // connection's.
  void Begin(BlockPlan plan, platform::MappedFile file, std::string path, Route route, std::int32_t connection,
             std::uint32_t threadId);
  // A stream of unknown length, written in order into a file of its own;
  // its bytes count as stored beside the plan's.
  void BeginStream(platform::PlainFile file, std::string path, Route route);
  // Writes bytes at the stream's end; false when the file cannot take them
  // or is closed.
  bool Append(const void* data, std::int32_t size);
  // Writes over bytes already appended (a header whose counts are known
  // only at the end); they are not counted again.
  bool Rewrite(std::int64_t offset, const void* data, std::int32_t size);
  bool Begun() const;
  std::int32_t Total() const;
  Route CurrentRoute() const;
  Block BlockAt(std::int32_t block) const;
  // Bytes stored so far, over every block.
  std::int64_t Stored() const;

  // A block for a connection about to be opened: one nobody works on, else
  // the second half of the largest rest; BlockPlan::kNone when there is
  // none. Over one stream only a connection that takes up the stream's rest
  // (not one the first connection asked for) gets one.
  std::int32_t TakeForNewConnection(std::int32_t connection, bool requested);
  // The connection's thread, once it runs (while the block is still its).
  void MarkThread(std::int32_t block, std::int32_t connection, std::uint32_t threadId);
  // Lets go of a block and takes the next one nobody works on.
  std::int32_t TakeNext(std::int32_t finished, std::int32_t connection, std::uint32_t threadId);
  void Release(std::int32_t block, std::int32_t connection);
  bool HasUnworked() const;

  // Before a receive into the block: the connection holds `held` bytes not
  // yet stored and would receive `wanted` more. Returns how many it may
  // receive (0 when the block ends there), reserved so that no split takes
  // them; -1 when the block is no longer the connection's.
  std::int32_t Reserve(std::int32_t block, std::int32_t connection, std::int32_t held, std::int32_t wanted);
  // Copies bytes that begin at the file offset position into the block.
  // Returns how many fitted in the block, or -1 when the block is no longer
  // the connection's or position is not exactly where its stored bytes end:
  // nothing is stored then.
  std::int32_t Store(std::int32_t block, std::int32_t connection, std::int32_t position, const std::uint8_t* data,
                     std::int32_t size);

  // For an upload, which stores nothing: the server holds the block's bytes
  // up to position. False when the block is no longer the connection's.
  bool SetSent(std::int32_t block, std::int32_t connection, std::int32_t position);

  // A whole-file answer from the first byte. rangesIgnored: it answered a
  // range request, so every block connection from now on meets the same and
  // the task goes on over one stream. reads tells whether this connection is
  // the one to read it (nobody else does); switched whether this call put
  // the task on one stream.
  struct StreamClaim {
    bool reads = false;
    bool switched = false;
  };
  StreamClaim ClaimStream(std::int32_t connection, bool rangesIgnored);
  void LeaveStream(std::int32_t connection);
  bool OneStream() const;
  // For the stream's reader standing at pos: lets go of finished (unless
  // BlockPlan::kNone) and takes the block starting at pos when it may store
  // into it; over one stream that includes a block another connection holds
  // but has stored nothing in. Otherwise kNone, with skipTo where the next
  // block starts (the end of the file at or beyond it).
  std::int32_t TakeStreamBlock(std::int32_t finished, std::int32_t pos, std::int32_t connection, std::uint32_t threadId,
                               std::int32_t& skipTo);
  // For a connection that starts reading a stream at the file's first byte
  // while holding current: the first block on the way it may store into,
  // in place of current (current when there is none).
  std::int32_t TakeFirstStreamBlock(std::int32_t current, std::int32_t connection, std::uint32_t threadId);

  // The snapshot of the plan with the task's texts; fallback names the
  // address before the first connection has published its route.
  ByteSet Snapshot(const Url& fallback) const;

  // Unmaps and closes the file once no connection can write any more;
  // returns the bytes stored.
  std::int64_t Finish();

 private:
  mutable std::mutex lock_;
  BlockPlan plan_;
  platform::MappedFile file_;
  std::string path_;
  platform::PlainFile stream_;
  std::int64_t streamed_ = 0;
  Route route_;
  bool begun_ = false;
  bool oneStream_ = false;
  std::int32_t streamReader_ = 0;  // the connection reading a whole-file answer, 0 none
};

}  // namespace tavrel::download

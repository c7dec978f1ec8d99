// One connection of a task, run on its own thread until its work is done.
#pragma once

#include <cstdint>

namespace tavrel::download {

class Task;

// How a connection ended, as the task thread needs to know it: whether the
// rest of the file may be fetched by another connection.
enum class ConnectionEnd : std::int32_t {
  kDone,         // its work is done (nothing was left for it to take)
  kLeftRest,     // the server closed early: the rest of its block is free again
  kRecoverable,  // an answer a new connection may not meet (another status, a wrong range)
  kRefused,      // the server refuses the bytes (400, 403, 404)
  kGaveUp,       // out of retries, or a failure of the task itself
  kStopped,
};

// block is BlockPlan::kNone for the task's first connection, which finds the
// file's size and creates the file; later connections start on the block
// the task thread gave them.
ConnectionEnd RunConnection(Task& task, std::int32_t number, std::int32_t block);

ConnectionEnd RunHttpConnection(Task& task, std::int32_t number, std::int32_t block);
ConnectionEnd RunFtpConnection(Task& task, std::int32_t number, std::int32_t block);

}  // namespace tavrel::download

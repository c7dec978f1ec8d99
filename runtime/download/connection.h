// One connection of a task, run on its own thread until its work is done.
#pragma once

#include <cstdint>

namespace tavrel::download {

class Task;

// block is BlockPlan::kNone for the task's first connection, which finds the
// file's size and creates the file; later connections start on the block
// the task thread gave them.
void RunConnection(Task& task, std::int32_t number, std::int32_t block);

void RunHttpConnection(Task& task, std::int32_t number, std::int32_t block);
void RunFtpConnection(Task& task, std::int32_t number, std::int32_t block);

}  // namespace tavrel::download

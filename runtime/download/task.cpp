#include "runtime/download/task.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "runtime/download/log_text.h"

namespace tavrel::download {

Task::Task(const TaskParam& param, Url url, EndNotice onEnd)
    : param_(param), startUrl_(std::move(url)), onEnd_(std::move(onEnd)) {}

Task::~Task() {
  // The owner joins every task thread before letting go of the task; this
  // only guards against a thread that would hold the last reference itself.
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();
    else
      thread_.join();
  }
}

bool Task::Launch() {
  try {
    thread_ = std::thread(&Task::TaskThreadMain, shared_from_this());
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Task::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Task::Stop() {
  std::unique_lock lock(lock_);
  stopping_.store(true);
  changed_.notify_all();
  // Connections see the flag within one socket wait slice; give them the
  // caller's time to end. The task thread closes the file only once every
  // connection thread has ended, whatever this wait sees.
  changed_.wait_for(lock, std::chrono::milliseconds(std::max<std::int32_t>(param_.stopWaitMs, 0)),
                    [this] { return activeConnections_ == 0; });
}

bool Task::ChangeFileName(TextView path) {
  std::lock_guard guard(lock_);
  if (!askingFileName_) return false;
  askedFileName_ = std::string(path);
  return true;
}

std::int32_t Task::ActiveConnections() {
  std::lock_guard guard(lock_);
  return activeConnections_;
}

bool Task::PushLocked(QueueItem item) {
  bool wake = queue_.empty();
  if (item.kind != QueueItem::Kind::kEvent || item.code != kDataReceived) {
    // Anything but progress ends the task thread's wait for more progress.
    wake = wake || urgentItems_ == 0;
    ++urgentItems_;
  }
  queue_.push_back(std::move(item));
  return wake;
}

void Task::Push(QueueItem item) {
  bool wake;
  {
    std::lock_guard guard(lock_);
    wake = PushLocked(std::move(item));
  }
  if (wake) queued_.notify_one();
}

void Task::QueueEvent(std::int32_t code, std::int32_t connection, std::int32_t value3, std::int32_t value4) {
  Push({QueueItem::Kind::kEvent, code, connection, value3, value4, {}, {}});
}

void Task::QueueDataReceived(std::int32_t connection, const std::vector<std::int32_t>& counts) {
  if (counts.empty()) return;
  bool wake = false;
  {
    std::lock_guard guard(lock_);
    for (std::int32_t n : counts)
      wake = PushLocked({QueueItem::Kind::kEvent, kDataReceived, connection, n, 0, {}, {}}) || wake;
  }
  if (wake) queued_.notify_one();
}

void Task::QueueLog(std::int32_t connection, std::int32_t level, std::string text) {
  if (!param_.logRoutine) return;
  Push({QueueItem::Kind::kLog, level, connection, 0, 0, LogTimeText(platform::Now()), std::move(text)});
}

void Task::RequestConnections(std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) Push({QueueItem::Kind::kOpenConnection, 0, 0, 0, 0, {}, {}});
}

std::int32_t Task::AskFileExists(std::int32_t connection, const std::string& path, std::int32_t existingSize,
                                 std::int32_t total, std::string& changedPath) {
  if (!param_.eventRoutine) return kAbandon;
  {
    std::lock_guard guard(lock_);
    askingFileName_ = true;
    askedFileName_ = path;
  }
  std::int32_t answer = param_.eventRoutine(kFileExists, connection, existingSize, total, Ref());
  std::lock_guard guard(lock_);
  askingFileName_ = false;
  changedPath = askedFileName_;
  return answer;
}

bool Task::Pause(std::int32_t ms) {
  std::unique_lock lock(lock_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(std::max<std::int32_t>(ms, 0)),
                            [this] { return stopping_.load(); });
}

void Task::TaskThreadMain() {
  OpenConnection(Opening::kFirst);
  std::deque<QueueItem> batch;
  while (!connections_.empty()) {
    {
      std::unique_lock lock(lock_);
      queued_.wait(lock, [this] { return !queue_.empty(); });
      // Progress alone may wait a moment to be delivered with the progress
      // that follows: one wake-up per stretch instead of one per receive.
      if (urgentItems_ == 0)
        queued_.wait_for(lock, std::chrono::milliseconds(kProgressBatchMs), [this] { return urgentItems_ > 0; });
      batch.swap(queue_);
      urgentItems_ = 0;
    }
    for (const QueueItem& item : batch) Deliver(item);
    batch.clear();
  }
  // Every connection thread has ended: nothing can write to the file now.
  auto stored = static_cast<std::int32_t>(transfer_.Finish());
  if (param_.eventRoutine) param_.eventRoutine(kTaskEnded, 0, stored, 0, Ref());
  onEnd_(*this);
}

void Task::Deliver(const QueueItem& item) {
  switch (item.kind) {
    case QueueItem::Kind::kEvent:
      if (param_.eventRoutine) param_.eventRoutine(item.code, item.connection, item.value3, item.value4, Ref());
      break;
    case QueueItem::Kind::kLog:
      if (param_.logRoutine) param_.logRoutine(item.connection, item.time, item.text, item.code, Ref());
      break;
    case QueueItem::Kind::kOpenConnection: OpenConnection(Opening::kRequested); break;
    case QueueItem::Kind::kConnectionEnded:
      ConnectionEnded(item.connection, static_cast<ConnectionEnd>(item.code));
      break;
  }
}

// Each new connection takes the next block nobody works on; when every
// unfinished block is taken, a connection asked for splits the largest rest.
void Task::OpenConnection(Opening opening) {
  if (Stopping()) return;
  const std::int32_t number = lastConnection_ + 1;
  std::int32_t block = BlockPlan::kNone;
  if (opening != Opening::kFirst) {
    block = transfer_.TakeForNewConnection(number, opening == Opening::kRequested);
    if (block == BlockPlan::kNone) return;
  }
  {
    std::lock_guard guard(lock_);
    ++activeConnections_;
  }
  try {
    connections_.emplace(number, std::thread(&Task::ConnectionMain, shared_from_this(), number, block));
    lastConnection_ = number;
  } catch (const std::system_error&) {
    if (block != BlockPlan::kNone) transfer_.Release(block, number);
    std::lock_guard guard(lock_);
    --activeConnections_;
  }
}

void Task::ConnectionMain(std::int32_t number, std::int32_t block) {
  ConnectionEnd end = RunConnection(*this, number, block);
  {
    std::lock_guard guard(lock_);
    --activeConnections_;
    PushLocked({QueueItem::Kind::kConnectionEnded, static_cast<std::int32_t>(end), number, 0, 0, {}, {}});
  }
  queued_.notify_one();
  changed_.notify_all();
}

// A connection has ended. One whose server closed early left the rest of
// its block: a new connection takes it up when nobody else can. Any other
// end opens nothing: a failure read from an answer would meet the next
// connection too, and the blocks it held stay for the connections that work.
void Task::ConnectionEnded(std::int32_t number, ConnectionEnd end) {
  auto it = connections_.find(number);
  if (it != connections_.end()) {
    it->second.join();
    connections_.erase(it);
  }
  if (end != ConnectionEnd::kLeftRest || Stopping() || !transfer_.HasUnworked()) return;
  if (transfer_.OneStream() && ActiveConnections() > 0) return;  // one stream at a time
  if (revivals_ >= RetryLimit()) return;
  ++revivals_;
  OpenConnection(Opening::kRevival);
}

}  // namespace tavrel::download

#include "runtime/download/task.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "runtime/download/connection.h"
#include "runtime/download/http_message.h"
#include "runtime/download/log_text.h"
#include "runtime/download/messages.h"
#include "runtime/download/snapshot.h"

namespace tavrel::download {

Task::Task(Download& owner, const TaskParam& param, Url url)
    : owner_(owner), param_(param), startUrl_(std::move(url)) {}

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
  {
    std::lock_guard guard(stopLock_);
    stopping_.store(true);
  }
  stopSignal_.notify_all();
  // Connections see the flag within one socket wait slice; give them the
  // caller's time to end. The task thread closes the file only once every
  // connection thread has ended, whatever this wait sees.
  std::unique_lock lock(queueLock_);
  connectionsEnded_.wait_for(lock, std::chrono::milliseconds(std::max<std::int32_t>(param_.stopWaitMs, 0)),
                             [this] { return activeConnections_ == 0; });
}

ByteSet Task::Snapshot() {
  std::vector<std::string> texts;
  std::lock_guard guard(lock_);
  const Route& r = route_;
  Url shown = route_.url.hostPart.empty() ? startUrl_ : route_.url;
  texts = {shown.hostPart, shown.path, r.referer, kUserAgent, r.cookieLine, path_};
  return EncodeSnapshot(plan_, texts);
}

bool Task::ChangeFileName(TextView path) {
  std::lock_guard guard(lock_);
  if (!askingFileName_) return false;
  askedFileName_ = std::string(path);
  return true;
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
    std::lock_guard guard(queueLock_);
    wake = PushLocked(std::move(item));
  }
  if (wake) queueSignal_.notify_one();
}

void Task::QueueEvent(std::int32_t code, std::int32_t connection, std::int32_t value3, std::int32_t value4) {
  QueueItem item(QueueItem::Kind::kEvent);
  item.code = code;
  item.connection = connection;
  item.value3 = value3;
  item.value4 = value4;
  Push(std::move(item));
}

void Task::QueueDataReceived(std::int32_t connection, const std::vector<std::int32_t>& counts) {
  if (counts.empty()) return;
  bool wake = false;
  {
    std::lock_guard guard(queueLock_);
    for (std::int32_t n : counts) {
      QueueItem item(QueueItem::Kind::kEvent);
      item.code = kDataReceived;
      item.connection = connection;
      item.value3 = n;
      wake = PushLocked(std::move(item)) || wake;
    }
  }
  if (wake) queueSignal_.notify_one();
}

void Task::QueueLog(std::int32_t connection, std::int32_t level, std::string text) {
  if (!param_.logRoutine) return;
  QueueItem item(QueueItem::Kind::kLog);
  item.connection = connection;
  item.value3 = level;
  item.time = LogTimeText(platform::Now());
  item.text = std::move(text);
  Push(std::move(item));
}

void Task::RequestConnection() { Push(QueueItem(QueueItem::Kind::kOpenConnection)); }

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
  std::unique_lock lock(stopLock_);
  stopSignal_.wait_for(lock, std::chrono::milliseconds(std::max<std::int32_t>(ms, 0)),
                       [this] { return stopping_.load(); });
  return !stopping_.load();
}

std::int32_t Task::ActiveConnections() {
  std::lock_guard guard(queueLock_);
  return activeConnections_;
}

void Task::PublishRoute(const Route& route) {
  std::lock_guard guard(lock_);
  route_ = route;
}

Route Task::CurrentRoute() {
  std::lock_guard guard(lock_);
  return route_;
}

void Task::BeginTransfer(BlockPlan plan, platform::MappedFile file, const std::string& path,
                         std::int32_t connection, std::uint32_t threadId) {
  std::lock_guard guard(lock_);
  plan_ = std::move(plan);
  file_ = std::move(file);
  path_ = path;
  plan_.Take(0, connection, threadId);
}

std::int32_t Task::TotalSize() {
  std::lock_guard guard(lock_);
  return plan_.Total();
}

std::int32_t Task::Store(std::int32_t block, std::int32_t connection, const std::uint8_t* data, std::int32_t size) {
  std::uint8_t* target;
  {
    std::lock_guard guard(lock_);
    const Block& b = plan_.At(block);
    if (b.connection != connection) return -1;
    size = std::min(size, b.Left());
    target = file_.Data() + b.Position();
    plan_.SetStoring(block, true);
  }
  // The block's bytes beyond its stored count belong to this connection
  // alone while it is storing (a split only takes from the far half, a
  // stream takes over no block being stored into), so the copy needs no
  // lock; the file stays mapped until every connection thread has ended.
  if (size > 0) std::memcpy(target, data, static_cast<std::size_t>(size));
  std::lock_guard guard(lock_);
  plan_.SetStoring(block, false);
  plan_.AddDone(block, size);
  return size;
}

Block Task::BlockState(std::int32_t block) {
  std::lock_guard guard(lock_);
  return plan_.At(block);
}

std::int32_t Task::TakeNextBlock(std::int32_t finished, std::int32_t connection, std::uint32_t threadId) {
  std::lock_guard guard(lock_);
  plan_.Release(finished, connection);
  return plan_.TakeUnworked(connection, threadId);
}

void Task::ReleaseBlock(std::int32_t block, std::int32_t connection) {
  std::lock_guard guard(lock_);
  plan_.Release(block, connection);
}

void Task::MarkBlockThread(std::int32_t block, std::uint32_t threadId) {
  std::lock_guard guard(lock_);
  plan_.Take(block, plan_.At(block).connection, threadId);
}

bool Task::RangeIgnored(std::int32_t connection) {
  bool first = false;
  bool reads = false;
  {
    std::lock_guard guard(lock_);
    first = !singleStream_;
    singleStream_ = true;
    if (streamer_ == 0) streamer_ = connection;
    reads = streamer_ == connection;
  }
  if (first) QueueLog(connection, kLogProgress, msg::kSingleStream);
  return reads;
}

bool Task::SingleStream() {
  std::lock_guard guard(lock_);
  return singleStream_;
}

void Task::HoldStream(std::int32_t connection) {
  std::lock_guard guard(lock_);
  if (streamer_ == 0) streamer_ = connection;
}

void Task::DropStream(std::int32_t connection) {
  std::lock_guard guard(lock_);
  if (streamer_ == connection) streamer_ = 0;
}

bool Task::IsStreamer(std::int32_t connection) {
  std::lock_guard guard(lock_);
  return streamer_ == connection;
}

std::int32_t Task::TakeBlockStartingAt(std::int32_t finished, std::int32_t pos, std::int32_t connection,
                                       std::uint32_t threadId, std::int32_t& skipTo) {
  std::lock_guard guard(lock_);
  if (finished != BlockPlan::kNone) plan_.Release(finished, connection);
  // Over one stream, blocks that connections took before the server was
  // found out hold nothing yet: the stream takes them over.
  return plan_.TakeBlockStartingAt(pos, connection, threadId, skipTo, singleStream_);
}

std::int32_t Task::TakeFirstStreamBlock(std::int32_t current, std::int32_t connection, std::uint32_t threadId) {
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

void Task::OpenConnection(Opening opening, std::int32_t delayMs) {
  if (Stopping()) return;
  std::int32_t number = lastConnection_ + 1;
  std::int32_t block = BlockPlan::kNone;
  if (opening != Opening::kFirst) {
    std::lock_guard guard(lock_);
    if (plan_.Count() == 0) return;
    // Over one stream no block connection is opened on request.
    if (singleStream_ && opening == Opening::kRequested) return;
    block = plan_.TakeUnworked(number, 0);
    if (block == BlockPlan::kNone) block = plan_.SplitLargest(number, 0);
    if (block == BlockPlan::kNone) return;
  }
  {
    std::lock_guard guard(queueLock_);
    ++activeConnections_;
  }
  try {
    connections_.emplace(number, std::thread(&Task::ConnectionMain, shared_from_this(), number, block, delayMs));
    lastConnection_ = number;
  } catch (const std::system_error&) {
    if (block != BlockPlan::kNone) ReleaseBlock(block, number);
    std::lock_guard guard(queueLock_);
    --activeConnections_;
  }
}

void Task::ConnectionMain(std::int32_t number, std::int32_t block, std::int32_t delayMs) {
  ConnectionEnd end = ConnectionEnd::kStopped;
  if (delayMs <= 0 || Pause(delayMs))
    end = RunConnection(*this, number, block);
  else if (block != BlockPlan::kNone)
    ReleaseBlock(block, number);
  {
    std::lock_guard guard(queueLock_);
    --activeConnections_;
    QueueItem item(QueueItem::Kind::kConnectionEnded);
    item.connection = number;
    item.value3 = static_cast<std::int32_t>(end);
    PushLocked(std::move(item));
  }
  queueSignal_.notify_one();
  connectionsEnded_.notify_all();
}

void Task::Deliver(const QueueItem& item) {
  switch (item.kind) {
    case QueueItem::Kind::kEvent:
      if (param_.eventRoutine) param_.eventRoutine(item.code, item.connection, item.value3, item.value4, Ref());
      break;
    case QueueItem::Kind::kLog:
      if (param_.logRoutine) param_.logRoutine(item.connection, item.time, item.text, item.value3, Ref());
      break;
    case QueueItem::Kind::kOpenConnection:
      OpenConnection(Opening::kRequested);
      break;
    case QueueItem::Kind::kConnectionEnded: {
      auto it = connections_.find(item.connection);
      if (it != connections_.end()) {
        it->second.join();
        connections_.erase(it);
      }
      TakeUpLeftovers(static_cast<ConnectionEnd>(item.value3));
      break;
    }
  }
}

void Task::TakeUpLeftovers(ConnectionEnd end) {
  if (end == ConnectionEnd::kRefused) refused_ = true;
  if (Stopping() || refused_ || end == ConnectionEnd::kGaveUp || end == ConnectionEnd::kStopped) return;
  {
    std::lock_guard guard(lock_);
    if (!plan_.HasUnworked()) return;
  }
  if (SingleStream() && ActiveConnections() > 0) return;  // one stream at a time
  if (revivals_ >= RetryLimit()) return;
  ++revivals_;
  // After a failed answer, pause as a retry would before asking again.
  OpenConnection(Opening::kRevival, end == ConnectionEnd::kRecoverable ? RetryDelayMs() : 0);
}

void Task::TaskThreadMain() {
  OpenConnection(Opening::kFirst);
  std::deque<QueueItem> batch;
  while (!connections_.empty()) {
    {
      std::unique_lock lock(queueLock_);
      queueSignal_.wait(lock, [this] { return !queue_.empty(); });
      // Progress alone may wait a moment to be delivered with the progress
      // that follows: one wake-up per stretch instead of one per receive.
      if (urgentItems_ == 0)
        queueSignal_.wait_for(lock, std::chrono::milliseconds(kProgressBatchMs), [this] { return urgentItems_ > 0; });
      batch.swap(queue_);
      urgentItems_ = 0;
    }
    for (const QueueItem& item : batch) Deliver(item);
    batch.clear();
  }
  // Every connection thread has ended: nothing can write to the file now.
  std::int32_t stored;
  {
    std::lock_guard guard(lock_);
    file_.Close();
    stored = static_cast<std::int32_t>(plan_.Done());
  }
  if (param_.eventRoutine) param_.eventRoutine(kTaskEnded, 0, stored, 0, Ref());
  owner_.TaskThreadEnded(this);
}

}  // namespace tavrel::download

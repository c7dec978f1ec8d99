// A running download: its task thread, one thread per connection, the event
// queue that hands the connections' events and log lines to the caller's
// routines in order, and the stop. What is stored where is the transfer's.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/download/connection.h"
#include "runtime/download/download.h"
#include "runtime/download/platform.h"
#include "runtime/download/transfer.h"
#include "runtime/download/url.h"

namespace tavrel::download {

// How long DataReceived events may wait to be delivered together.
inline constexpr int kProgressBatchMs = 10;

class Task : public std::enable_shared_from_this<Task> {
 public:
  // Told on the task thread once it has sent TaskEnded; the task's last act.
  using EndNotice = std::function<void(const Task&)>;

  Task(const TaskParam& param, Url url, EndNotice onEnd);
  ~Task();
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;

  // Starts the task thread; false when it cannot be started.
  bool Launch();
  void Join();

  // The caller's side.
  // No new connections; every connection is told to stop, and the caller
  // waits up to stopWaitMs for them to end.
  void Stop();
  ByteSet Snapshot() const { return transfer_.Snapshot(startUrl_); }
  std::int32_t TakeTransferCounter() { return transferCounter_.exchange(0); }
  TaskRef Ref() const { return reinterpret_cast<TaskRef>(this); }
  // While the FileExists routine runs: the name the download goes on under.
  bool ChangeFileName(TextView path);

  // The connections' side.
  const TaskParam& Param() const { return param_; }
  const Url& StartUrl() const { return startUrl_; }
  Transfer& File() { return transfer_; }
  const platform::StopFlag& StopRequested() const { return stopping_; }
  bool Stopping() const { return stopping_.load(std::memory_order_relaxed); }
  std::int32_t ActiveConnections();

  void QueueEvent(std::int32_t code, std::int32_t connection, std::int32_t value3, std::int32_t value4);
  void QueueDataReceived(std::int32_t connection, const std::vector<std::int32_t>& counts);
  void QueueLog(std::int32_t connection, std::int32_t level, std::string text);
  void CountTransfer(std::int32_t bytes) { transferCounter_.fetch_add(bytes, std::memory_order_relaxed); }
  // Asks the task thread for this many more connections.
  void RequestConnections(std::int32_t count);
  // Asked on the connection's own thread, which waits for the answer.
  std::int32_t AskFileExists(std::int32_t connection, const std::string& path, std::int32_t existingSize,
                             std::int32_t total, std::string& changedPath);
  // Sleeps; false (at once) when the task is stopping.
  bool Pause(std::int32_t ms);

 private:
  struct QueueItem {
    enum class Kind { kEvent, kLog, kOpenConnection, kConnectionEnded };
    Kind kind = Kind::kEvent;
    std::int32_t code = 0;  // the event, the log level, the connection's end
    std::int32_t connection = 0;
    std::int32_t value3 = 0;
    std::int32_t value4 = 0;
    std::string time;
    std::string text;
  };

  // Appends under lock_; true when the task thread must be woken.
  bool PushLocked(QueueItem item);
  void Push(QueueItem item);
  void TaskThreadMain();
  void Deliver(const QueueItem& item);
  // The first connection, one more asked for, or one that takes up a block
  // an ended connection left unfinished.
  enum class Opening { kFirst, kRequested, kRevival };
  void OpenConnection(Opening opening);
  void ConnectionMain(std::int32_t number, std::int32_t block);
  void ConnectionEnded(std::int32_t number, ConnectionEnd end);

  const TaskParam param_;
  const Url startUrl_;
  const EndNotice onEnd_;
  Transfer transfer_;
  std::atomic<std::int32_t> transferCounter_{0};
  platform::StopFlag stopping_{false};  // raised under lock_, read anywhere
  std::thread thread_;

  // The event queue, the count of connections still running and the name
  // being asked about.
  std::mutex lock_;
  std::condition_variable queued_;   // the task thread waits for items
  std::condition_variable changed_;  // a stop was raised or a connection ended
  std::deque<QueueItem> queue_;
  std::int32_t urgentItems_ = 0;  // queued items other than DataReceived
  std::int32_t activeConnections_ = 0;
  bool askingFileName_ = false;
  std::string askedFileName_;

  // The task thread's own.
  std::map<std::int32_t, std::thread> connections_;
  std::int32_t lastConnection_ = 0;
  std::int32_t revivals_ = 0;
};

}  // namespace tavrel::download

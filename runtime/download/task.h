// A running download: its plan, file, event queue, task thread and
// connection threads. Connections reach the shared state only through the
// members below; the plan, the stored counts and the file state sit under
// one lock that is never held while a routine of the caller runs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/download/block_plan.h"
#include "runtime/download/connection.h"
#include "runtime/download/download.h"
#include "runtime/download/platform.h"
#include "runtime/download/url.h"

namespace tavrel::download {

// Where a task's requests go: the address after redirections and the host
// actually connected to (the server or the proxy).
struct Route {
  Url url;
  std::string referer;
  std::string cookieLine;  // "Cookie: ..." or empty
  bool viaProxy = false;
  std::string connectHost;
  std::uint16_t connectPort = 0;
  std::vector<platform::Endpoint> endpoints;
};

// How long DataReceived events may wait to be delivered together.
inline constexpr int kProgressBatchMs = 10;

class Task : public std::enable_shared_from_this<Task> {
 public:
  Task(Download& owner, const TaskParam& param, Url url);
  ~Task();
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;

  // Starts the task thread; false when it cannot be started.
  bool Launch();
  void Join();
  bool ThreadDone() const { return threadDone_; }

  // The caller's side.
  void Stop();
  ByteSet Snapshot();
  std::int32_t TakeTransferCounter() { return transferCounter_.exchange(0); }
  TaskRef Ref() const { return reinterpret_cast<TaskRef>(this); }
  bool ChangeFileName(TextView path);

  // The connections' side.
  const TaskParam& Param() const { return param_; }
  const Url& StartUrl() const { return startUrl_; }
  const platform::StopFlag& StopRequested() const { return stopping_; }
  bool Stopping() const { return stopping_.load(std::memory_order_relaxed); }

  void QueueEvent(std::int32_t code, std::int32_t connection, std::int32_t value3, std::int32_t value4);
  void QueueDataReceived(std::int32_t connection, const std::vector<std::int32_t>& counts);
  void QueueLog(std::int32_t connection, std::int32_t level, std::string text);
  void CountTransfer(std::int32_t bytes) { transferCounter_.fetch_add(bytes, std::memory_order_relaxed); }
  // Asks the task thread for one more connection.
  void RequestConnection();
  // Asked on the connection's own thread, which waits for the answer.
  std::int32_t AskFileExists(std::int32_t connection, const std::string& path, std::int32_t existingSize,
                             std::int32_t total, std::string& changedPath);
  // Waits the retry pause; false when the task is stopping.
  bool WaitBeforeRetry() { return Pause(RetryDelayMs()); }
  // Sleeps; false (at once) when the task is stopping.
  bool Pause(std::int32_t ms);
  std::int32_t ActiveConnections();

  void PublishRoute(const Route& route);
  Route CurrentRoute();

  // Installs the plan and the file and gives block 0 to the connection.
  void BeginTransfer(BlockPlan plan, platform::MappedFile file, const std::string& path,
                     std::int32_t connection, std::uint32_t threadId);
  std::int32_t TotalSize();
  // Copies bytes to the block's current position and counts them; returns
  // how many fitted in the block, or -1 when the block is no longer this
  // connection's (a stream took it over).
  std::int32_t Store(std::int32_t block, std::int32_t connection, const std::uint8_t* data, std::int32_t size);
  Block BlockState(std::int32_t block);
  // Lets go of a finished block and takes the next one nobody works on.
  std::int32_t TakeNextBlock(std::int32_t finished, std::int32_t connection, std::uint32_t threadId);
  void ReleaseBlock(std::int32_t block, std::int32_t connection);
  void MarkBlockThread(std::int32_t block, std::uint32_t threadId);

  // A server that ignores Range: the task goes on over one stream. True when
  // the connection that found out is to read that stream (nobody else does).
  bool RangeIgnored(std::int32_t connection);
  bool SingleStream();
  // The connection holds an answer with the whole file from its first byte.
  void HoldStream(std::int32_t connection);
  void DropStream(std::int32_t connection);
  bool IsStreamer(std::int32_t connection);
  // Lets go of a finished block and takes the one starting at pos (see
  // BlockPlan::TakeBlockStartingAt).
  std::int32_t TakeBlockStartingAt(std::int32_t finished, std::int32_t pos, std::int32_t connection,
                                   std::uint32_t threadId, std::int32_t& skipTo);
  // For a connection that starts reading the stream from the file's first
  // byte: the first block on the way it can store, in place of current.
  std::int32_t TakeFirstStreamBlock(std::int32_t current, std::int32_t connection, std::uint32_t threadId);

 private:
  struct QueueItem {
    enum class Kind { kEvent, kLog, kOpenConnection, kConnectionEnded };
    explicit QueueItem(Kind k) : kind(k) {}
    Kind kind;
    std::int32_t code = 0;
    std::int32_t connection = 0;
    std::int32_t value3 = 0;
    std::int32_t value4 = 0;
    std::string time;
    std::string text;
  };

  void Push(QueueItem item);
  // Appends under queueLock_; true when the task thread must be woken.
  bool PushLocked(QueueItem item);
  void TaskThreadMain();
  // A first connection, one more asked for by the first connection, or one
  // that takes up a block an ended connection left unfinished.
  enum class Opening { kFirst, kRequested, kRevival };
  void OpenConnection(Opening opening, std::int32_t delayMs = 0);
  void ConnectionMain(std::int32_t number, std::int32_t block, std::int32_t delayMs);
  // After a connection has ended: a new one for what is left, when the
  // server can still deliver it.
  void TakeUpLeftovers(ConnectionEnd end);
  void Deliver(const QueueItem& item);

  Download& owner_;
  const TaskParam param_;
  const Url startUrl_;

  std::thread thread_;
  std::atomic<bool> threadDone_{false};  // written under the owner's lock
  friend class Download;

  // Stop: the flag the sockets watch, and the pause retries wait in.
  platform::StopFlag stopping_{false};
  std::mutex stopLock_;
  std::condition_variable stopSignal_;

  std::atomic<std::int32_t> transferCounter_{0};

  // The plan, the file, the route and the name being asked about.
  std::mutex lock_;
  BlockPlan plan_;
  platform::MappedFile file_;
  std::string path_;
  Route route_;
  bool askingFileName_ = false;
  std::string askedFileName_;
  bool singleStream_ = false;
  std::int32_t streamer_ = 0;  // the connection reading the whole file, 0 none

  // The event queue and the count of connections still running.
  std::mutex queueLock_;
  std::condition_variable queueSignal_;
  std::condition_variable connectionsEnded_;
  std::deque<QueueItem> queue_;
  std::int32_t urgentItems_ = 0;  // queued items other than DataReceived
  std::int32_t activeConnections_ = 0;

  // Owned by the task thread.
  std::map<std::int32_t, std::thread> connections_;
  std::int32_t lastConnection_ = 0;
  bool refused_ = false;
  std::int32_t revivals_ = 0;
};

}  // namespace tavrel::download

#include "runtime/download/download.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "runtime/download/resolver.h"
#include "runtime/download/snapshot.h"
#include "runtime/download/task.h"
#include "runtime/download/url.h"
#include "runtime/program_end.h"

namespace tavrel::download {
namespace {

std::atomic<std::int32_t> g_retryDelayMs{5000};
std::atomic<std::int32_t> g_retryLimit{999};
std::atomic<std::int32_t> g_liveTasks{0};

}  // namespace

void SetRetryDelayMs(std::int32_t ms) { g_retryDelayMs.store(std::max<std::int32_t>(ms, 0)); }
std::int32_t RetryDelayMs() { return g_retryDelayMs.load(); }
void SetRetryLimit(std::int32_t retries) { g_retryLimit.store(std::max<std::int32_t>(retries, 0)); }
std::int32_t RetryLimit() { return g_retryLimit.load(); }

TaskParam InteractiveTaskParam(Text url, Text localPath, std::int32_t connections) {
  TaskParam p;
  p.mode = kModeDownload;
  p.url = std::move(url);
  p.localPath = std::move(localPath);
  p.connections = connections;
  p.connectTimeoutMs = 5000;
  p.sendTimeoutMs = 5001;
  p.receiveTimeoutMs = 10000;
  p.stopWaitMs = 1000;
  p.readChunk = 204800;
  return p;
}

Download::Download() { AddRuntimeShutdownHook(&ShutdownDownloadService); }

Download::~Download() {
  StopDownload(*this);
  std::vector<Started> tasks;
  {
    std::lock_guard guard(lock_);
    tasks.swap(tasks_);
  }
  for (auto& started : tasks) started.task->Join();
}

std::shared_ptr<Task> Download::Current() {
  std::lock_guard guard(lock_);
  return current_;
}

void Download::TaskEnded(const Task& task) {
  {
    std::lock_guard guard(lock_);
    if (current_.get() == &task) current_.reset();
    for (auto& started : tasks_)
      if (started.task.get() == &task) started.ended = true;
    --g_liveTasks;
  }
  idle_.notify_all();
}

bool Download::AllEnded() const {
  return std::all_of(tasks_.begin(), tasks_.end(), [](const Started& s) { return s.ended; });
}

// Their threads no longer need the lock, so joining under it cannot block them.
void Download::ReapEndedTasks() {
  auto ended = std::stable_partition(tasks_.begin(), tasks_.end(), [](const Started& s) { return !s.ended; });
  for (auto it = ended; it != tasks_.end(); ++it) it->task->Join();
  tasks_.erase(ended, tasks_.end());
}

Logical StartDownload(Download& download, const TaskParam& param) {
  auto url = ParseUrl(param.url);
  if (!url) return false;
  std::lock_guard guard(download.lock_);
  download.ReapEndedTasks();
  if (download.current_) return false;
  TaskParam copy = param;
  copy.mode |= kModeDownload;
  // The object outlives the task's thread: its destructor joins it.
  auto task = std::make_shared<Task>(copy, std::move(*url), [&download](const Task& t) { download.TaskEnded(t); });
  ++g_liveTasks;
  if (!task->Launch()) {
    --g_liveTasks;
    return false;
  }
  download.current_ = task;
  download.tasks_.push_back({std::move(task)});
  return true;
}

std::int32_t ReadTransferCounter(Download& download) {
  auto task = download.Current();
  return task ? task->TakeTransferCounter() : 0;
}

Logical GetTaskSnapshot(Download& download, ByteSet& snapshot) {
  auto task = download.Current();
  if (!task) return false;
  snapshot = task->Snapshot();
  return true;
}

std::int32_t SnapshotValue(const Download&, const ByteSet& snapshot, std::int32_t item,
                           std::optional<std::int32_t> block) {
  return ReadSnapshotItem(snapshot, item, block);
}

void StopDownload(Download& download) {
  auto task = download.Current();
  if (!task) return;
  task->Stop();
  {
    std::lock_guard guard(download.lock_);
    if (download.current_ == task) download.current_.reset();
  }
  download.idle_.notify_all();
}

bool WaitUntilIdle(Download& download, std::int32_t timeoutMs) {
  std::unique_lock lock(download.lock_);
  bool idle = download.idle_.wait_for(lock, std::chrono::milliseconds(std::max<std::int32_t>(timeoutMs, 0)),
                                      [&] { return download.AllEnded(); });
  if (idle) download.ReapEndedTasks();
  return idle;
}

bool ChangeTaskFileName(TaskRef task, TextView path) {
  return task != 0 && reinterpret_cast<Task*>(task)->ChangeFileName(path);
}

void ShutdownDownloadService() {
  // A task or a lookup still running keeps the socket library it uses.
  if (g_liveTasks.load() == 0 && !LookupsRunning()) platform::NetShutdown();
}

}  // namespace tavrel::download

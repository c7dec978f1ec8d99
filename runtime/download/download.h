// The download service: fetches one file from an address into a local file
// over several parallel connections, and reports progress to the caller's
// routines.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <condition_variable>
#include <vector>

#include "runtime/value.h"

namespace tavrel::download {

enum EventCode : std::int32_t {
  kTransferStarted = 3,  // value3: total size
  kTaskEnded = 4,        // value3: bytes stored
  kWorkerStarted = 5,
  kBlockBegun = 6,       // value3: position, value4: end of the block (exclusive)
  kBlockTakenOver = 7,   // value3: position, value4: end of the block (exclusive)
  kWorkerSucceeded = 8,  // value3: position reached
  kWorkerFailed = 9,     // value3: position reached
  kDataReceived = 16,    // value3: new bytes
  kFileExists = 18,      // value3: size of the existing file, value4: total size
};

// Answers to kFileExists.
enum FileExistsAnswer : std::int32_t { kRenameItself = 0, kAbandon = 1, kNameChanged = 2 };

enum LogLevel : std::int32_t { kLogProgress = 0, kLogRequest = 1, kLogResponse = 2, kLogError = 3 };

// A task is identified to the routines by an opaque reference, valid only
// while a routine runs; a connection by its number (1 for the first).
using TaskRef = std::intptr_t;

// routine(code, connection, value3, value4, task); the result counts for
// kFileExists only.
using EventRoutine = std::function<std::int32_t(std::int32_t code, std::int32_t connection, std::int32_t value3,
                                                std::int32_t value4, TaskRef task)>;
// routine(connection, time text, message, level, task).
using LogRoutine = std::function<void(std::int32_t connection, const Text& time, const Text& message,
                                      std::int32_t level, TaskRef task)>;

// Task modes. kModeDownload is always set by StartDownload. With
// kModeUpload as well, the task sends the local file to the address instead
// (FTP only, over one connection): progress events count the bytes sent,
// TaskEnded the bytes the server holds, and a broken connection resumes from
// the size the server reports.
inline constexpr std::int32_t kModeDownload = 0x1000;
inline constexpr std::int32_t kModeUpload = 0x2000;

struct TaskParam {
  std::int32_t mode = 1;
  Text url;
  Text localPath;  // ends with a path separator: a folder, the name comes from the server
  Text ftpUser = "anonymous";
  Text ftpPassword = "anonymous@example.com";
  std::int32_t connections = 1;
  std::int32_t speedLimit = 0;  // bytes per second over all connections, 0 none
  std::int32_t connectTimeoutMs = 20000;
  std::int32_t sendTimeoutMs = 20000;
  std::int32_t receiveTimeoutMs = 20000;
  std::int32_t stopWaitMs = 1000;
  std::int32_t readChunk = 20480;
  std::int32_t option13 = 1024;
  LogRoutine logRoutine;
  EventRoutine eventRoutine;
  Text option16;
  std::int32_t ftpTransferType = 1;  // 1 binary, 3 by extension, else text
  Text binaryExtensions = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";
  Text proxy;    // host or host:port
  Text referer;  // empty: the address up to its last "/"
};

// A download a user waits on: waits short enough that a dead server is
// given up within seconds, and reads of 200 KiB. The installer download
// runs with it, and the fetch tool too, so that the benchmark measures the
// program's own settings.
TaskParam InteractiveTaskParam(Text url, Text localPath, std::int32_t connections);

class Task;

// Holds at most one running task. Destroying it stops that task and waits
// for every task thread it started; never destroy it from one of its own
// routines.
class Download {
 public:
  Download();
  ~Download();
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

 private:
  friend Logical StartDownload(Download&, const TaskParam&);
  friend std::int32_t ReadTransferCounter(Download&);
  friend Logical GetTaskSnapshot(Download&, ByteSet&);
  friend void StopDownload(Download&);
  friend bool WaitUntilIdle(Download&, std::int32_t);

  struct Started {
    std::shared_ptr<Task> task;
    bool ended = false;  // its thread has sent TaskEnded and is leaving
  };

  std::shared_ptr<Task> Current();
  // Told by the task's thread as its last act.
  void TaskEnded(const Task& task);
  bool AllEnded() const;
  // Joins the threads of ended tasks; the caller holds lock_.
  void ReapEndedTasks();

  std::mutex lock_;
  std::condition_variable idle_;
  std::shared_ptr<Task> current_;
  // Every task whose thread has not been joined yet, running or stopped.
  std::vector<Started> tasks_;
};

// False at once when a task runs already, the address cannot be parsed or a
// thread cannot be started; otherwise the task runs on its own threads.
Logical StartDownload(Download& download, const TaskParam& param);

// Bytes received since the last call (then reset); 0 when no task runs.
std::int32_t ReadTransferCounter(Download& download);

// Replaces the variable's byte set with a new snapshot of the running task.
Logical GetTaskSnapshot(Download& download, ByteSet& snapshot);

// Items: 1 total size, 2 bytes stored, 3 block count, 4/5/6 start/length/
// bytes stored of the 1-based block; -1 for a corrupt snapshot or a bad item.
std::int32_t SnapshotValue(const Download& download, const ByteSet& snapshot, std::int32_t item,
                           std::optional<std::int32_t> block = std::nullopt);

void StopDownload(Download& download);

// Waits until no task thread of this object is left (the last task has sent
// kTaskEnded and closed its file). False when the time ran out.
bool WaitUntilIdle(Download& download, std::int32_t timeoutMs);

// While a kFileExists routine runs: the name under which the download goes
// on after the answer kNameChanged. False for a task that is not asking.
bool ChangeTaskFileName(TaskRef task, TextView path);

// Told at the end of the program, after the program's own clean-up.
void ShutdownDownloadService();

// The pause before a connection retries (5000 ms) and the retries each
// connection may make (999). Tests shorten them.
void SetRetryDelayMs(std::int32_t ms);
std::int32_t RetryDelayMs();
void SetRetryLimit(std::int32_t retries);
std::int32_t RetryLimit();

}  // namespace tavrel::download

// Records what the download service tells its routines, for the tests.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "runtime/download/download.h"

namespace tavrel::testing {

struct RecordedEvent {
  std::int32_t code, connection, value3, value4;
};

struct RecordedLog {
  std::int32_t connection;
  std::string time, text;
  std::int32_t level;
};

class DownloadRecorder {
 public:
  // Points the record's routines at this recorder. When download is given,
  // each DataReceived also takes a snapshot and keeps its bytes stored.
  void Attach(download::TaskParam& param, download::Download* download = nullptr);

  // Answers kFileExists (default: abandon, as the program does).
  std::function<std::int32_t(std::int32_t existingSize, std::int32_t total, download::TaskRef task)> onFileExists;

  // Waits for kTaskEnded.
  bool WaitForEnd(int timeoutMs);
  // Waits until the condition (asked again after each event and log line)
  // holds.
  bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

  std::vector<RecordedEvent> Events() const;
  std::vector<std::int32_t> Codes() const;
  std::vector<RecordedLog> Logs() const;
  int Count(std::int32_t code) const;
  std::int64_t DataReceivedSum() const;
  bool HasLog(const std::string& text, std::int32_t level) const;
  // kTaskEnded's value3.
  std::optional<std::int32_t> EndedValue() const;
  // The largest bytes-stored value seen in DataReceived snapshots.
  std::int32_t LargestSnapshotDone() const;
  // Every log line, one per row, for failure messages.
  std::string LogText() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;  // an event or a log line was recorded
  std::vector<RecordedEvent> events_;
  std::vector<RecordedLog> logs_;
  std::optional<std::int32_t> endedValue_;
  std::int32_t snapshotDone_ = -1;
};

}  // namespace tavrel::testing

#include "tests/support/download_recorder.h"

#include <chrono>

namespace tavrel::testing {

void DownloadRecorder::Attach(download::TaskParam& param, download::Download* download) {
  param.eventRoutine = [this, download](std::int32_t code, std::int32_t connection, std::int32_t v3, std::int32_t v4,
                                        download::TaskRef task) -> std::int32_t {
    std::int32_t answer = 1;
    if (code == download::kFileExists && onFileExists) answer = onFileExists(v3, v4, task);
    std::int32_t done = -1;
    if (code == download::kDataReceived && download) {
      ByteSet snapshot;
      if (download::GetTaskSnapshot(*download, snapshot)) done = download::SnapshotValue(*download, snapshot, 2);
    }
    {
      std::lock_guard guard(lock_);
      events_.push_back({code, connection, v3, v4});
      if (done > snapshotDone_) snapshotDone_ = done;
      if (code == download::kTaskEnded) endedValue_ = v3;
    }
    changed_.notify_all();
    return answer;
  };
  param.logRoutine = [this](std::int32_t connection, const Text& time, const Text& text, std::int32_t level,
                            download::TaskRef) {
    {
      std::lock_guard guard(lock_);
      logs_.push_back({connection, time, text, level});
    }
    changed_.notify_all();
  };
}

bool DownloadRecorder::WaitForEnd(int timeoutMs) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return endedValue_.has_value(); });
}

bool DownloadRecorder::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  // The condition reads the recorder through its own locked accessors.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock lock(lock_);
  while (true) {
    lock.unlock();
    if (condition()) return true;
    lock.lock();
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
      lock.unlock();
      return condition();
    }
  }
}

std::vector<RecordedEvent> DownloadRecorder::Events() const {
  std::lock_guard guard(lock_);
  return events_;
}

std::vector<std::int32_t> DownloadRecorder::Codes() const {
  std::lock_guard guard(lock_);
  std::vector<std::int32_t> codes;
  for (const auto& e : events_) codes.push_back(e.code);
  return codes;
}

std::vector<RecordedLog> DownloadRecorder::Logs() const {
  std::lock_guard guard(lock_);
  return logs_;
}

int DownloadRecorder::Count(std::int32_t code) const {
  std::lock_guard guard(lock_);
  int n = 0;
  for (const auto& e : events_) n += e.code == code;
  return n;
}

std::int64_t DownloadRecorder::DataReceivedSum() const {
  std::lock_guard guard(lock_);
  std::int64_t sum = 0;
  for (const auto& e : events_)
    if (e.code == download::kDataReceived) sum += e.value3;
  return sum;
}

bool DownloadRecorder::HasLog(const std::string& text, std::int32_t level) const {
  std::lock_guard guard(lock_);
  for (const auto& l : logs_)
    if (l.text == text && l.level == level) return true;
  return false;
}

std::optional<std::int32_t> DownloadRecorder::EndedValue() const {
  std::lock_guard guard(lock_);
  return endedValue_;
}

std::int32_t DownloadRecorder::LargestSnapshotDone() const {
  std::lock_guard guard(lock_);
  return snapshotDone_;
}

std::string DownloadRecorder::LogText() const {
  std::lock_guard guard(lock_);
  std::string out;
  for (const auto& l : logs_) {
    if (l.level == 1 || l.level == 2) continue;  // requests and headers are long
    out += '[';
    out += std::to_string(l.connection);
    out += '/';
    out += std::to_string(l.level);
    out += "] ";
    out += l.text;
    out += '\n';
  }
  return out;
}

}  // namespace tavrel::testing

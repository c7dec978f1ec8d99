// tavrel-fetch [--connections N] URL FILE
//
// Downloads URL into FILE (a FILE ending in "/" is a folder: the server's
// name for the file is used) with the download service, shows progress when
// stderr is a terminal, prints the service's error lines to stderr, and
// exits 0 only when every byte was stored.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "runtime/download/download.h"
#include "tools/tavrel-fetch/terminal.h"

namespace {

using namespace tavrel;
using namespace tavrel::download;

std::atomic<bool> g_interrupted{false};

void Interrupted(int) { g_interrupted = true; }

int Usage() {
  std::fprintf(stderr, "usage: tavrel-fetch [--connections N] URL FILE\n");
  return 2;
}

struct Outcome {
  std::mutex lock;
  std::condition_variable changed;
  std::optional<std::int32_t> total;   // from TransferStarted
  std::optional<std::int32_t> stored;  // from TaskEnded
  bool fileExisted = false;
};

}  // namespace

int main(int argc, char** argv) {
  int connections = 5;
  int arg = 1;
  if (arg < argc && std::strcmp(argv[arg], "--connections") == 0) {
    if (arg + 1 >= argc) return Usage();
    char* end = nullptr;
    long n = std::strtol(argv[arg + 1], &end, 10);
    if (*end != '\0' || n < 1 || n > 64) return Usage();
    connections = static_cast<int>(n);
    arg += 2;
  }
  if (argc - arg != 2) return Usage();

  Outcome outcome;
  TaskParam param = InteractiveTaskParam(argv[arg], argv[arg + 1], connections);
  param.eventRoutine = [&outcome](std::int32_t code, std::int32_t, std::int32_t value3, std::int32_t,
                                  TaskRef) -> std::int32_t {
    if (code != kTransferStarted && code != kTaskEnded && code != kFileExists) return 1;
    std::lock_guard guard(outcome.lock);
    if (code == kTransferStarted) outcome.total = value3;
    if (code == kTaskEnded) outcome.stored = value3;
    if (code == kFileExists) outcome.fileExisted = true;
    outcome.changed.notify_all();
    return kAbandon;  // never write over a file that is there
  };
  param.logRoutine = [](std::int32_t connection, const Text& time, const Text& message, std::int32_t level, TaskRef) {
    if (level != kLogError) return;
    std::fprintf(stderr, "\r\033[K[%d] %s %s\n", connection, fetch::TerminalText(time).c_str(),
                 fetch::TerminalText(message).c_str());
  };

  fetch::OnInterrupt(&Interrupted);

  Download download;
  if (!StartDownload(download, param)) {
    std::fprintf(stderr, "tavrel-fetch: cannot start: %s\n", param.url.c_str());
    return 1;
  }
  const bool showProgress = fetch::ErrorsGoToTerminal();
  auto started = std::chrono::steady_clock::now();
  bool stopped = false;
  {
    std::unique_lock lock(outcome.lock);
    while (!outcome.stored) {
      outcome.changed.wait_for(lock, std::chrono::milliseconds(250));
      if (g_interrupted && !stopped) {
        lock.unlock();
        StopDownload(download);
        lock.lock();
        stopped = true;
      }
      if (showProgress && !outcome.stored) {
        lock.unlock();
        ByteSet snapshot;
        if (GetTaskSnapshot(download, snapshot)) {
          std::int32_t total = SnapshotValue(download, snapshot, 1);
          std::int32_t done = SnapshotValue(download, snapshot, 2);
          double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
          std::fprintf(stderr, "\r\033[K%s",
                       fetch::ProgressLine(done, total, seconds > 0 ? done / seconds : 0).c_str());
        }
        lock.lock();
      }
    }
  }
  WaitUntilIdle(download, 60000);
  if (showProgress) std::fprintf(stderr, "\r\033[K");

  std::lock_guard guard(outcome.lock);
  if (outcome.fileExisted) std::fprintf(stderr, "tavrel-fetch: %s exists already\n", param.localPath.c_str());
  bool complete = outcome.total && outcome.stored && *outcome.stored == *outcome.total;
  if (!complete) {
    if (outcome.total)
      std::fprintf(stderr, "tavrel-fetch: incomplete: %d of %d bytes stored\n", outcome.stored.value_or(0),
                   *outcome.total);
    else
      std::fprintf(stderr, "tavrel-fetch: failed\n");
    return 1;
  }
  return 0;
}

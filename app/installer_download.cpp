#include "app/installer_download.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include "app/handlers.h"
#include "app/installer_files.h"
#include "app/installer_trust.h"
#include "app/main_window_ids.h"
#include "app/settings.h"
#include "runtime/controls.h"
#include "runtime/convert.h"
#include "runtime/program_end.h"
#include "runtime/system.h"
#include "runtime/text.h"
#include "sysinfo/bitness.h"

namespace tavrel::app {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

constexpr char kFailedMessage[] = "下载失败";

// How a task ended, as the progress tick sees it.
enum class Outcome : int { None, Running, Complete, Incomplete };

// What one started task has done. Each start gets a record of its own, which
// only that task's events reach: a task that ended just before a start can
// never lend its size to the next one, whose ending would then remove a file
// it did not make.
struct TaskRecord {
  explicit TaskRecord(Text taskFile) : file(std::move(taskFile)) {}
  // The file the task writes, for the tick that starts it and for removing
  // it when it did not finish.
  const Text file;
  // The task's size once it has created its file; TaskEnded compares the
  // bytes stored with it.
  std::atomic<std::int64_t> totalSize{-1};
  std::atomic<Outcome> outcome{Outcome::Running};
};

struct DownloadState {
  download::Download service;
  download::TaskParam param;
  Text lastAddress;
  Text lastFile;
  std::atomic<std::int32_t> percent{0};
  ByteSet lastSnapshot;  // written only by the event routine, on the task thread
  std::mutex taskLock;
  std::shared_ptr<TaskRecord> task;  // the last task that started
};

std::unique_ptr<DownloadState> g_state;
// The state a task was still using when the program ended, kept for it and
// never freed while the task may run (nor by the process's own end).
DownloadState* g_abandoned = nullptr;

// How long the end of the program waits, after the stop's own wait, for the
// task thread to close the file and end.
constexpr std::int32_t kEndGraceMs = 1000;

DownloadState& State() {
  if (!g_state) CreateProgramState();
  return *g_state;
}

constexpr InstallerRow kRows[] = {
    {"/jdk-8u271-windows-x64.exe", "jdk-8u271-windows-x64.exe"},
    // The 32-bit installer is stored under the x64 name, and started by it.
    {"/jdk-8u271-windows-i586.exe", "jdk-8u271-windows-x64.exe"},
    {"/jdk-11.0.9_windows-x64_bin.exe", "jdk-11.0.9_windows-x64_bin.exe"},
};

Text DownloadFolder() { return ConcatText({RunDirectory(), TextView(&kSeparator, 1), "download"}); }

std::int32_t ShowFailure() { return ShowMessageBox(kFailedMessage, 0); }

void StopTimer() { SetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval, 0); }

// The download service's event routine for one task; answers 1 in every case.
std::int32_t DownloadEvent(DownloadState& s, TaskRecord& task, std::int32_t code, std::int32_t value3);

}  // namespace

void CreateProgramState() {
  if (g_state) return;
  g_state = std::make_unique<DownloadState>();
  OnProgramEnd(&ReleaseProgramState);
}

void ReleaseProgramState(std::int32_t) {
  // A state an earlier end left to its task goes once that task has ended.
  if (g_abandoned && download::WaitUntilIdle(g_abandoned->service, kEndGraceMs)) {
    std::unique_ptr<DownloadState> ended(std::exchange(g_abandoned, nullptr));
  }
  if (!g_state) return;
  // The task's threads call the event routine, which touches this state: it
  // may go only once they have ended. A file the stop left unfinished is
  // removed by TaskEnded like any other unfinished one.
  download::StopDownload(g_state->service);
  if (!download::WaitUntilIdle(g_state->service, kEndGraceMs)) {
    // A connection still waits in the routine (the FileExists box is open):
    // the program ends without waiting for it, and the state it will touch
    // when the box closes is never freed.
    g_abandoned = g_state.release();
    return;
  }
  g_state.reset();
}

bool ChooseInstaller(std::int32_t selection, bool system64Bit, InstallerRow* row) {
  if (selection == 0) {
    *row = system64Bit ? kRows[0] : kRows[1];
    return true;
  }
  if (selection == 1) {
    *row = kRows[2];
    return true;
  }
  return false;
}

std::int32_t DownloadPercent() { return State().percent.load(); }

Logical StartInstallerDownload(TextView address, TextView file, std::int32_t speedLimit, std::int32_t connections) {
  DownloadState& s = State();
  s.lastAddress = Text(address);
  s.lastFile = Text(file);
  s.percent = 0;

  download::TaskParam& p = s.param;
  p = download::InteractiveTaskParam(s.lastAddress, s.lastFile, connections == 0 ? 5 : connections);
  p.speedLimit = speedLimit;
  p.logRoutine = [](std::int32_t, const Text&, const Text&, std::int32_t, download::TaskRef) {};

  // The new task's first events may come before StartDownload returns: its
  // record exists before it starts. A refused start leaves the running
  // task's record in place.
  // The routine keeps to the state the task was started with, which outlives
  // it (see ReleaseProgramState).
  auto record = std::make_shared<TaskRecord>(s.lastFile);
  p.eventRoutine = [record, &s](std::int32_t code, std::int32_t, std::int32_t value3, std::int32_t, download::TaskRef) {
    return DownloadEvent(s, *record, code, value3);
  };
  Logical started = download::StartDownload(s.service, p);
  if (started) {
    std::lock_guard guard(s.taskLock);
    s.task = std::move(record);
  }
  return started;
}

namespace {

std::int32_t DownloadEvent(DownloadState& s, TaskRecord& task, std::int32_t code, std::int32_t value3) {
  switch (code) {
    case download::kFileExists:
      ShowMessageBox("本地目录已有此文件  ", mbflag::kIconWarning, TextView("友情提醒"));
      return 1;
    case download::kTransferStarted:
      // The task has created its file: from here on an unfinished end
      // leaves a file to remove.
      task.totalSize = value3;
      return 1;
    case download::kDataReceived: {
      download::ReadTransferCounter(s.service);
      if (!download::GetTaskSnapshot(s.service, s.lastSnapshot)) return 1;
      std::int32_t total = download::SnapshotValue(s.service, s.lastSnapshot, 1);
      std::int32_t stored = download::SnapshotValue(s.service, s.lastSnapshot, 2);
      // Only a consistent snapshot moves the bar.
      if (total > 0 && stored >= 0 && stored <= total)
        s.percent = static_cast<std::int32_t>(TruncateToInteger(static_cast<double>(stored) * 100.0 / total));
      return 1;
    }
    case download::kTaskEnded: {
      std::int64_t total = task.totalSize.load();
      bool complete = total > 0 && value3 == total;
      // The task made this file and did not finish it: never leave a part
      // of an installer where the next click would find "a file already
      // there", or where it could be started.
      if (!complete && total >= 0) platform::RemoveFile(task.file);
      task.outcome = complete ? Outcome::Complete : Outcome::Incomplete;
      return 1;
    }
    default: return 1;
  }
}

}  // namespace

void DownloadClicked() {
  SetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressVisible, true);
  std::int32_t selection = GetControlProperty(kMainWindow, ctl::kReleaseBox, prop::kComboSelection).AsInt();
  InstallerRow row{};
  if (!ChooseInstaller(selection, selection == 0 && sysinfo::IsSystem64Bit() == 1, &row)) return;

  Text folder = DownloadFolder();
  platform::MakeFolder(folder);
  Text file = ConcatText({folder, TextView(&kSeparator, 1), row.localName});
  Text address = ConcatText({"http://", DownloadHost(), ":", ToText(DownloadPort()), row.serverPath});

  if (StartInstallerDownload(address, file, 0, 0) == 1)
    SetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval, 1000);
  else
    ShowFailure();
}

void ProgressTick() {
  DownloadState& s = State();
  std::int32_t percent = s.percent.load();
  SetControlProperty(kMainWindow, ctl::kProgressBar, prop::kProgressPosition, percent);
  SetControlProperty(kMainWindow, ctl::kPercentLabel, prop::kLabelCaption, ConcatText({ToText(percent), "%"}));

  std::shared_ptr<TaskRecord> task;
  {
    std::lock_guard guard(s.taskLock);
    task = s.task;
  }
  if (!task) return;
  Outcome outcome = task->outcome.load();
  if (outcome == Outcome::Incomplete) {
    // A task that ended without every byte is a failed download, not a
    // percentage to watch for ever.
    task->outcome = Outcome::None;
    StopTimer();
    ShowFailure();
    return;
  }
  // The installer starts once its task has ended with every byte stored and
  // its file closed, whatever the release box shows by then.
  if (percent != 100 || outcome != Outcome::Complete) return;
  task->outcome = Outcome::None;
  // Stopped first: the refusal's message box would otherwise let the next
  // tick in while it is open.
  StopTimer();
  // The file came over plain HTTP and this program runs as administrator:
  // only an installer its expected signer made is started (quoted); any
  // other is removed and reported by the check.
  if (StartVerifiedInstaller(task->file) == InstallerCheck::Busy) {
    // Someone still has it open for writing: look again on the next tick.
    task->outcome = Outcome::Complete;
    SetControlProperty(kMainWindow, ctl::kTimer, prop::kTimerInterval, 1000);
  }
}

}  // namespace tavrel::app

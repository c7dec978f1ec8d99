// Drives the real Tavrel.exe from outside, as a user would: starts the
// loopback build from a folder of its own (so its download folder belongs to
// one test), finds its main window, reads captions, chooses a release,
// clicks, and answers every message box it shows while recording it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/controls.h"
#include "runtime/win32/handles.h"
#include "tests/support/win32/child_process.h"
#include "tests/support/win32/dialog_watcher.h"

namespace tavrel::testing {

class TavrelDriver {
 public:
  // Copies the loopback build of Tavrel.exe into folder (a Windows path
  // ending in a backslash; the file keeps its name, by which the program
  // reads its own version) and starts it there. Message boxes are answered
  // answerDelayMs after they appear.
  explicit TavrelDriver(const std::string& folder, DWORD answerDelayMs = 0);
  // A program that outlived its test is ended.
  ~TavrelDriver();
  TavrelDriver(const TavrelDriver&) = delete;
  TavrelDriver& operator=(const TavrelDriver&) = delete;

  bool Started() const { return process_ && process_->Valid(); }
  const std::string& Folder() const { return folder_; }

  // The window titled "Tavrel - Orvane出品" of this process; null on time-out.
  HWND WaitForMainWindow(DWORD timeoutMs);
  HWND MainWindow() const { return main_; }
  // The child window of a control of the main window's description.
  HWND Control(ControlId id) const;

  std::wstring Caption(ControlId id) const;
  // Waits until the caption equals text; false on time-out.
  bool WaitForCaption(ControlId id, const std::wstring& text, DWORD timeoutMs) const;
  // Waits until the caption is no longer empty; false on time-out.
  bool WaitForNonEmptyCaption(ControlId id, DWORD timeoutMs) const;

  // The release box: item count, selection (-1 for none), item texts.
  int ReleaseCount() const;
  int ReleaseSelection() const;
  std::vector<std::wstring> ReleaseItems() const;
  bool SelectRelease(int index) const;

  // Posted, not sent: a handler may sit in a message box for a while.
  void Click(ControlId button) const;
  // A click at x pixels from the status bar's left end.
  void ClickStatusBar(int x) const;
  bool Visible(ControlId id) const;

  // The message boxes answered so far (OK), in order.
  std::vector<SeenDialog> Dialogs() const;
  bool WaitForDialogs(std::size_t count, DWORD timeoutMs) const;

  // Closes the main window and collects the exit code; nothing on time-out.
  std::optional<DWORD> Close(DWORD timeoutMs);
  // Waits for the program to end by itself.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs);

 private:
  std::string folder_;
  // Ends the program with the test process, should the test itself die.
  win32::UniqueKernelHandle job_;
  std::unique_ptr<ChildProcess> process_;
  std::unique_ptr<DialogWatcher> watcher_;
  HWND main_ = nullptr;
  bool ended_ = false;
};

// The loopback build of Tavrel.exe in the build tree.
std::string LoopbackTavrelPath();

// True in a 64-bit Windows (a 32-bit test process under WOW64 included).
bool WindowsIs64Bit();

// Polls the condition until it holds; false on time-out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Waits until a file exists; false on time-out.
bool WaitForFile(const std::string& path, DWORD timeoutMs);

}  // namespace tavrel::testing

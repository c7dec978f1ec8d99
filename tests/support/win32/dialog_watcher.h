// Finds message boxes (#32770 dialogs) shown by this or another process,
// records their title and text, and answers them with a button, as a user
// would. Runs on its own thread while a test waits for a blocking call.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavrel::testing {

struct SeenDialog {
  std::wstring title;
  std::wstring text;
  DWORD processId;
};

class DialogWatcher {
 public:
  // Answers every dialog of the process (0: any process) with the button id,
  // answerDelayMs after it was seen (time for a test to look at the program
  // while the box is up).
  explicit DialogWatcher(DWORD processId = 0, int button = IDOK, DWORD answerDelayMs = 0);
  ~DialogWatcher();
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;

  std::vector<SeenDialog> Seen() const;
  // Waits until at least count dialogs were answered; false on time-out.
  bool WaitFor(std::size_t count, DWORD timeoutMs) const;

 private:
  void Run();

  DWORD processId_;
  int button_;
  DWORD answerDelayMs_;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  std::vector<SeenDialog> seen_;
  std::vector<HWND> answered_;
  std::thread thread_;
};

// The text of a window (WM_GETTEXT works across processes).
std::wstring WindowText(HWND hwnd);

}  // namespace tavrel::testing

#include "tests/support/win32/dialog_watcher.h"

#include <algorithm>

namespace tavrel::testing {
namespace {

struct Search {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectDialogs(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  wchar_t cls[16] = {};
  ::GetClassNameW(hwnd, cls, 16);
  if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(hwnd)) return TRUE;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (search->processId == 0 || pid == search->processId) search->found.push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK FindStaticText(HWND child, LPARAM param) {
  wchar_t cls[16] = {};
  ::GetClassNameW(child, cls, 16);
  if (_wcsicmp(cls, L"Static") == 0) {
    std::wstring text = WindowText(child);
    if (!text.empty()) {
      *reinterpret_cast<std::wstring*>(param) = text;
      return FALSE;
    }
  }
  return TRUE;
}

}  // namespace

std::wstring WindowText(HWND hwnd) {
  wchar_t buffer[4096] = {};
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, nullptr);
  return buffer;
}

DialogWatcher::DialogWatcher(DWORD processId, int button, DWORD answerDelayMs)
    : processId_(processId), button_(button), answerDelayMs_(answerDelayMs), thread_([this] { Run(); }) {}

DialogWatcher::~DialogWatcher() {
  stop_ = true;
  thread_.join();
}

void DialogWatcher::Run() {
  struct Pending {
    HWND dialog;
    DWORD due;
  };
  std::vector<Pending> pending;
  while (!stop_) {
    Search search{processId_, {}};
    ::EnumWindows(&CollectDialogs, reinterpret_cast<LPARAM>(&search));
    for (HWND dialog : search.found) {
      {
        std::lock_guard guard(lock_);
        if (std::find(answered_.begin(), answered_.end(), dialog) != answered_.end()) continue;
      }
      SeenDialog seen{WindowText(dialog), {}, 0};
      ::EnumChildWindows(dialog, &FindStaticText, reinterpret_cast<LPARAM>(&seen.text));
      ::GetWindowThreadProcessId(dialog, &seen.processId);
      {
        std::lock_guard guard(lock_);
        answered_.push_back(dialog);
        seen_.push_back(seen);
      }
      pending.push_back({dialog, ::GetTickCount() + answerDelayMs_});
    }
    const DWORD now = ::GetTickCount();
    std::erase_if(pending, [&](const Pending& p) {
      if (static_cast<LONG>(now - p.due) < 0) return false;
      ::PostMessageW(p.dialog, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
      return true;
    });
    ::Sleep(30);
  }
}

std::vector<SeenDialog> DialogWatcher::Seen() const {
  std::lock_guard guard(lock_);
  return seen_;
}

bool DialogWatcher::WaitFor(std::size_t count, DWORD timeoutMs) const {
  DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < timeoutMs) {
    {
      std::lock_guard guard(lock_);
      if (seen_.size() >= count) return true;
    }
    ::Sleep(20);
  }
  return false;
}

}  // namespace tavrel::testing

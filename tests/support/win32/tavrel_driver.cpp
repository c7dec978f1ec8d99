#include "tests/support/win32/tavrel_driver.h"

#include "app/main_window_ids.h"
#include "app/window_description.h"
#include "tests/support/test_paths.h"

namespace tavrel::testing {
namespace {

// The program numbers its child windows from 100 in the order of its
// window description.
constexpr int kFirstChildId = 100;
constexpr UINT kAnswerWithin = 2000;

int ChildIdOf(ControlId id) {
  const auto& controls = app::MainWindowDescription().controls;
  for (std::size_t i = 0; i < controls.size(); ++i)
    if (controls[i].id == id) return kFirstChildId + static_cast<int>(i);
  return -1;
}

LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerWithin, &result)) return -1;
  return static_cast<LRESULT>(result);
}

struct FindMain {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param) {
  auto* find = reinterpret_cast<FindMain*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == find->processId && WindowText(hwnd) == L"Tavrel - Orvane出品") {
    find->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(25);
  }
}

std::string LoopbackTavrelPath() {
  std::string path = "Z:" + BinaryDir() + "/e2e/Tavrel.exe";
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool WindowsIs64Bit() {
  if (sizeof(void*) == 8) return true;
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

bool WaitForFile(const std::string& path, DWORD timeoutMs) {
  return WaitUntil([&] { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
}

TavrelDriver::TavrelDriver(const std::string& folder, DWORD answerDelayMs) : folder_(folder) {
  const std::string exe = folder_ + "Tavrel.exe";
  if (!::CopyFileA(LoopbackTavrelPath().c_str(), exe.c_str(), FALSE)) return;
  process_ = std::make_unique<ChildProcess>("\"" + exe + "\"");
  if (!process_->Valid()) return;
  job_.Reset(::CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job_ && ::SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
    ::AssignProcessToJobObject(job_.Get(), process_->Handle());
  if (process_->Valid()) watcher_ = std::make_unique<DialogWatcher>(process_->Id(), IDOK, answerDelayMs);
}

TavrelDriver::~TavrelDriver() {
  if (Started() && !ended_ && !process_->Wait(0)) {
    process_->Kill();
    process_->Wait(5000);
  }
  watcher_.reset();
}

HWND TavrelDriver::WaitForMainWindow(DWORD timeoutMs) {
  if (!Started()) return nullptr;
  FindMain find{process_->Id(), nullptr};
  WaitUntil(
      [&] {
        ::EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&find));
        return find.found != nullptr;
      },
      timeoutMs);
  main_ = find.found;
  return main_;
}

HWND TavrelDriver::Control(ControlId id) const {
  int childId = ChildIdOf(id);
  return main_ && childId >= 0 ? ::GetDlgItem(main_, childId) : nullptr;
}

std::wstring TavrelDriver::Caption(ControlId id) const {
  HWND control = Control(id);
  return control ? WindowText(control) : std::wstring();
}

bool TavrelDriver::WaitForCaption(ControlId id, const std::wstring& text, DWORD timeoutMs) const {
  return WaitUntil([&] { return Caption(id) == text; }, timeoutMs);
}

bool TavrelDriver::WaitForNonEmptyCaption(ControlId id, DWORD timeoutMs) const {
  return WaitUntil([&] { return !Caption(id).empty(); }, timeoutMs);
}

int TavrelDriver::ReleaseCount() const {
  HWND box = Control(app::ctl::kReleaseBox);
  return box ? static_cast<int>(Ask(box, CB_GETCOUNT)) : -1;
}

int TavrelDriver::ReleaseSelection() const {
  HWND box = Control(app::ctl::kReleaseBox);
  return box ? static_cast<int>(Ask(box, CB_GETCURSEL)) : -2;
}

std::vector<std::wstring> TavrelDriver::ReleaseItems() const {
  std::vector<std::wstring> items;
  HWND box = Control(app::ctl::kReleaseBox);
  const int count = ReleaseCount();
  for (int i = 0; box && i < count; ++i) {
    // The system carries the text of a box that keeps strings across
    // processes, as it does for WM_GETTEXT.
    LRESULT length = Ask(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
    if (length < 0 || length > 1024) {
      items.emplace_back();
      continue;
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = Ask(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    items.push_back(text);
  }
  return items;
}

bool TavrelDriver::SelectRelease(int index) const {
  HWND box = Control(app::ctl::kReleaseBox);
  return box && Ask(box, CB_SETCURSEL, static_cast<WPARAM>(index)) == index;
}

void TavrelDriver::Click(ControlId button) const {
  if (HWND control = Control(button)) ::PostMessageW(control, BM_CLICK, 0, 0);
}

void TavrelDriver::ClickStatusBar(int x) const {
  HWND bar = Control(app::ctl::kStatusBar);
  if (!bar) return;
  const LPARAM point = MAKELPARAM(x, 10);
  ::PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, point);
  ::PostMessageW(bar, WM_LBUTTONUP, 0, point);
}

bool TavrelDriver::Visible(ControlId id) const {
  HWND control = Control(id);
  return control && (::GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::vector<SeenDialog> TavrelDriver::Dialogs() const {
  return watcher_ ? watcher_->Seen() : std::vector<SeenDialog>{};
}

bool TavrelDriver::WaitForDialogs(std::size_t count, DWORD timeoutMs) const {
  return watcher_ && watcher_->WaitFor(count, timeoutMs);
}

std::optional<DWORD> TavrelDriver::Close(DWORD timeoutMs) {
  if (!Started()) return std::nullopt;
  if (main_) ::PostMessageW(main_, WM_CLOSE, 0, 0);
  return WaitForExit(timeoutMs);
}

std::optional<DWORD> TavrelDriver::WaitForExit(DWORD timeoutMs) {
  if (!Started()) return std::nullopt;
  auto code = process_->Wait(timeoutMs);
  if (code) ended_ = true;
  return code;
}

}  // namespace tavrel::testing

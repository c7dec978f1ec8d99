// The main window without a window system: the same description, the same
// control identifiers and property numbers, events fired by the caller and
// message boxes recorded and answered by it. Handlers run on it unchanged,
// so their logic is tested on any host.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "app/window_description.h"
#include "runtime/controls.h"
#include "runtime/system.h"

namespace tavrel::app::headless {

struct MessageBoxCall {
  Text message;
  std::uint32_t flags;  // as passed to the platform (task-modal bit added)
  Text title;
  WindowHandle owner;
};

class HeadlessWindow final : public UiHost, public MessageHost {
 public:
  explicit HeadlessWindow(const WindowDescription& description = MainWindowDescription());
  ~HeadlessWindow() override;
  HeadlessWindow(const HeadlessWindow&) = delete;
  HeadlessWindow& operator=(const HeadlessWindow&) = delete;

  // Makes this the window the control and message-box services reach, until
  // destruction.
  void Install();
  // Builds every control with its initial properties; with fireCreated, then
  // runs the window's created event as start-up does.
  void Create(bool fireCreated = true);

  // User actions.
  void Click(ControlId control);            // event 0 of a button
  void PressLeftButton(ControlId control);  // event -1
  void SelectItem(ControlId combo, std::int32_t index);
  // One tick of a timer, when its interval is not 0; false when it is stopped.
  bool Tick(ControlId timer);

  // What the window shows.
  Text Caption(ControlId control);
  std::vector<Text> ComboItems(ControlId combo) const;
  std::int32_t Int(ControlId control, int property);

  // Message boxes: recorded in order; the answer is a platform button id
  // (IDOK 1 ... IDNO 7), IDOK unless the test says otherwise. Safe to call
  // from any thread.
  std::vector<MessageBoxCall> MessageBoxes() const;
  void ClearMessageBoxes();
  void AnswerMessageBoxesWith(std::function<std::int32_t(const MessageBoxCall&)> answer);

  PropertyValue GetControlProperty(WindowId window, ControlId control, int property) override;
  void SetControlProperty(WindowId window, ControlId control, int property, const PropertyValue& value) override;
  std::int32_t ComboInsertItem(WindowId window, ControlId control, std::int32_t index, const Text& text,
                               std::int32_t itemData) override;

  std::int32_t MessageBox(const Text& message, std::uint32_t flags, const Text& title, WindowHandle owner) override;
  void ProcessEvents() override {}

 private:
  struct Control {
    const ControlDescription* description;
    std::map<int, PropertyValue> properties;
    std::vector<std::pair<Text, std::int32_t>> items;  // combo boxes
  };

  Control* Find(ControlId id);
  const Control* Find(ControlId id) const;
  void Fire(ControlId control, int event);

  const WindowDescription& description_;
  std::vector<Control> controls_;
  bool installed_ = false;

  mutable std::mutex boxLock_;
  std::vector<MessageBoxCall> boxes_;
  std::function<std::int32_t(const MessageBoxCall&)> answer_;
};

}  // namespace tavrel::app::headless

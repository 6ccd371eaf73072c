// The dialog's four buttons are Command windows; its pictures come from dialog_art.rc.
#include "saver/dialog/dialog_buttons.h"

#include "command_window.h"

namespace sorvane::saver {

namespace {

class CommandButton : public DialogButton {
 public:
  explicit CommandButton(CommandWindow* w) : hwnd_(w->hwnd()) {}
  // The window owns its CommandWindow and deletes it when destroyed: look it up each time.
  void Initialize() override {
    if (CommandWindow* w = CommandWindow::FromWindow(hwnd_)) w->control().Initialize();
  }
  // Only the control's own flag: disabling the window as well would take the
  // focus away while the control ignores focus, and leave its state stuck.
  void SetEnabled(bool enabled) override {
    if (CommandWindow* w = CommandWindow::FromWindow(hwnd_)) w->control().Enabled(enabled);
  }
  bool Enabled() const override {
    CommandWindow* w = CommandWindow::FromWindow(hwnd_);
    return w != nullptr && w->control().EnabledFlag() != 0;
  }
  HWND Window() const override { return hwnd_; }

 private:
  HWND hwnd_;
};

}  // namespace

std::unique_ptr<DialogButton> CreateDialogButton(HWND parent, const TwipRect& at, const char* caption,
                                                 std::function<void()> onClick) {
  CommandWindow* w = CommandWindow::Create(parent, 0, CommandWindow::Place{at.left, at.top, at.width, at.height},
                                           caption, DefaultCaptionFont());
  if (!w) return nullptr;
  w->control().Click = std::move(onClick);
  // The caption as window text too, so the button can be found by what it says.
  SetWindowTextA(w->hwnd(), caption);
  return std::make_unique<CommandButton>(w);
}

const char* DialogIconResource() { return "SORVANE"; }
const char* OptionPictureResource(int selected) { return selected ? "OPTION_ON" : "OPTION_OFF"; }

}  // namespace sorvane::saver

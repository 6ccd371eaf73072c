// What the dialog's window needs from the Command buttons and the embedded pictures.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "saver/dialog/dialog_model.h"

namespace sorvane::saver {

// One Command button on the dialog.
class DialogButton {
 public:
  virtual ~DialogButton() = default;
  virtual void Initialize() = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual HWND Window() const = 0;
};

// A Command child of `parent` at a place in twips, with the labels' font.
std::unique_ptr<DialogButton> CreateDialogButton(HWND parent, const TwipRect& at, const char* caption,
                                                 std::function<void()> onClick);

// Resource names of the window icon and of the option pictures (0 unselected, 1 selected).
const char* DialogIconResource();
const char* OptionPictureResource(int selected);

}  // namespace sorvane::saver

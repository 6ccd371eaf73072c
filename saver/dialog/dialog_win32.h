// The Win32 window of the settings dialog. ShowSettingsDialog (dialog.h) runs it
// modally; tests in the same process can open it without a message loop of its own.
#pragma once
#include <windows.h>

namespace sorvane::saver {

class SettingsDialogWindow;

// Creates the dialog, runs its load and shows it. Returns null when the window
// cannot be created. The window destroys itself when it unloads.
SettingsDialogWindow* OpenSettingsDialog();
HWND SettingsDialogHandle(const SettingsDialogWindow* dialog);
// Runs the message loop until the dialog's window has gone, then frees it.
void RunSettingsDialog(SettingsDialogWindow* dialog);
// The dialog's keys, as any dialog has them: Tab and Shift+Tab move the focus,
// Escape closes as the cancel button does. True when `msg` was one of them.
bool SettingsDialogKey(SettingsDialogWindow* dialog, const MSG& msg);

// COM for the shell calls of this thread while it lives: apartment-threaded,
// without the old OLE 1 DDE, as the shell asks of its callers. A thread whose
// COM was already set up otherwise keeps it; the guard undoes only its own
// initialisation.
class ShellApartment {
 public:
  ShellApartment();
  ~ShellApartment();
  ShellApartment(const ShellApartment&) = delete;
  ShellApartment& operator=(const ShellApartment&) = delete;
  bool Initialised() const { return initialised_; }

 private:
  bool initialised_;
};

}  // namespace sorvane::saver

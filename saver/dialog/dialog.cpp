// The /c path: the settings dialog, modal, with no owner. Returns when it has closed.
#include "saver/dialog/dialog.h"

#include "saver/dialog/dialog_win32.h"

namespace sorvane::saver {

void ShowSettingsDialog() {
  // The homepage button opens the address through the shell, which may hand
  // it to extensions that need COM on this thread.
  const ShellApartment apartment;
  RunSettingsDialog(OpenSettingsDialog());
}

}  // namespace sorvane::saver

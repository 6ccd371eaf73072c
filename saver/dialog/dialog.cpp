// The /c path: the settings dialog, modal, with no owner. Returns when it has closed.
#include "saver/dialog/dialog.h"

#include "saver/dialog/dialog_win32.h"

namespace sorvane::saver {

void ShowSettingsDialog() { RunSettingsDialog(OpenSettingsDialog()); }

}  // namespace sorvane::saver

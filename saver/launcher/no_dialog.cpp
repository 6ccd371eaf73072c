// Until the settings dialog is built, /c closes at once after the engine check.
#include "saver/dialog/dialog.h"

namespace sorvane::saver {

void ShowSettingsDialog() {}

}  // namespace sorvane::saver

// The settings dialog, shown modally after /c. Returns when it has closed.
#pragma once

namespace sorvane::saver {

void ShowSettingsDialog();

}  // namespace sorvane::saver

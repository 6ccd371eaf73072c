#include "saver/launcher/main.h"

#include "saver/launcher/main_text.h"
#include "saver/settings/numbers.h"

namespace sorvane::saver {

std::string SwitchLetter(const std::string& command_line) {
  return Cp932CharAt(UpperAscii(command_line), 1);
}

int32_t PreviewParentHandle(const std::string& command_line) {
  int32_t handle = 0;  // stays 0 when the number does not fit
  ParseLenientHandle(Cp932From(command_line, 3), &handle);
  return handle;
}

StartupOutcome Main(StartupPort& port, const std::string& command_line,
                    const std::string& program_folder) {
  // Both searches are made, whatever the first one found.
  const bool saver_running = port.WindowExists(kSaverMarker);
  const bool dialog_running = port.WindowExists(kDialogMarker);
  if (saver_running || dialog_running) {
    port.EndProgram();
    return StartupOutcome::Ended;
  }

  const std::string letter = SwitchLetter(command_line);
  if (letter == "P") {
    port.StartPreview(PreviewParentHandle(command_line));
    return StartupOutcome::Preview;
  }

  port.LoadSettings();

  if (!port.FileExists(program_folder + "\\Sorvane.dll")) {
    port.ShowMessage(kMissingEngineMessage);
    port.EndProgram();
    return StartupOutcome::Ended;
  }

  if (letter == "C") {
    port.ShowSettingsDialog();
    port.EndProgram();
    return StartupOutcome::Ended;
  }

  if (letter != "S" && !command_line.empty()) {
    port.EndProgram();
    return StartupOutcome::Ended;
  }

  if (letter == "S") port.HideCursor();
  port.LoadSaverForm();
  return StartupOutcome::Saver;
}

}  // namespace sorvane::saver

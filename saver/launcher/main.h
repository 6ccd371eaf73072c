// Start-up of Sorvane.scr: the instance check, the screen-saver switch and the
// hand-over to exactly one mode (preview, settings dialog or saver run).
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

// Application title: the caption of message boxes that have none of their own.
inline constexpr char kAppTitle[] = "Sorvane (ScreenSaver)";
// Window titles that mark a running saver run or settings dialog.
inline constexpr char kSaverMarker[] = "Sorvane_Main";
inline constexpr char kDialogMarker[] = "<Sorvane>";
// "Sorvane.dll が Sorvane.scr と同じﾌｫﾙﾀﾞに見つかりません！"
inline constexpr char kMissingEngineMessage[] =
    "Sorvane.dll \x82\xAA Sorvane.scr \x82\xC6\x93\xAF\x82\xB6\xCC\xAB\xD9\xC0\xDE\x82\xC9"
    "\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x49";

// The second character of the upper-cased command line; empty when the line
// has fewer than two characters. "/s", "-S", "/Saver" all give "S".
std::string SwitchLetter(const std::string& command_line);

// The preview parent handle: the number read leniently from the fourth
// character on. No number, or one that does not fit 32 bits, gives 0.
int32_t PreviewParentHandle(const std::string& command_line);

// What start-up needs from the platform, in the order it uses it.
class StartupPort {
 public:
  virtual ~StartupPort() = default;
  virtual bool WindowExists(const std::string& title) = 0;    // a top-level window with this title
  virtual void StartPreview(int32_t parent) = 0;              // loads and shows the preview form
  virtual void LoadSettings() = 0;                            // the three music settings
  virtual bool FileExists(const std::string& path) = 0;
  virtual void ShowMessage(const std::string& text) = 0;      // OK only, no icon, app title caption
  virtual void ShowSettingsDialog() = 0;                      // modal; returns once closed
  virtual void HideCursor() = 0;
  virtual void LoadSaverForm() = 0;                           // loads the hidden saver form
  virtual void EndProgram() = 0;                              // does not return on a real platform
};

enum class StartupOutcome {
  Ended,    // EndProgram was called
  Preview,  // the preview form lives on
  Saver,    // the saver form lives on
};

// The start-up sequence. `program_folder` has no trailing backslash.
StartupOutcome Main(StartupPort& port, const std::string& command_line,
                    const std::string& program_folder);

}  // namespace sorvane::saver

// Small operations and program-wide values that several parts of the saver share.
// Text is code page 932 bytes throughout.
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

// The folder of the running saver program, without a trailing backslash.
// Set by Main at start-up (tests set it themselves).
extern std::string ProgramFolder;

struct ZoomPoint {
  int16_t x = 0;
  int16_t y = 0;
};
extern ZoomPoint ZoomOrigin;   // where the dialog zooms out of and back into
extern int32_t LastResult;     // result of the last window or profile call stored here

// True when the file can be opened for reading. A single trailing backslash
// is dropped first; folders, empty or malformed paths give false. Never throws.
bool FileExists(const std::string& path);

// Caption-style zoom from ZoomOrigin to the window and back (Windows only;
// the window is an HWND passed as an integer so this header needs no OS header).
void ZoomOpen(std::uintptr_t window);
void ZoomClose(std::uintptr_t window);

}  // namespace sorvane::saver

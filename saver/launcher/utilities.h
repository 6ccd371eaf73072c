// Small operations and program-wide values that several parts of the saver share.
// Text is code page 932 bytes throughout.
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

// The folder of the running saver program, without a trailing backslash.
// Set by Main at start-up (tests set it themselves).
extern std::string ProgramFolder;
// The same folder in UTF-16, exact whatever code page 932 can hold (Windows;
// empty elsewhere). ProgramFolder is its code page 932 text; the files in the
// folder are opened and started by this name.
extern std::wstring ProgramFolderW;

struct ZoomPoint {
  int16_t x = 0;
  int16_t y = 0;
};
extern ZoomPoint ZoomOrigin;   // where the dialog zooms out of and back into
extern int32_t LastResult;     // result of the last window or profile call stored here

// True when the file can be opened for reading. A single trailing backslash
// is dropped first; folders, empty or malformed paths give false. Never throws.
bool FileExists(const std::string& path);

// The path without its last character when that is a backslash character; a
// 0x5C that ends a two-byte character (as in 表, 95 5C) is no backslash.
std::string WithoutTrailingBackslash(const std::string& path);

// Caption-style zoom from ZoomOrigin to the window and back (Windows only;
// the window is an HWND passed as an integer so this header needs no OS header).
void ZoomOpen(std::uintptr_t window);
void ZoomClose(std::uintptr_t window);

// The two window calls the zoom needs, so the zoom can be tested with a fake.
struct ZoomRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
class ZoomPort {
 public:
  virtual ~ZoomPort() = default;
  virtual void GetWindowRect(std::uintptr_t window, ZoomRect* rect) = 0;  // rect stays as given on failure
  virtual void DrawAnimatedRects(std::uintptr_t window, int animation, const ZoomRect& from,
                                 const ZoomRect& to) = 0;
};
constexpr int kIdaniCaption = 3;  // IDANI_CAPTION
ZoomPort& PlatformZoomPort();
void ZoomOpenWith(ZoomPort& port, std::uintptr_t window);
void ZoomCloseWith(ZoomPort& port, std::uintptr_t window);

}  // namespace sorvane::saver

#include "utilities.h"

#include "profile.h"

namespace sorvane::saver {

std::string ProgramFolder;
std::wstring ProgramFolderW;
ZoomPoint ZoomOrigin;
int32_t LastResult = 0;

namespace {

ZoomRect PointRect() {
  ZoomRect r;
  r.left = r.right = ZoomOrigin.x;
  r.top = r.bottom = ZoomOrigin.y;
  return r;
}

}  // namespace

// The window calls' results are not looked at: a window that has gone simply
// gets no animation.
void ZoomOpenWith(ZoomPort& port, std::uintptr_t window) {
  ZoomRect from = PointRect();
  ZoomRect to;
  port.GetWindowRect(window, &to);
  port.DrawAnimatedRects(window, kIdaniCaption, from, to);
}

void ZoomCloseWith(ZoomPort& port, std::uintptr_t window) {
  ZoomRect from;
  port.GetWindowRect(window, &from);
  ZoomRect to = PointRect();
  port.DrawAnimatedRects(window, kIdaniCaption, from, to);
}

std::string WithoutTrailingBackslash(const std::string& path) {
  bool last_is_backslash = false;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    last_is_backslash = c == '\\';
    if (profile::IsLeadByte(c) && i + 1 < path.size()) ++i;
  }
  return last_is_backslash ? path.substr(0, path.size() - 1) : path;
}

void ZoomOpen(std::uintptr_t window) { ZoomOpenWith(PlatformZoomPort(), window); }
void ZoomClose(std::uintptr_t window) { ZoomCloseWith(PlatformZoomPort(), window); }

}  // namespace sorvane::saver

#include "display_layout.h"

namespace sorvane::engine {
namespace {

bool Empty(const ScreenRect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Inside(const ScreenRect& inner, const ScreenRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

}  // namespace

bool MonitorLayout::operator==(const MonitorLayout& o) const {
  if (!(animation == o.animation) || coverCount != o.coverCount) return false;
  for (int i = 0; i < coverCount; ++i) {
    if (!(covers[i] == o.covers[i])) return false;
  }
  return true;
}

MonitorLayout LayOutMonitors(const ScreenRect* monitors, int count, int primary, const ScreenRect& screen) {
  MonitorLayout layout;
  layout.animation = screen;
  if (count <= 0) return layout;
  if (primary < 0 || primary >= count) primary = 0;
  if (!Empty(monitors[primary]) && Inside(monitors[primary], screen)) layout.animation = monitors[primary];
  for (int i = 0; i < count && layout.coverCount < kMaxCoverWindows; ++i) {
    const ScreenRect& m = monitors[i];
    if (Empty(m) || Inside(m, layout.animation)) continue;
    layout.covers[layout.coverCount++] = m;
  }
  return layout;
}

}  // namespace sorvane::engine

// Where the engine's windows go on the monitors that are there now: the
// animation on the primary monitor, black covers over every other one. Both
// hosts ask again whenever the monitors change.
#pragma once
#include <cstdint>

namespace sorvane::engine {

struct ScreenRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool operator==(const ScreenRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// More monitors than this on one desktop are not covered beyond the first ones.
constexpr int kMaxCoverWindows = 16;

struct MonitorLayout {
  ScreenRect animation;  // the primary monitor, or the whole screen
  ScreenRect covers[kMaxCoverWindows];
  int coverCount = 0;
  bool operator==(const MonitorLayout& o) const;
  bool operator!=(const MonitorLayout& o) const { return !(*this == o); }
};

// `monitors` as the system lists them, `primary` the index of the primary
// one (-1: the first). The animation takes the primary monitor unless it is
// empty or leaves `screen`; then the whole screen. Covers go over every
// other monitor that does not lie wholly inside the animation (a monitor
// mirroring the primary one already shows it), in the system's order.
MonitorLayout LayOutMonitors(const ScreenRect* monitors, int count, int primary, const ScreenRect& screen);

}  // namespace sorvane::engine

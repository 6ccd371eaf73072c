// The host pieces both platforms share: when a frame waits, and where the
// windows go on the monitors there are.
#include <gtest/gtest.h>

#include "display_layout.h"
#include "host.h"

namespace sorvane::engine {
namespace {

// A fake clock in milliseconds at 60 Hz (16 ms interval, 2 ms slack): each
// row is a frame begun at `begun` whose swap came back at `swapped`, and the
// wait asked for right after it.
TEST(FramePacer, WaitsOutTheIntervalOnlyWhenSwapsReturnEarly) {
  struct Row {
    const char* what;
    int64_t begun, swapped, wait;
  };
  const Row rows[] = {
      {"swap returns at once: the rest of the interval", 0, 1, 15},
      {"drawn after the wait, swap at once again", 16, 19, 13},
      {"vertical sync: the swap held it a whole interval", 32, 48, 0},
      {"a vertical blank a little early still counts", 48, 62, 0},
      {"just past the slack: paced", 62, 75, 3},
      {"a slow frame: the next one at once", 78, 120, 0},
      {"fast again", 120, 124, 12},
  };
  FramePacer pacer;
  pacer.SetInterval(16);
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    pacer.FrameShown(r.begun, r.swapped);
    EXPECT_EQ(pacer.Remaining(r.swapped), r.wait);
    EXPECT_EQ(pacer.Remaining(r.swapped + r.wait), 0);
    if (r.wait > 1) {
      EXPECT_EQ(pacer.Remaining(r.swapped + r.wait - 1), 1);
    }
  }
  EXPECT_EQ(UsableRefreshHz(0), kDefaultRefreshHz);  // Windows' "default hardware rate"
  EXPECT_EQ(UsableRefreshHz(1), kDefaultRefreshHz);
  EXPECT_EQ(UsableRefreshHz(143.9), 143.9);
}

// The layouts the two-monitor desktops go through, and odd ones.
TEST(MonitorLayout, AnimationOnThePrimaryCoversOnEveryOtherMonitor) {
  const ScreenRect screen{0, 0, 2048, 768};
  const ScreenRect left{0, 0, 1024, 768}, right{1024, 0, 2048, 768}, small{0, 0, 800, 600};
  {
    SCOPED_TRACE("side by side, the primary on the right");
    const ScreenRect m[] = {left, right};
    const MonitorLayout l = LayOutMonitors(m, 2, 1, screen);
    EXPECT_EQ(l.animation, right);
    ASSERT_EQ(l.coverCount, 1);
    EXPECT_EQ(l.covers[0], left);
  }
  {
    SCOPED_TRACE("the second switched off, the primary shrunk");
    const ScreenRect m[] = {small};
    const MonitorLayout l = LayOutMonitors(m, 1, 0, ScreenRect{0, 0, 800, 600});
    EXPECT_EQ(l.animation, small);
    EXPECT_EQ(l.coverCount, 0);
  }
  {
    SCOPED_TRACE("a mirror, an overlap, negative coordinates, an empty one, no primary flag");
    const ScreenRect m[] = {left, {-1280, -200, 0, 824}, small, {512, 384, 1536, 1152}, {3000, 0, 3000, 768}};
    const MonitorLayout l = LayOutMonitors(m, 5, -1, ScreenRect{-1280, -200, 1536, 1152});
    EXPECT_EQ(l.animation, left);
    ASSERT_EQ(l.coverCount, 2);
    EXPECT_EQ(l.covers[0], (ScreenRect{-1280, -200, 0, 824}));
    EXPECT_EQ(l.covers[1], (ScreenRect{512, 384, 1536, 1152}));
  }
  {
    SCOPED_TRACE("no monitors, or a primary outside the screen: the whole screen");
    EXPECT_EQ(LayOutMonitors(nullptr, 0, 0, screen).animation, screen);
    const ScreenRect m[] = {{1024, 0, 3072, 768}};
    EXPECT_EQ(LayOutMonitors(m, 1, 0, screen).animation, screen);
  }
  ScreenRect many[kMaxCoverWindows + 4];
  for (int i = 0; i < kMaxCoverWindows + 4; ++i) many[i] = ScreenRect{i * 100, 0, i * 100 + 100, 100};
  const MonitorLayout l = LayOutMonitors(many, kMaxCoverWindows + 4, 0, ScreenRect{0, 0, 5000, 100});
  EXPECT_EQ(l.coverCount, kMaxCoverWindows);
  EXPECT_NE(l, LayOutMonitors(many, 3, 0, ScreenRect{0, 0, 5000, 100}));
  EXPECT_EQ(l, LayOutMonitors(many, kMaxCoverWindows + 4, 0, ScreenRect{0, 0, 5000, 100}));
}

TEST(ExtensionList, WholeNamesOnly) {
  EXPECT_TRUE(ExtensionListed("GLX_EXT_swap_control_tear GLX_EXT_swap_control", "GLX_EXT_swap_control"));
  EXPECT_FALSE(ExtensionListed("GLX_EXT_swap_control_tear GLX_SGI_swap_control", "GLX_EXT_swap_control"));
  EXPECT_FALSE(ExtensionListed("XGLX_EXT_swap_control", "GLX_EXT_swap_control"));
  EXPECT_FALSE(ExtensionListed(nullptr, "A"));
  EXPECT_FALSE(ExtensionListed("A", ""));
}

}  // namespace
}  // namespace sorvane::engine

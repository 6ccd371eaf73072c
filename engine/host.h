// The engine's side of every host: what it asks of the platform (HostPort),
// the frame clock, the viewport, Escape and the frame pacing. Each platform
// file keeps its window, its events and its waiting; this is written once.
#pragma once
#include <cstdint>

#include "render.h"

namespace sorvane::engine {

// Window, swap and clock of one platform.
class HostPort : public RenderPort {
 public:
  virtual int64_t Now() = 0;  // a monotonic count, CountsPerSecond() a second
  virtual int64_t CountsPerSecond() = 0;
  virtual void SwapFrameBuffers() = 0;
};

// Refresh rate assumed where the system gives none (or nonsense).
constexpr double kDefaultRefreshHz = 60.0;
double UsableRefreshHz(double hz);

// Where swaps come back before the display could have shown the frame (no
// vertical sync: a driver that ignores it, software GL, a virtual display),
// the next frame waits out the rest of the refresh interval. Where swaps
// wait for the display, a frame takes about an interval and nothing is added.
class FramePacer {
 public:
  void SetInterval(int64_t counts) { interval_ = counts; }
  int64_t Interval() const { return interval_; }
  // A frame begun at `begun` has been swapped at `swapped`.
  void FrameShown(int64_t begun, int64_t swapped);
  // How long to wait at `now` before the next frame; 0: draw it now.
  int64_t Remaining(int64_t now) const { return now < notBefore_ ? notBefore_ - now : 0; }

 private:
  int64_t interval_ = 0;
  int64_t notBefore_ = 0;
};

class EngineHost {
 public:
  // Right after the window is made: the frame clock counts from here.
  void TakeStartCount(HostPort& port);
  // With the GL context current, once the window is shown: the GL state of
  // the frame and the pacing interval.
  void SetUpFrames(double refreshHz);
  void SetRefreshRate(double hz);
  // Client size and the animation's lower-left corner in GL coordinates.
  void Resize(int32_t width, int32_t height, int32_t x = 0, int32_t y = 0);
  // The viewport again, for a context made current after the last Resize.
  void ApplyViewport();
  void Escape();  // the puffs fade out, then the window closes
  // One frame: clock, drawing, swap.
  void PaintFrame();
  // Counts to wait before the next frame may be drawn; 0 before the start.
  int64_t CountsBeforeNextFrame();
  const HostState& State() const { return state_; }

 private:
  HostPort* port_ = nullptr;
  HostState state_;
  int32_t viewportX_ = 0, viewportY_ = 0;
  int64_t startCount_ = 0;
  FramePacer pacer_;
};

// True when `name` is one whole entry of the blank-separated `list` (a
// longer name that merely starts with it does not count).
bool ExtensionListed(const char* list, const char* name);

}  // namespace sorvane::engine

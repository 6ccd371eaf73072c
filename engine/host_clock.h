// The frame clock shared by the engine hosts: a 64-bit tick count since the
// window was made, turned into the two float clocks a frame reads.
#pragma once
#include <cmath>
#include <cstdint>

#include "render.h"
#include "scene.h"

namespace sorvane::engine {

// Where the next frame's step starts from: t as frameTime holds it (rounded to
// float) for the first 8192 s. Past that a float's grid keeps growing coarser
// (steps jitter by 15 ms at 3 days and go negative at 6), so from there t is
// kept on the 2^-11 s grid that floats have just below 8192 s; in a double
// that grid holds for centuries.
inline double FrameClockGrid(double t) {
  if (t < 8192.0) return static_cast<double>(static_cast<float>(t));
  return std::nearbyint(t * 2048.0) / 2048.0;
}

// t is taken from the whole 64-bit difference in double; frameDt is the
// unrounded t minus the previous frame's rounded time, so a step is off by one
// rounding at most, however long the saver has run.
inline void AdvanceFrameClock(HostState& host, int64_t now, int64_t start, int64_t frequency) {
  const DefaultFloatState floatState;
  const double previous = host.frameClock;
  const double t = static_cast<double>(now - start) / static_cast<double>(frequency);
  host.frameTime = static_cast<float>(t);
  host.frameClock = FrameClockGrid(t);
  host.frameDt = static_cast<float>(t - previous);
}

}  // namespace sorvane::engine

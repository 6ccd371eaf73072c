// The frame clock shared by the engine hosts: a 64-bit tick count since the
// window was made, turned into the two float clocks a frame reads.
#pragma once
#include <cstdint>

#include "render.h"

namespace sorvane::engine {

// t is taken from the whole 64-bit difference in double; frameDt is the
// unrounded t minus the previous float frameTime, so rounding never adds up.
inline void AdvanceFrameClock(HostState& host, int64_t now, int64_t start, int64_t frequency) {
  const float previous = host.frameTime;
  const double t = static_cast<double>(now - start) / static_cast<double>(frequency);
  host.frameTime = static_cast<float>(t);
  host.frameDt = static_cast<float>(t - previous);
}

}  // namespace sorvane::engine

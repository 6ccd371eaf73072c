// One frame of the engine: projection, simulation step, additive puffs.
// OpenGL 1.1 immediate mode plus gluOrtho2D; shared by every host.
#pragma once
#include <cstdint>

namespace sorvane::engine {

// What the host owns and the frame reads.
struct HostState {
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  float frameTime = 0.0f;  // seconds from the start count to the latest frame
  float frameDt = 0.0f;    // seconds between the latest two frames
  double frameClock = 0.0;  // frameTime as the next step counts from it (host_clock.h)
};

// The two things a frame asks of its window.
class RenderPort {
 public:
  virtual ~RenderPort() = default;
  virtual void SetTitle(const char* title) = 0;  // SetWindowTextA / XStoreName
  virtual void PostClose() = 0;                  // PostMessageA(WM_CLOSE) / its X11 twin
};

constexpr const char* kEngineWindowName = "SorvaneVC";

// Called once, with the GL context current. Always returns true.
bool SetupGlState(const HostState& host);
void ApplyProjection(float aspect);
void RenderFrame(const HostState& host, RenderPort& port);
void DrawPuff(float cx, float cy, float rx, float ry, float a);

}  // namespace sorvane::engine

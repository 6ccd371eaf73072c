// One frame: keep the projection matched to the window's shape, advance the
// scene, clear, and add every live puff onto the black picture as a soft
// hexagonal fan. Shared by every host; the host only swaps the buffers.
#include "render.h"

#include "gl_include.h"
#include "scene.h"

namespace sorvane::engine {
namespace {

// The smallest area that is always visible is x in -4/3..4/3, y in -1..1.
constexpr double kMinHalfWidth = 4.0 / 3.0;

// The aspect ratio for which the projection was last loaded.
float lastAspect = 0.0f;
// frameTime at the last title refresh; taken at the first frame.
float lastTitleTime = 0.0f;
bool firstFrame = true;

// A window of zero width or height has no shape to project onto; it keeps
// whatever projection it had (fallback). Any usable ratio is finite and > 0.
float UsableAspect(const HostState& host, float fallback) {
  if (host.clientWidth <= 0 || host.clientHeight <= 0) return fallback;
  return static_cast<float>(host.clientWidth) / static_cast<float>(host.clientHeight);
}

void LoadProjection(float aspect) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  ApplyProjection(aspect);
}

}  // namespace

void ApplyProjection(float aspect) {
  const double a = aspect;
  if (a <= kMinHalfWidth) {
    gluOrtho2D(-kMinHalfWidth, kMinHalfWidth, -kMinHalfWidth / a, kMinHalfWidth / a);
  } else {
    gluOrtho2D(-a, a, -1.0, 1.0);
  }
}

bool SetupGlState(const HostState& host) {
  // Before the window has a usable size, show the 4:3 area.
  const float aspect = UsableAspect(host, static_cast<float>(kMinHalfWidth));
  LoadProjection(aspect);
  lastAspect = aspect;

  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  // Neither test is ever enabled; set for completeness of the state.
  glCullFace(GL_FRONT);
  glDepthFunc(GL_LESS);

  // Additive: each fragment adds its colour times its alpha.
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);

  SceneState& scene = Scene();
  scene.simTime = 0.0f;
  ResetScene(scene);

  firstFrame = true;
  return true;
}

void RenderFrame(const HostState& host, RenderPort& port) {
  const float aspect = UsableAspect(host, lastAspect);
  if (aspect != lastAspect) {
    LoadProjection(aspect);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    lastAspect = aspect;
  }

  if (firstFrame) {
    lastTitleTime = host.frameTime;
    firstFrame = false;
  }
  if (host.frameTime - lastTitleTime >= 1.0f) {
    port.SetTitle(kEngineWindowName);
    lastTitleTime = host.frameTime;
  }

  SceneState& scene = Scene();
  scene.simTime += host.frameDt;
  UpdateScene(scene, scene.simTime, host.frameDt);

  glClear(GL_COLOR_BUFFER_BIT);

  if (scene.stopRequested && scene.pool.count == 0) port.PostClose();

  glEnable(GL_BLEND);
  const int32_t count = scene.pool.count;
  for (int32_t i = 0; i < count; ++i) {
    const Puff& p = scene.pool.puffs[i];
    // A puff born with a negative size has no real opacity (NaN): it shows
    // nothing rather than whatever the rasteriser makes of a NaN blend.
    if (p.radiusX != 0.0f && p.alpha == p.alpha) {
      DrawPuff(p.screenX, p.screenY, p.radiusX, p.radiusY, p.alpha);
    }
  }
  glDisable(GL_BLEND);
}

void DrawPuff(float cx, float cy, float rx, float ry, float a) {
  const float h = 0.8660254f;  // sqrt(3)/2
  const float hx = 0.5f * rx;
  const float hy = h * ry;
  glBegin(GL_TRIANGLE_FAN);
  glColor4f(1.0f, 1.0f, 1.0f, a);
  glVertex2f(cx, cy);
  glColor4f(1.0f, 1.0f, 1.0f, 0.0f);
  glVertex2f(cx - rx, cy);
  glVertex2f(cx - hx, cy + hy);
  glVertex2f(cx + hx, cy + hy);
  glVertex2f(cx + rx, cy);
  glVertex2f(cx + hx, cy - hy);
  glVertex2f(cx - hx, cy - hy);
  glVertex2f(cx - rx, cy);
  glEnd();
}

}  // namespace sorvane::engine

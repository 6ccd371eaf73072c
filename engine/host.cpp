#include "host.h"

#include <cstring>

#include "gl_include.h"
#include "host_clock.h"
#include "scene.h"

namespace sorvane::engine {

double UsableRefreshHz(double hz) {
  // Windows reports 0 or 1 for "the hardware's default"; anything outside
  // what displays do is not believed either.
  return hz >= 20.0 && hz <= 1000.0 ? hz : kDefaultRefreshHz;
}

void FramePacer::FrameShown(int64_t begun, int64_t swapped) {
  // A frame that took nearly an interval or more was held by the swap (or
  // is simply slow): the next one may start at once. The slack lets a
  // vertical blank that comes a little early count as one.
  const int64_t slack = interval_ / 8;
  notBefore_ = swapped - begun >= interval_ - slack ? swapped : begun + interval_;
}

void EngineHost::TakeStartCount(HostPort& port) {
  port_ = &port;
  startCount_ = port.Now();
}

void EngineHost::SetUpFrames(double refreshHz) {
  SetRefreshRate(refreshHz);
  SetupGlState(state_);
}

void EngineHost::SetRefreshRate(double hz) {
  if (port_ == nullptr) return;
  pacer_.SetInterval(static_cast<int64_t>(static_cast<double>(port_->CountsPerSecond()) / UsableRefreshHz(hz)));
}

void EngineHost::Resize(int32_t width, int32_t height, int32_t x, int32_t y) {
  state_.clientWidth = width;
  state_.clientHeight = height;
  viewportX_ = x;
  viewportY_ = y;
  ApplyViewport();
}

void EngineHost::ApplyViewport() {
  // The viewport needs a height; the stored one stays as reported.
  glViewport(viewportX_, viewportY_, state_.clientWidth, state_.clientHeight == 0 ? 1 : state_.clientHeight);
}

void EngineHost::Escape() { Scene().stopRequested = true; }

void EngineHost::PaintFrame() {
  const int64_t begun = port_->Now();
  AdvanceFrameClock(state_, begun, startCount_, port_->CountsPerSecond());
  RenderFrame(state_, *port_);
  port_->SwapFrameBuffers();
  pacer_.FrameShown(begun, port_->Now());
}

int64_t EngineHost::CountsBeforeNextFrame() { return port_ == nullptr ? 0 : pacer_.Remaining(port_->Now()); }

bool ExtensionListed(const char* list, const char* name) {
  if (list == nullptr || name == nullptr) return false;
  const size_t n = std::strlen(name);
  if (n == 0) return false;
  for (const char* p = list; *p != '\0';) {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end != '\0' && *end != ' ') ++end;
    if (static_cast<size_t>(end - p) == n && std::memcmp(p, name, n) == 0) return true;
    p = end;
  }
  return false;
}

}  // namespace sorvane::engine

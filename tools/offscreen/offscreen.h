// Frames of the engine drawn without a display: an OSMesa colour buffer, a
// window port that records what a frame asks of its window, fixed time-step
// sequences, and PNG files. Used by the offscreen tool, the picture tests and
// the frame benchmark; the drawing is the engine's own RenderFrame.
#pragma once
#include <GL/osmesa.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render.h"

namespace sorvane::offscreen {

// An RGBA colour buffer with a GL context current on it.
class Surface {
 public:
  Surface(int width, int height);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool ok() const { return context_ != nullptr && current_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Gives the buffer a new size (and the viewport with it, as a host does on
  // a size change; a height of 0 gets a one-pixel-high viewport).
  void Resize(int width, int height);

  struct Rgb {
    uint8_t r, g, b;
  };
  // x from the left, y from the top. Waits for the drawing to finish.
  Rgb Pixel(int x, int y) const;
  // Top row first, 3 bytes a pixel.
  std::vector<uint8_t> RgbRows() const;
  bool WritePng(const std::string& path) const;

 private:
  OSMesaContext context_ = nullptr;
  bool current_ = false;
  int width_ = 0, height_ = 0;
  std::vector<uint8_t> buffer_;  // bottom row first, RGBA
};

// What a frame asked of its window.
class RecordingPort final : public engine::RenderPort {
 public:
  void SetTitle(const char* title) override { titles.emplace_back(title); }
  void PostClose() override { ++closes; }
  std::vector<std::string> titles;
  int closes = 0;
};

// "0.5,0.016x60": one step of 0.5 s, then 60 of 0.016 s. False (with a
// reason) on anything else; steps must be finite and not negative.
bool ParseSteps(const std::string& text, std::vector<float>* steps, std::string* error);

// The host's clocks for fixed steps: frameTime is the running sum.
class StepClock {
 public:
  void Advance(engine::HostState& host, float dt) {
    total_ += dt;
    host.frameTime = static_cast<float>(total_);
    host.frameDt = dt;
  }

 private:
  double total_ = 0.0;
};

bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb);

}  // namespace sorvane::offscreen

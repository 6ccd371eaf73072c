#include "offscreen.h"

#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "gl_include.h"

namespace sorvane::offscreen {

Surface::Surface(int width, int height) {
  context_ = OSMesaCreateContextExt(OSMESA_RGBA, 0, 0, 0, nullptr);
  if (context_) Resize(width, height);
}

Surface::~Surface() {
  if (context_) OSMesaDestroyContext(context_);
}

void Surface::Resize(int width, int height) {
  width_ = width;
  height_ = height;
  // OSMesa wants a buffer of at least one pixel; a 0-high window keeps one row.
  const int bw = width > 0 ? width : 1;
  const int bh = height > 0 ? height : 1;
  buffer_.assign(static_cast<size_t>(bw) * bh * 4, 0);
  current_ = OSMesaMakeCurrent(context_, buffer_.data(), GL_UNSIGNED_BYTE, bw, bh) == GL_TRUE;
  glViewport(0, 0, width, height == 0 ? 1 : height);
}

Surface::Rgb Surface::Pixel(int x, int y) const {
  glFinish();
  const size_t row = static_cast<size_t>(height_ - 1 - y);
  const uint8_t* p = &buffer_[(row * width_ + x) * 4];
  return {p[0], p[1], p[2]};
}

std::vector<uint8_t> Surface::RgbRows() const {
  glFinish();
  std::vector<uint8_t> rgb(static_cast<size_t>(width_) * height_ * 3);
  for (int y = 0; y < height_; ++y) {
    const uint8_t* src = &buffer_[static_cast<size_t>(height_ - 1 - y) * width_ * 4];
    uint8_t* dst = &rgb[static_cast<size_t>(y) * width_ * 3];
    for (int x = 0; x < width_; ++x) {
      dst[x * 3 + 0] = src[x * 4 + 0];
      dst[x * 3 + 1] = src[x * 4 + 1];
      dst[x * 3 + 2] = src[x * 4 + 2];
    }
  }
  return rgb;
}

bool Surface::WritePng(const std::string& path) const {
  std::vector<uint8_t> rgb = RgbRows();
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width_);
  image.height = static_cast<png_uint_32>(height_);
  image.format = PNG_FORMAT_RGB;
  const bool ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}

bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb) {
  png_image image = {};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  rgb->assign(PNG_IMAGE_SIZE(image), 0);
  const bool ok = png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr) != 0;
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  png_image_free(&image);
  return ok;
}

bool ParseSteps(const std::string& text, std::vector<float>* steps, std::string* error) {
  steps->clear();
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find(',', pos);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(pos, end - pos);
    const char* s = item.c_str();
    char* rest = nullptr;
    errno = 0;
    const float dt = std::strtof(s, &rest);
    if (item.empty() || rest == s || errno != 0 || !std::isfinite(dt) || dt < 0.0f) {
      *error = "bad time step '" + item + "'";
      return false;
    }
    long repeat = 1;
    if (*rest == 'x') {
      const char* n = rest + 1;
      errno = 0;
      repeat = std::strtol(n, &rest, 10);
      if (rest == n || errno != 0 || repeat < 1 || repeat > 1000000) {
        *error = "bad repeat count in '" + item + "'";
        return false;
      }
    }
    if (*rest != '\0') {
      *error = "bad time step '" + item + "'";
      return false;
    }
    if (steps->size() + static_cast<size_t>(repeat) > 10000000) {
      *error = "too many steps";
      return false;
    }
    steps->insert(steps->end(), static_cast<size_t>(repeat), dt);
    pos = end + 1;
  }
  return true;
}

}  // namespace sorvane::offscreen

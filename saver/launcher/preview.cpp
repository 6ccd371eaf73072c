#include "saver/launcher/preview.h"

namespace sorvane::saver {
namespace {

// tpp * pixels as a 16-bit value; 0 when it does not fit. A negative extent
// (a rectangle turned inside out) cannot size a window either.
int16_t TwipsOrZero(int twips_per_pixel, int64_t pixels) {
  const int64_t twips = static_cast<int64_t>(twips_per_pixel) * pixels;
  if (twips < 0 || twips > 32767) return 0;
  return static_cast<int16_t>(twips);
}

}  // namespace

int PreviewSize::width_px() const {
  return twips_per_pixel_x > 0 ? width_twips / twips_per_pixel_x : 0;
}
int PreviewSize::height_px() const {
  return twips_per_pixel_y > 0 ? height_twips / twips_per_pixel_y : 0;
}

PreviewSize ComputePreviewSize(const ScreenRect& rect, int twips_per_pixel_x,
                               int twips_per_pixel_y) {
  PreviewSize size;
  size.twips_per_pixel_x = twips_per_pixel_x;
  size.twips_per_pixel_y = twips_per_pixel_y;
  size.width_twips =
      TwipsOrZero(twips_per_pixel_x, int64_t{rect.right} - rect.left);
  size.height_twips =
      TwipsOrZero(twips_per_pixel_y, int64_t{rect.bottom} - rect.top);
  return size;
}

bool StartPreview(PreviewPort& port, int32_t parent) {
  const ScreenRect rect = port.GetWindowRect(parent);
  const PreviewSize size = ComputePreviewSize(rect, port.TwipsPerPixelX(), port.TwipsPerPixelY());
  port.LoadForm();
  port.SetFormStyle(port.GetFormStyle() | kWsChild);
  port.SetFormParent(parent);
  port.PlaceForm(0, 0, size.width_twips, size.height_twips);
  port.PlacePicture(0, 0, size.width_px(), size.height_px());
  port.ShowForm();
  return parent != 0 && port.WindowExists(parent) && port.FormIsChildOf(parent);
}

}  // namespace sorvane::saver

// Preview mode: the still picture shown inside the host's preview window.
#pragma once
#include <cstdint>

namespace sorvane::saver {

// Size of the embedded still, in pixels.
inline constexpr int kPreviewStillWidth = 152;
inline constexpr int kPreviewStillHeight = 112;
inline constexpr int32_t kWsChild = 0x40000000;

struct ScreenRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Form sizes are kept in twips as 16-bit values, as the forms store them.
// A side that does not fit stays 0.
struct PreviewSize {
  int16_t width_twips = 0;
  int16_t height_twips = 0;
  int width_px() const;
  int height_px() const;
  int twips_per_pixel_x = 15;
  int twips_per_pixel_y = 15;
};

PreviewSize ComputePreviewSize(const ScreenRect& rect, int twips_per_pixel_x,
                               int twips_per_pixel_y);

// What the preview start-up needs from the platform. The adapter keeps the
// results of the window-changing calls (in LastResult); none decides anything.
class PreviewPort {
 public:
  virtual ~PreviewPort() = default;
  virtual ScreenRect GetWindowRect(int32_t window) = 0;  // empty when it fails
  virtual int TwipsPerPixelX() = 0;
  virtual int TwipsPerPixelY() = 0;
  virtual void LoadForm() = 0;                 // creates the form, not shown
  virtual int32_t GetFormStyle() = 0;
  virtual void SetFormStyle(int32_t style) = 0;
  virtual void SetFormParent(int32_t parent) = 0;
  // Position and size of the form in twips, relative to its parent.
  virtual void PlaceForm(int x_twips, int y_twips, int width_twips, int height_twips) = 0;
  // Position and size of the picture control in pixels, inside the form.
  virtual void PlacePicture(int x, int y, int width, int height) = 0;
  virtual void ShowForm() = 0;
  virtual bool WindowExists(int32_t window) = 0;
  // Whether the form is now a child of `parent`: when it is not, the host's
  // end never reaches it.
  virtual bool FormIsChildOf(int32_t parent) = 0;
};

// Reparents the preview form into `parent`, sizes it to it and shows it.
// Returns whether the preview lives on: with no host window (handle 0 or not a
// window), or when the form did not become the host's child, nothing would
// ever end it, so the caller ends the program instead.
bool StartPreview(PreviewPort& port, int32_t parent);

}  // namespace sorvane::saver

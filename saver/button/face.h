// Painting a Command button's face: a two-colour vertical gradient, then a
// frame cut from one of six face pictures (fixed corners, stretched edges, no
// centre), then one present, so the face never shows half-drawn.
// Portable: the painting goes through the FaceCanvas port; PixelCanvas is the
// in-memory surface that tests read and the Windows adapter mirrors with GDI.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sorvane::saver {

// Positions and sizes of the saver's controls are in twips, 15 to the pixel.
constexpr int kTwipsPerPixel = 15;
// Nearest whole pixel (no ties occur: 15 is odd).
int TwipsToPixels(double twips);

using Rgb = std::uint32_t;  // 0xRRGGBB

struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // row 0 is the top row

  Image() = default;
  Image(int w, int h, Rgb fill = 0) : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
  Rgb at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
  Rgb& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
  bool operator==(const Image& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
  bool operator!=(const Image& o) const { return !(*this == o); }
};

// An uncompressed 24- or 32-bit bitmap, with or without its 14-byte file header
// (a BMP file, or a bitmap resource as the linker stores it). Anything else,
// truncated data included, gives nothing.
std::optional<Image> DecodeBmp(const std::uint8_t* data, std::size_t size);

enum class FaceId : std::uint8_t { Normal, HighLight, HighLightSelect, Pressed, Selected, Disable };
constexpr int kFaceCount = 6;
// "Normal", "HighLight", ...: the picture's file name (without .bmp) and, upper-cased
// after "FACE_", its resource name.
const char* FaceName(FaceId id);

constexpr int kFaceWidth = 64;   // pixels; 960 twips
constexpr int kFaceHeight = 25;  // pixels; 375 twips

struct FaceSet {
  std::array<Image, kFaceCount> images;
  const Image& operator[](FaceId id) const { return images[std::size_t(id)]; }
  // Every picture present with the face size.
  bool Complete() const;
};

// FaceWhite is the text "&HFFFFFF"; FaceShade the text "&HC6C5D7" with its digit
// pairs read in order as red, green, blue (not as a blue-green-red value).
constexpr Rgb kFaceWhite = 0xFFFFFF;
constexpr Rgb kFaceShade = 0xC6C5D7;

struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;
};

// One corner of a gradient: position in pixels and 16-bit channels (the 8-bit
// value in the high byte), as the system's gradient fill takes them.
struct GradientVertex {
  int x = 0, y = 0;
  std::uint16_t red = 0, green = 0, blue = 0;
};
GradientVertex MakeVertex(int x, int y, Rgb colour);

// The colour of row `pos` of a vertical gradient `len` rows long between two
// vertices (a before b): each channel (a*(len-pos) + b*pos) / len, then its high byte.
Rgb GradientRow(const GradientVertex& a, const GradientVertex& b, int pos, int len);

// The control's drawing surface, as the face painting needs it.
class FaceCanvas {
 public:
  virtual ~FaceCanvas() = default;
  virtual PixelRect Size() = 0;  // x = y = 0, w and h the client size in pixels
  virtual void Clear() = 0;
  // A rectangle gradient in vertical mode between two vertices: the rows from
  // the upper vertex's y to the lower's (excluded), the columns likewise.
  virtual void GradientFillV(const GradientVertex& v0, const GradientVertex& v1) = 0;
  // Straight copy of a rectangle of a picture, stretched to the destination.
  virtual void StretchCopy(const Image& src, const PixelRect& dst, const PixelRect& from) = 0;
  // Shows what has been painted.
  virtual void Present() = 0;
};

// Where the caption label goes, in twips.
struct LabelPlace {
  double left = 0, top = 0, width = 0, height = 0;
};

// Fills the surface with the face gradient: FaceWhite on top unless inverted.
void FillFaceGradient(FaceCanvas& canvas, bool faceInverted);

// Paints the whole face with one picture for a control W x H twips in
// `buttonState` (0..4), updating `faceInverted` by the state, and presents it
// once. Returns the caption label's new place (its height stays labelHeight).
LabelPlace DrawFace(FaceCanvas& canvas, const Image& face, std::uint8_t buttonState, bool& faceInverted,
                    int widthTwips, int heightTwips, double labelHeightTwips);

// For each of `dstLen` destination columns (rows when `rows`), the source
// column (row) of a span of `srcLen` that a colour-on-colour stretch copies:
// the system's own choice, measured, so that the portable surface matches the
// real one. Growing samples at pixel centres, ties to the lower; shrinking
// drops source lines and keeps the last of each group for columns, the first
// for rows.
std::vector<int> StretchMap(int dstLen, int srcLen, bool rows);

// An in-memory surface: what tests read, and what the Windows adapter's
// off-screen bitmap must equal.
class PixelCanvas : public FaceCanvas {
 public:
  explicit PixelCanvas(int w = 0, int h = 0) : image_(w, h, kClearColour) {}
  void Resize(int w, int h) { image_ = Image(w, h, kClearColour); }

  PixelRect Size() override { return {0, 0, image_.width, image_.height}; }
  void Clear() override;
  void GradientFillV(const GradientVertex& v0, const GradientVertex& v1) override;
  void StretchCopy(const Image& src, const PixelRect& dst, const PixelRect& from) override;
  void Present() override;

  const Image& Surface() const { return image_; }  // being painted
  const Image& Shown() const { return shown_; }    // as last presented
  int PresentCount() const { return presents_; }

  static constexpr Rgb kClearColour = 0xECE9D8;

 private:
  Image image_;
  Image shown_;
  int presents_ = 0;
};

}  // namespace sorvane::saver

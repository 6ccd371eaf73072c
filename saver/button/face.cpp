#include "face.h"

#include <algorithm>
#include <cmath>

namespace sorvane::saver {

int TwipsToPixels(double twips) { return int(std::lround(twips / kTwipsPerPixel)); }

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

}  // namespace

std::optional<Image> DecodeBmp(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr) return std::nullopt;
  std::size_t base = 0;
  std::size_t bitsOffset = 0;
  const bool withFileHeader = size >= 14 && data[0] == 'B' && data[1] == 'M';
  if (withFileHeader) {
    bitsOffset = Le32(data + 10);
    base = 14;
  }
  if (size < base + 40) return std::nullopt;
  const std::uint8_t* h = data + base;
  const std::uint32_t headerSize = Le32(h);
  if (headerSize < 40 || headerSize > size - base) return std::nullopt;
  const std::int32_t width = std::int32_t(Le32(h + 4));
  const std::int32_t rawHeight = std::int32_t(Le32(h + 8));
  const int bits = Le16(h + 14);
  const std::uint32_t compression = Le32(h + 16);
  if (Le16(h + 12) != 1 || (bits != 24 && bits != 32) || compression != 0) return std::nullopt;
  if (width <= 0 || width > 65536 || rawHeight == 0 || rawHeight < -65536 || rawHeight > 65536) return std::nullopt;
  const bool topDown = rawHeight < 0;
  const int height = topDown ? -rawHeight : rawHeight;
  if (!withFileHeader) bitsOffset = base + headerSize;  // no palette at 24 or 32 bits
  const std::size_t stride = ((std::size_t(width) * std::size_t(bits) + 31) / 32) * 4;
  if (bitsOffset < base + headerSize || bitsOffset > size || (size - bitsOffset) / stride < std::size_t(height))
    return std::nullopt;
  Image img(width, height);
  const int step = bits / 8;
  for (int row = 0; row < height; ++row) {
    const std::uint8_t* src = data + bitsOffset + std::size_t(row) * stride;
    const int y = topDown ? row : height - 1 - row;
    for (int x = 0; x < width; ++x, src += step) img.at(x, y) = Rgb(src[2]) << 16 | Rgb(src[1]) << 8 | src[0];
  }
  return img;
}

const char* FaceName(FaceId id) {
  switch (id) {
    case FaceId::Normal: return "Normal";
    case FaceId::HighLight: return "HighLight";
    case FaceId::HighLightSelect: return "HighLightSelect";
    case FaceId::Pressed: return "Pressed";
    case FaceId::Selected: return "Selected";
    case FaceId::Disable: return "Disable";
  }
  return "";
}

bool FaceSet::Complete() const {
  return std::all_of(images.begin(), images.end(),
                     [](const Image& i) { return i.width == kFaceWidth && i.height == kFaceHeight; });
}

GradientVertex MakeVertex(int x, int y, Rgb colour) {
  GradientVertex v;
  v.x = x;
  v.y = y;
  v.red = std::uint16_t(((colour >> 16) & 0xFF) << 8);
  v.green = std::uint16_t(((colour >> 8) & 0xFF) << 8);
  v.blue = std::uint16_t((colour & 0xFF) << 8);
  return v;
}

Rgb GradientRow(const GradientVertex& a, const GradientVertex& b, int pos, int len) {
  if (len <= 0) len = 1;
  auto ch = [&](std::uint16_t ca, std::uint16_t cb) {
    const std::uint64_t v = (std::uint64_t(ca) * std::uint64_t(len - pos) + std::uint64_t(cb) * std::uint64_t(pos)) /
                            std::uint64_t(len);
    return Rgb(v >> 8) & 0xFF;
  };
  return ch(a.red, b.red) << 16 | ch(a.green, b.green) << 8 | ch(a.blue, b.blue);
}

std::vector<int> StretchMap(int dstLen, int srcLen, bool rows) {
  std::vector<int> map(std::size_t(dstLen > 0 ? dstLen : 0), 0);
  if (dstLen <= 0 || srcLen <= 0) return map;
  if (dstLen >= srcLen) {
    for (int i = 0; i < dstLen; ++i)
      map[std::size_t(i)] = int((std::int64_t(2 * i + 1) * srcLen - 1) / (std::int64_t(2) * dstLen));
    return map;
  }
  // Shrinking: a Bresenham walk over the source lines; the destination line
  // moves on after each line that tips the error over zero.
  std::vector<int> advanceAt(std::size_t(dstLen), 0);
  int d = 0;
  std::int64_t err = dstLen;
  for (int s = 0; s < srcLen && d < dstLen; ++s) {
    if (err > 0) {
      advanceAt[std::size_t(d)] = s;
      ++d;
      err += 2 * std::int64_t(dstLen - srcLen);
    } else {
      err += 2 * std::int64_t(dstLen);
    }
  }
  for (int i = 0; i < dstLen; ++i) {
    if (rows) map[std::size_t(i)] = advanceAt[std::size_t(i)];
    else if (i + 1 < dstLen) map[std::size_t(i)] = advanceAt[std::size_t(i) + 1] - 1;
    else map[std::size_t(i)] = dstLen > 1 ? srcLen - 1 : srcLen - 2;
  }
  return map;
}

void FillFaceGradient(FaceCanvas& canvas, bool faceInverted) {
  const PixelRect size = canvas.Size();
  const Rgb top = faceInverted ? kFaceShade : kFaceWhite;
  const Rgb bottom = faceInverted ? kFaceWhite : kFaceShade;
  // The rectangle spans the two vertices; the fill leaves out the last row and
  // column, which the frame covers.
  canvas.GradientFillV(MakeVertex(0, 0, top), MakeVertex(size.w - 1, size.h - 1, bottom));
}

LabelPlace DrawFace(FaceCanvas& canvas, const Image& face, std::uint8_t buttonState, bool& faceInverted,
                    int widthTwips, int heightTwips, double labelHeightTwips) {
  if (buttonState == 1) faceInverted = false;
  else if (buttonState == 2) faceInverted = true;
  else if (buttonState == 3) faceInverted = false;
  // 0 and 4 keep the direction of the previous repaint.

  constexpr int C = 60;                // corner, twips
  constexpr int kSrcMidW = 960 - 2 * C;    // 840
  constexpr int kSrcRight = 960 - C;       // 900
  constexpr int kSrcMidH = 375 - 2 * C;    // 255
  constexpr int kSrcBottom = 375 - C;      // 315
  const int W = widthTwips, H = heightTwips;
  const int midW = W - 2 * C, midH = H - 2 * C;

  canvas.Clear();
  FillFaceGradient(canvas, faceInverted);

  struct Slice { int dx, dy, dw, dh, sx, sy, sw, sh; };
  const Slice slices[8] = {
      {1, 1, C, C, 0, 0, C, C},                                 // top-left corner
      {C, 1, midW, C, C, 1, kSrcMidW, C},                       // top edge
      {W - C, 1, C, C, kSrcRight, 1, C, C},                     // top-right corner
      {W - C, C, C, midH, kSrcRight, C, C, kSrcMidH},           // right edge
      {W - C, H - C, C, C, kSrcRight, kSrcBottom, C, C},        // bottom-right corner
      {C, H - C, midW, C, C, kSrcBottom, kSrcMidW, C},          // bottom edge
      {1, H - C, C, C, 0, kSrcBottom, C, C},                    // bottom-left corner
      {1, C, C, midH, 1, C, C, kSrcMidH},                       // left edge
  };
  for (const Slice& s : slices) {
    const PixelRect dst{TwipsToPixels(s.dx), TwipsToPixels(s.dy), TwipsToPixels(s.dw), TwipsToPixels(s.dh)};
    const PixelRect src{TwipsToPixels(s.sx), TwipsToPixels(s.sy), TwipsToPixels(s.sw), TwipsToPixels(s.sh)};
    // A control under 120 twips has no room for an edge: that slice is left out.
    if (dst.w <= 0 || dst.h <= 0) continue;
    canvas.StretchCopy(face, dst, src);
  }
  canvas.Present();
  return {0.0, (double(H) - labelHeightTwips - 20.0) / 2.0, double(W), labelHeightTwips};
}

void PixelCanvas::Clear() { std::fill(image_.pixels.begin(), image_.pixels.end(), kClearColour); }

void PixelCanvas::GradientFillV(const GradientVertex& v0, const GradientVertex& v1) {
  const GradientVertex& a = v0.y <= v1.y ? v0 : v1;
  const GradientVertex& b = v0.y <= v1.y ? v1 : v0;
  const int left = std::max(0, std::min(v0.x, v1.x));
  const int right = std::min(image_.width, std::max(v0.x, v1.x));
  const int len = b.y - a.y;
  for (int y = std::max(0, a.y); y < std::min(image_.height, b.y); ++y) {
    const Rgb c = GradientRow(a, b, y - a.y, len);
    for (int x = left; x < right; ++x) image_.at(x, y) = c;
  }
}

void PixelCanvas::StretchCopy(const Image& src, const PixelRect& dst, const PixelRect& from) {
  if (dst.w <= 0 || dst.h <= 0 || from.w <= 0 || from.h <= 0) return;
  const std::vector<int> cols = StretchMap(dst.w, from.w, false);
  const std::vector<int> rows = StretchMap(dst.h, from.h, true);
  for (int j = 0; j < dst.h; ++j) {
    const int y = dst.y + j;
    const int sy = from.y + rows[std::size_t(j)];
    if (y < 0 || y >= image_.height || sy < 0 || sy >= src.height) continue;
    for (int i = 0; i < dst.w; ++i) {
      const int x = dst.x + i;
      const int sx = from.x + cols[std::size_t(i)];
      if (x < 0 || x >= image_.width || sx < 0 || sx >= src.width) continue;
      image_.at(x, y) = src.at(sx, sy);
    }
  }
}

void PixelCanvas::Present() {
  shown_ = image_;
  ++presents_;
}

}  // namespace sorvane::saver

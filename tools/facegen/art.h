// The saver's small pictures, drawn by program so they can be made again:
// the six button faces, the two option marks and the window icon.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sorvane::tools {

using Rgb = std::uint32_t;  // 0xRRGGBB

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;  // row 0 is the top row

  Picture(int w, int h, Rgb fill) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
  Rgb& at(int x, int y) { return pixels[std::size_t(y) * width + x]; }
  Rgb at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

struct ArtFile {
  std::string path;  // relative to the resources folder, '/' separated
  std::vector<std::uint8_t> bytes;
};

// The face pictures, 64 x 25, by name: Normal, HighLight, HighLightSelect, Pressed, Selected, Disable.
Picture MakeFace(const std::string& name);
// The option marks, 12 x 12: selected false = empty square, true = with the blue centre.
Picture MakeOptionMark(bool selected);
Picture MakeIcon();

// Uncompressed 24-bit BMP with its file header, bottom-up rows, 96 dpi.
std::vector<std::uint8_t> EncodeBmp24(const Picture& p);
// A one-image .ico: 24-bit colour and an all-opaque mask.
std::vector<std::uint8_t> EncodeIco24(const Picture& p);

// Every file the resources folder holds, in a fixed order.
std::vector<ArtFile> MakeAllArt();

}  // namespace sorvane::tools

// The generator's pictures: made again they equal the checked-in resources
// byte for byte, and they carry the rings and colours the faces are made of.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "art.h"
#include "face.h"

namespace {

using sorvane::saver::DecodeBmp;
using sorvane::saver::Image;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Facegen, RegeneratedFilesEqualTheCheckedInOnes) {
  const auto art = sorvane::tools::MakeAllArt();
  ASSERT_EQ(art.size(), 9u);
  for (const auto& file : art) {
    const auto onDisk = ReadFile(std::string(SORVANE_RESOURCES_DIR) + "/" + file.path);
    EXPECT_FALSE(onDisk.empty()) << file.path;
    EXPECT_TRUE(onDisk == file.bytes) << file.path << " differs: run sorvane-facegen saver/resources";
  }
}

Image Face(const char* name) {
  const auto bytes = sorvane::tools::EncodeBmp24(sorvane::tools::MakeFace(name));
  auto img = DecodeBmp(bytes.data(), bytes.size());
  EXPECT_TRUE(img) << name;
  return img ? *img : Image(64, 25);
}

struct Spot {
  const char* face;
  int x, y;
  std::uint32_t rgb;
};

TEST(Facegen, FacesCarryTheirRings) {
  const Spot spots[] = {
      // ring 0 and the outline with its rounded corner, shared by three faces
      {"Normal", 0, 0, 0xE9E7D5}, {"Normal", 20, 0, 0xE0DCC9}, {"Normal", 0, 12, 0xE2DECB},
      {"Normal", 20, 24, 0xF8F7F0}, {"Normal", 63, 12, 0xF0EEE0},
      {"Selected", 20, 1, 0x003C74}, {"Selected", 20, 23, 0x003C74}, {"Selected", 1, 12, 0x003C74},
      {"Selected", 62, 12, 0x003C74}, {"HighLight", 1, 1, 0xE6E1D0}, {"HighLight", 2, 1, 0x7A95A8},
      {"HighLight", 1, 2, 0x7A95A8}, {"HighLight", 3, 1, 0x255783}, {"HighLight", 1, 3, 0x255783},
      // ring 2 by face
      {"Normal", 20, 2, 0xF3F3EE}, {"Normal", 20, 3, 0xF3F3EE}, {"Normal", 2, 4, 0xFDFDFC},
      {"Normal", 3, 20, 0xECEBE6}, {"Normal", 60, 4, 0xFBFBFA}, {"Normal", 61, 4, 0xF6F4F2},
      {"Normal", 60, 20, 0xE4E2DA}, {"Normal", 61, 20, 0xE0DDD4}, {"Normal", 20, 21, 0xE2DFD6},
      {"Normal", 20, 22, 0xD6D0C5},
      {"HighLight", 20, 2, 0xFFF0CF}, {"HighLight", 20, 3, 0xFDD889}, {"HighLight", 2, 4, 0xFEDF9A},
      {"HighLight", 61, 4, 0xFEDF9A}, {"HighLight", 3, 4, 0xFCD279}, {"HighLight", 60, 20, 0xF8B535},
      {"HighLight", 2, 20, 0xF9B435}, {"HighLight", 20, 21, 0xF8B330}, {"HighLight", 20, 22, 0xE59700},
      {"Selected", 20, 2, 0xCEE7FF}, {"Selected", 20, 3, 0xCEE7FF}, {"Selected", 2, 4, 0xB7D0F4},
      {"Selected", 61, 20, 0x8BADE4}, {"Selected", 20, 21, 0x6982EE}, {"Selected", 20, 22, 0x6982EE},
      // Pressed: the outline one pixel in, the dialog tone outside, the shadow inside
      {"Pressed", 20, 2, 0x003C74}, {"Pressed", 20, 22, 0x003C74}, {"Pressed", 2, 12, 0x003C74},
      {"Pressed", 61, 12, 0x003C74}, {"Pressed", 20, 0, 0xECE9D8}, {"Pressed", 20, 1, 0xECE9D8},
      {"Pressed", 1, 12, 0xECE9D8}, {"Pressed", 62, 12, 0xECE9D8}, {"Pressed", 20, 23, 0xECE9D8},
      {"Pressed", 20, 3, 0xD1CCC1}, {"Pressed", 3, 12, 0xD7D4CB},
      // Disable in greys
      {"Disable", 20, 0, 0xECE9D8}, {"Disable", 0, 12, 0xECE9D8}, {"Disable", 20, 1, 0xC9C7BA},
      {"Disable", 62, 12, 0xC9C7BA}, {"Disable", 2, 1, 0xD8D5C7}, {"Disable", 3, 1, 0xCBC9BC},
      {"Disable", 20, 3, 0xF5F4EA}, {"Disable", 60, 21, 0xF5F4EA},
  };
  for (const Spot& s : spots) {
    const Image img = Face(s.face);
    ASSERT_EQ(img.width, 64);
    ASSERT_EQ(img.height, 25);
    EXPECT_EQ(img.at(s.x, s.y), s.rgb) << s.face << " (" << s.x << "," << s.y << ")";
  }
  // The same picture twice, and no two other faces alike.
  EXPECT_EQ(sorvane::tools::EncodeBmp24(sorvane::tools::MakeFace("HighLight")),
            sorvane::tools::EncodeBmp24(sorvane::tools::MakeFace("HighLightSelect")));
  const char* distinct[] = {"Normal", "HighLight", "Pressed", "Selected", "Disable"};
  for (const char* a : distinct)
    for (const char* b : distinct)
      if (a != b) {
        EXPECT_NE(Face(a), Face(b)) << a << " " << b;
      }
}

TEST(Facegen, OptionMarksAndIcon) {
  auto bytes = sorvane::tools::EncodeBmp24(sorvane::tools::MakeOptionMark(false));
  auto off = DecodeBmp(bytes.data(), bytes.size());
  bytes = sorvane::tools::EncodeBmp24(sorvane::tools::MakeOptionMark(true));
  auto on = DecodeBmp(bytes.data(), bytes.size());
  ASSERT_TRUE(off && on);
  EXPECT_EQ(off->width, 12);
  EXPECT_EQ(off->height, 12);
  // Same grey border; light and empty inside; the selected one blue in the centre.
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(off->at(i, 0), on->at(i, 0));
    EXPECT_EQ(off->at(0, i), on->at(0, i));
  }
  const auto r = [](std::uint32_t c) { return int(c >> 16); };
  const auto b = [](std::uint32_t c) { return int(c & 0xFF); };
  EXPECT_GT(r(off->at(6, 6)), 0xD0);
  EXPECT_GT(b(on->at(6, 6)), r(on->at(6, 6)) + 0x60);
  EXPECT_LT(r(off->at(0, 0)), r(off->at(6, 6)));

  const auto ico = sorvane::tools::EncodeIco24(sorvane::tools::MakeIcon());
  ASSERT_EQ(ico.size(), 6u + 16 + 40 + 32 * 32 * 3 + 32 * 4);
  EXPECT_EQ(ico[2], 1);   // an icon
  EXPECT_EQ(ico[4], 1);   // one image
  EXPECT_EQ(ico[6], 32);  // 32 x 32
  EXPECT_EQ(ico[7], 32);
  EXPECT_EQ(ico[12], 24);  // bits per pixel
  // The image inside is a bitmap twice as tall (colour and mask).
  EXPECT_EQ(ico[22 + 8], 64);
}

}  // namespace

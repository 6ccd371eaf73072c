// Faces as pixels: the product's face pictures painted on the in-memory surface
// at the dialog's two button sizes.
#include <gtest/gtest.h>


#include "command.h"
#include "face.h"
#include "test_faces.h"

namespace sorvane::saver {
namespace {

// Gradient rows worked out by hand from FaceWhite (FF FF FF) and FaceShade
// (C6 C5 D7) over a 25-row face, whose fill spans rows 0..24 (24 steps).
constexpr Rgb kPlainRow4 = 0xF5F5F8, kPlainRow20 = 0xCFCEDD;

class FaceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { faces_ = new FaceSet(testing::ProductFaces()); }
  static void TearDownTestSuite() { delete faces_; }
  const FaceSet& faces() { return *faces_; }

  // Paints like the control: canvas of W x H twips in pixels.
  LabelPlace Paint(PixelCanvas& canvas, FaceId face, std::uint8_t state, bool& inverted, int W, int H) {
    canvas.Resize(TwipsToPixels(W), TwipsToPixels(H));
    return DrawFace(canvas, faces()[face], state, inverted, W, H, 195);
  }

  static FaceSet* faces_;
};
FaceSet* FaceTest::faces_ = nullptr;

TEST_F(FaceTest, ProductPicturesAreComplete) { ASSERT_TRUE(faces().Complete()); }

TEST_F(FaceTest, SetButtonCornersEdgesAndGradient) {
  ASSERT_TRUE(faces().Complete());
  PixelCanvas c;
  bool inverted = true;
  const LabelPlace label = Paint(c, FaceId::Normal, 1, inverted, 1095, 375);
  const Image& s = c.Shown();
  const Image& f = faces()[FaceId::Normal];
  ASSERT_EQ(s.width, 73);
  ASSERT_EQ(s.height, 25);
  EXPECT_FALSE(inverted);
  // Corners: 4 x 4, copied straight.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(s.at(x, y), f.at(x, y));
      EXPECT_EQ(s.at(69 + x, y), f.at(60 + x, y));
      EXPECT_EQ(s.at(x, 21 + y), f.at(x, 21 + y));
      EXPECT_EQ(s.at(69 + x, 21 + y), f.at(60 + x, 21 + y));
    }
  // Side edges: 17 rows copied at their size.
  for (int y = 4; y < 21; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(s.at(x, y), f.at(x, y));
      EXPECT_EQ(s.at(69 + x, y), f.at(60 + x, y));
    }
  // Top and bottom edges: the 56 columns stretched to 65, in order, none lost.
  int last = 3;
  for (int x = 4; x < 69; ++x) {
    int match = -1;
    for (int sx = last; sx < 60 && match < 0; ++sx) {
      bool same = sx >= 4;
      for (int y = 0; y < 4 && same; ++y) same = s.at(x, y) == f.at(sx, y) && s.at(x, 21 + y) == f.at(sx, 21 + y);
      if (same) match = sx;
    }
    ASSERT_GE(match, 4) << "column " << x;
    last = match;
  }
  // The stretch reaches both ends of the strip.
  EXPECT_EQ(s.at(4, 1), f.at(4, 1));
  EXPECT_EQ(s.at(68, 24), f.at(59, 24));
  // Centre: the gradient, one colour per row, white on top in state 1.
  EXPECT_EQ(s.at(4, 4), kPlainRow4);
  EXPECT_EQ(s.at(68, 4), kPlainRow4);
  EXPECT_EQ(s.at(36, 20), kPlainRow20);
  for (int y = 4; y < 21; ++y)
    for (int x = 4; x < 69; ++x) ASSERT_EQ(s.at(x, y), s.at(4, y)) << x << "," << y;
  for (int y = 5; y < 21; ++y) EXPECT_LE(s.at(4, y) >> 16, s.at(4, y - 1) >> 16);  // darker downwards
  // Caption: (375 - 195 - 20) / 2 = 80 twips from the top, the control's width.
  EXPECT_DOUBLE_EQ(label.top, 80.0);
  EXPECT_DOUBLE_EQ(label.left, 0.0);
  EXPECT_DOUBLE_EQ(label.width, 1095.0);
  EXPECT_DOUBLE_EQ(label.height, 195.0);
}

TEST_F(FaceTest, BgmButtonShrinksEdges) {
  ASSERT_TRUE(faces().Complete());
  PixelCanvas c;
  bool inverted = false;
  const LabelPlace label = Paint(c, FaceId::Selected, 3, inverted, 435, 315);
  const Image& s = c.Shown();
  const Image& f = faces()[FaceId::Selected];
  ASSERT_EQ(s.width, 29);
  ASSERT_EQ(s.height, 21);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(s.at(x, y), f.at(x, y));
      EXPECT_EQ(s.at(25 + x, 17 + y), f.at(60 + x, 21 + y));
    }
  // The left edge: 17 rows down to 13, each from the strip, in order.
  int last = 4;
  for (int y = 4; y < 17; ++y) {
    int match = -1;
    for (int sy = last; sy < 21 && match < 0; ++sy) {
      bool same = true;
      for (int x = 0; x < 4 && same; ++x) same = s.at(x, y) == f.at(x, sy) && s.at(25 + x, y) == f.at(60 + x, sy);
      if (same) match = sy;
    }
    ASSERT_GE(match, 4) << "row " << y;
    last = match + 1;  // shrinking: every row comes from a later source row
  }
  // The gradient fills 20 rows here (h - 1 steps): row 4 of 20.
  const Rgb row4 = s.at(10, 4);
  EXPECT_EQ(row4 >> 16, (0xFF00u * 16 + 0xC600u * 4) / 20 >> 8);
  EXPECT_DOUBLE_EQ(label.top, 50.0);
}

TEST_F(FaceTest, GradientDirectionFollowsTheStateAndKeepsItFor0And4) {
  ASSERT_TRUE(faces().Complete());
  PixelCanvas c;
  bool inverted = false;
  auto top = [&] { return c.Shown().at(30, 4); };
  Paint(c, FaceId::Normal, 1, inverted, 1095, 375);
  EXPECT_EQ(top(), kPlainRow4);
  Paint(c, FaceId::HighLight, 2, inverted, 1095, 375);  // cursor enters
  EXPECT_EQ(top(), kPlainRow20);
  EXPECT_EQ(c.Shown().at(30, 20), kPlainRow4);
  Paint(c, FaceId::Pressed, 4, inverted, 1095, 375);  // 4 reached through 2
  EXPECT_EQ(top(), kPlainRow20);
  Paint(c, FaceId::Selected, 3, inverted, 1095, 375);
  EXPECT_EQ(top(), kPlainRow4);
  Paint(c, FaceId::HighLightSelect, 4, inverted, 1095, 375);  // 4 reached through 3
  EXPECT_EQ(top(), kPlainRow4);
  inverted = true;
  Paint(c, FaceId::Disable, 0, inverted, 1095, 375);  // 0 keeps it too
  EXPECT_EQ(top(), kPlainRow20);
}

TEST_F(FaceTest, HighLightAndHighLightSelectFacesAreIdentical) {
  ASSERT_TRUE(faces().Complete());
  for (bool inv : {false, true}) {
    PixelCanvas a, b;
    bool ia = inv, ib = inv;
    Paint(a, FaceId::HighLight, 4, ia, 1095, 375);
    Paint(b, FaceId::HighLightSelect, 4, ib, 1095, 375);
    EXPECT_EQ(a.Shown(), b.Shown());
    // and they differ from the plain faces
    PixelCanvas n;
    bool in = inv;
    Paint(n, FaceId::Normal, 4, in, 1095, 375);
    EXPECT_NE(a.Shown(), n.Shown());
  }
}

TEST_F(FaceTest, CentreOfThePictureIsNeverPaintedAndOnePresentShowsAll) {
  // A picture whose never-shown middle is magenta.
  Image marked(kFaceWidth, kFaceHeight, 0x000080);
  for (int y = 4; y < 21; ++y)
    for (int x = 4; x < 60; ++x) marked.at(x, y) = 0xFF00FF;
  for (auto size : {std::pair<int, int>{1095, 375}, {435, 315}, {1875, 375}, {7000, 3000}}) {
    PixelCanvas c(TwipsToPixels(size.first), TwipsToPixels(size.second));
    bool inverted = false;
    DrawFace(c, marked, 1, inverted, size.first, size.second, 195);
    EXPECT_EQ(c.PresentCount(), 1);
    const Image& s = c.Shown();
    int frame = 0;
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        ASSERT_NE(s.at(x, y), 0xFF00FFu) << x << "," << y;
        ASSERT_NE(s.at(x, y), PixelCanvas::kClearColour) << x << "," << y;  // everything covered
        frame += s.at(x, y) == 0x000080;
      }
    const int w = s.width, h = s.height;
    EXPECT_EQ(frame, w * h - (w - 8) * (h - 8));  // exactly the 4-pixel ring
  }
}

TEST_F(FaceTest, ControlPaintsThroughItsStatesOnARealSurface) {
  ASSERT_TRUE(faces().Complete());
  // The control over a PixelCanvas: the HighLight face after the cursor comes in.
  struct Port : CommandPort {
    void SetMouseTimer(bool, int) override {}
    std::optional<ScreenPoint> CursorPos() override { return ScreenPoint{}; }
    WindowId WindowAt(ScreenPoint) override { return 1; }
    WindowId OwnWindow() override { return 1; }
    WindowId ParentWindow() override { return 2; }
    void CaptionChanged() override {}
    CaptionFont ContainerFont() override { return DefaultCaptionFont(); }
  } port;
  PixelCanvas canvas(73, 25);
  Command button(port, canvas, faces());
  MemoryPropertyBag bag;
  button.UserControl_ReadProperties(bag);
  button.UserControl_Resize(1095, 375);
  button.Initialize();
  button.UserControl_MouseMove(0, 0, 10, 10);
  PixelCanvas expected(73, 25);
  bool inv = false;
  DrawFace(expected, faces()[FaceId::HighLight], 2, inv, 1095, 375, 195);
  EXPECT_EQ(canvas.Shown(), expected.Shown());
  EXPECT_TRUE(button.FaceInverted());
  EXPECT_DOUBLE_EQ(button.LblMsg().place.top, 80.0);
}

// Source lines chosen by the system's colour-on-colour stretch, as read back
// from it under Wine: the portable surface has to choose the same.
TEST(StretchMap, ChoosesTheLinesTheSystemStretchChooses) {
  using V = std::vector<int>;
  EXPECT_EQ(StretchMap(21, 56, false), (V{2, 4, 7, 10, 12, 15, 18, 20, 23, 26, 28, 31, 34, 36, 39, 42, 44, 47, 50, 52, 55}));
  EXPECT_EQ(StretchMap(13, 17, false), (V{0, 2, 3, 4, 6, 7, 8, 9, 11, 12, 13, 15, 16}));
  EXPECT_EQ(StretchMap(13, 17, true), (V{0, 1, 3, 4, 5, 7, 8, 9, 10, 12, 13, 14, 16}));
  EXPECT_EQ(StretchMap(10, 56, true), (V{0, 6, 11, 17, 22, 28, 34, 39, 45, 50}));
  EXPECT_EQ(StretchMap(16, 56, false), (V{3, 6, 10, 13, 17, 20, 24, 27, 31, 34, 38, 41, 45, 48, 52, 55}));
  EXPECT_EQ(StretchMap(1, 56, false), (V{54}));
  EXPECT_EQ(StretchMap(1, 56, true), (V{0}));
  EXPECT_EQ(StretchMap(7, 3, true), (V{0, 0, 1, 1, 1, 2, 2}));
  const V grown = StretchMap(65, 56, false);  // 3640 / 130 is a tie at 32: the lower line
  EXPECT_EQ(grown[31], 27);
  EXPECT_EQ(grown[32], 27);
  EXPECT_EQ(grown[33], 28);
  EXPECT_EQ(StretchMap(17, 17, true), StretchMap(17, 17, false));
  EXPECT_EQ(StretchMap(17, 17, true)[16], 16);
  EXPECT_TRUE(StretchMap(0, 17, true).empty());
  EXPECT_EQ(StretchMap(5, 0, true), (V{0, 0, 0, 0, 0}));
}

TEST(Bmp, RejectsDamagedPictures) {
  const std::uint8_t junk[] = {'B', 'M', 1, 2, 3};
  EXPECT_FALSE(DecodeBmp(junk, sizeof junk));
  EXPECT_FALSE(DecodeBmp(nullptr, 0));
  auto file = testing::LoadBmpFile(std::string(SORVANE_RESOURCES_DIR) + "/faces/Normal.bmp");
#ifndef _WIN32
  ASSERT_TRUE(file);
  // Every truncation is refused rather than read past the end.
  std::vector<std::uint8_t> bytes;
  {
    std::ifstream in(std::string(SORVANE_RESOURCES_DIR) + "/faces/Normal.bmp", std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (std::size_t n = 0; n < bytes.size(); n += 7) EXPECT_FALSE(DecodeBmp(bytes.data(), n)) << n;
  // A top-down picture reads the same.
  std::vector<std::uint8_t> flipped(bytes.begin(), bytes.begin() + 54);
  flipped[22] = std::uint8_t(-25);
  flipped[23] = flipped[24] = flipped[25] = 0xFF;
  for (int row = 24; row >= 0; --row)
    flipped.insert(flipped.end(), bytes.begin() + 54 + row * 192, bytes.begin() + 54 + (row + 1) * 192);
  auto top = DecodeBmp(flipped.data(), flipped.size());
  ASSERT_TRUE(top);
  EXPECT_EQ(*top, *file);
#endif
}

}  // namespace
}  // namespace sorvane::saver

// Preview start-up: the order of the window calls and the sizes in twips and pixels.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/launcher/preview.h"

namespace sorvane::saver {
namespace {

using ::testing::ElementsAre;

class RecordingPreview : public PreviewPort {
 public:
  std::vector<std::string> calls;
  ScreenRect rect;
  int tpp_x = 15, tpp_y = 15;
  int32_t style = 0x16000000;  // what the form was made with

  ScreenRect GetWindowRect(int32_t window) override {
    calls.push_back("rect " + std::to_string(window));
    return rect;
  }
  int TwipsPerPixelX() override { return tpp_x; }
  int TwipsPerPixelY() override { return tpp_y; }
  void LoadForm() override { calls.push_back("load"); }
  int32_t GetFormStyle() override { return style; }
  void SetFormStyle(int32_t s) override { calls.push_back("style " + Hex(s)); }
  void SetFormParent(int32_t parent) override { calls.push_back("parent " + std::to_string(parent)); }
  void PlaceForm(int x, int y, int w, int h) override {
    calls.push_back("form " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) +
                    "x" + std::to_string(h));
  }
  void PlacePicture(int x, int y, int w, int h) override {
    calls.push_back("picture " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::to_string(w) + "x" + std::to_string(h));
  }
  void ShowForm() override { calls.push_back("show"); }
  bool WindowExists(int32_t window) override { return window == host; }
  bool FormIsChildOf(int32_t window) override { return reparented && window == host; }
  int32_t host = 0;
  bool reparented = true;  // false: SetParent failed

  static std::string Hex(int32_t v) {
    char buf[16];
    snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(v));
    return buf;
  }
};

TEST(Preview, FillsAStandardPreviewPaneExactly) {
  RecordingPreview port;
  port.rect = {300, 200, 452, 312};  // 152 x 112 at some screen position
  port.host = 4242;
  EXPECT_TRUE(StartPreview(port, 4242));
  EXPECT_THAT(port.calls, ElementsAre("rect 4242", "load", "style 56000000", "parent 4242",
                                      "form 0,0 2280x1680", "picture 0,0 152x112", "show"));
}

TEST(Preview, FollowsALargerWindowAndTheScreensTwipsPerPixel) {
  RecordingPreview port;
  port.rect = {0, 0, 640, 480};
  port.tpp_x = 12;  // 120 dots per inch
  port.tpp_y = 12;
  StartPreview(port, 7);
  EXPECT_EQ(port.calls[4], "form 0,0 7680x5760");
  EXPECT_EQ(port.calls[5], "picture 0,0 640x480");
}

TEST(Preview, NoHostWindowGivesAnEmptyFormAndNoLastingPreview) {
  RecordingPreview port;  // GetWindowRect failed: empty rectangle
  EXPECT_FALSE(StartPreview(port, 0));
  EXPECT_THAT(port.calls, ElementsAre("rect 0", "load", "style 56000000", "parent 0", "form 0,0 0x0",
                                      "picture 0,0 0x0", "show"));
  RecordingPreview stale;  // a handle that names no window
  stale.host = 99;
  EXPECT_FALSE(StartPreview(stale, 1234));
  // A live host whose SetParent failed: the form is no child of it, so the
  // host's end would never reach it and the process would live on.
  RecordingPreview orphan;
  orphan.rect = {0, 0, 152, 112};
  orphan.host = 4242;
  orphan.reparented = false;
  EXPECT_FALSE(StartPreview(orphan, 4242));
}

TEST(PreviewSize, SidesBeyond32767TwipsStayZero) {
  // 2184 pixels is the last width that fits at 15 twips per pixel.
  PreviewSize fits = ComputePreviewSize({0, 0, 2184, 100}, 15, 15);
  EXPECT_EQ(fits.width_twips, 32760);
  EXPECT_EQ(fits.width_px(), 2184);
  PreviewSize wide = ComputePreviewSize({0, 0, 2185, 100}, 15, 15);
  EXPECT_EQ(wide.width_twips, 0);
  EXPECT_EQ(wide.height_twips, 1500);  // the other side is unaffected
  PreviewSize tall = ComputePreviewSize({-10, -5000, 142, 5000}, 15, 15);
  EXPECT_EQ(tall.width_twips, 2280);
  EXPECT_EQ(tall.height_twips, 0);
  // Extremes of 32-bit coordinates neither overflow nor give a size.
  PreviewSize huge = ComputePreviewSize({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 15, 15);
  EXPECT_EQ(huge.width_twips, 0);
  EXPECT_EQ(huge.height_twips, 0);
  PreviewSize inverted = ComputePreviewSize({100, 100, 0, 0}, 15, 15);
  EXPECT_EQ(inverted.width_twips, 0);
  EXPECT_EQ(inverted.height_px(), 0);
}

}  // namespace
}  // namespace sorvane::saver

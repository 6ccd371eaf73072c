// The frame, drawn for real (Mesa, offscreen) and read back: projection, GL
// state, the close and title rules, the puff's shape and what is skipped.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "gl_include.h"
#include "host_clock.h"
#include "offscreen.h"
#include "render.h"
#include "scene.h"

namespace sorvane::engine {
namespace {

using offscreen::RecordingPort;
using offscreen::Surface;

struct Ortho {
  float m0, m5, m12, m13;
};
Ortho Projection() {
  float m[16];
  glGetFloatv(GL_PROJECTION_MATRIX, m);
  return {m[0], m[5], m[12], m[13]};
}
// Half-extents of the visible area, read back from the loaded matrix.
void ExpectVisibleArea(double halfWidth, double halfHeight) {
  const Ortho p = Projection();
  EXPECT_FLOAT_EQ(p.m0, static_cast<float>(1.0 / halfWidth));
  EXPECT_FLOAT_EQ(p.m5, static_cast<float>(1.0 / halfHeight));
  EXPECT_EQ(p.m12, 0.0f);
  EXPECT_EQ(p.m13, 0.0f);
}

class Frame : public ::testing::Test {
 protected:
  void Open(int w, int h) {
    surface_ = std::make_unique<Surface>(w, h);
    ASSERT_TRUE(surface_->ok());
    host.clientWidth = w;
    host.clientHeight = h;
    ASSERT_TRUE(SetupGlState(host));
  }
  void Step(float dt) {
    clock_.Advance(host, dt);
    RenderFrame(host, port);
  }
  // Puts the pool under the test's control: a frame of dt 0 changes nothing
  // but the projection, and no new puffs come.
  void FreezeScene() {
    Scene().stopRequested = true;
    Scene().pool.count = 0;
    host.frameDt = 0.0f;
  }
  // A puff at depth 2 whose projection is exactly (sx, sy) with radius r.
  static void Place(Puff& p, float sx, float sy, float r, float alpha) {
    p = Puff{};
    p.position = {sx, 2.0f, sy, 1.0f};
    p.size = {r, r, r, 1.0f};
    p.alpha = alpha;
    p.life = 100.0f;
  }
  void DrawStill() { RenderFrame(host, port); }
  // Pixel of a point in projection units, for the 1024 x 768 set-up
  // (x in -4/3..4/3, y in -1..1).
  Surface::Rgb At(float x, float y) {
    const double hw = 1.3333333730697632;
    const int px = static_cast<int>((x + hw) / (2 * hw) * surface_->width());
    const int py = static_cast<int>((1.0 - y) / 2.0 * surface_->height());
    return surface_->Pixel(px, py);
  }

  std::unique_ptr<Surface> surface_;
  HostState host;
  RecordingPort port;
  offscreen::StepClock clock_;
};

TEST_F(Frame, ProjectionKeepsTheCentralFourByThreeAreaForEveryShape) {
  Open(1024, 768);  // aspect 1.3333334f, just above 4/3: same area either way
  ExpectVisibleArea(1.3333333730697632, 1.0);
  Open(1920, 1080);
  ExpectVisibleArea(1.7777777910232544, 1.0);
  Open(800, 800);
  ExpectVisibleArea(4.0 / 3.0, 4.0 / 3.0);
  Open(768, 1024);  // taller: more above and below
  ExpectVisibleArea(4.0 / 3.0, (4.0 / 3.0) / 0.75);
}

TEST_F(Frame, ResizeTakesEffectAtTheNextFrameAndEmptySizesKeepTheLastProjection) {
  Open(1024, 768);
  Step(0.02f);
  host.clientWidth = 1920;
  host.clientHeight = 1080;
  ExpectVisibleArea(1.3333333730697632, 1.0);  // not before the frame
  Step(0.02f);
  ExpectVisibleArea(1.7777777910232544, 1.0);

  // A window squashed to no height (or no size at all) keeps a usable view
  // and the frame still runs.
  host.clientHeight = 0;
  surface_->Resize(1920, 0);
  Step(0.02f);
  ExpectVisibleArea(1.7777777910232544, 1.0);
  host.clientWidth = 0;
  Step(0.02f);
  ExpectVisibleArea(1.7777777910232544, 1.0);
  host.clientWidth = 0;
  host.clientHeight = 600;
  Step(0.02f);
  ExpectVisibleArea(1.7777777910232544, 1.0);

  surface_->Resize(800, 800);
  host.clientWidth = 800;
  host.clientHeight = 800;
  Step(0.02f);
  ExpectVisibleArea(4.0 / 3.0, 4.0 / 3.0);
}

TEST_F(Frame, SetUpWithoutASizeShowsTheFourByThreeArea) {
  surface_ = std::make_unique<Surface>(64, 48);
  host.clientWidth = 0;
  host.clientHeight = 0;
  ASSERT_TRUE(SetupGlState(host));
  ExpectVisibleArea(1.3333333730697632, 1.0);
  host.clientWidth = 64;
  host.clientHeight = 48;
  Step(0.1f);
  ExpectVisibleArea(1.3333333730697632, 1.0);
}

TEST_F(Frame, GlStateAfterSetUpAndAfterAFrame) {
  Open(320, 240);
  GLint src = 0, dst = 0, cull = 0, depth = 0;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  glGetIntegerv(GL_CULL_FACE_MODE, &cull);
  glGetIntegerv(GL_DEPTH_FUNC, &depth);
  EXPECT_EQ(src, GL_SRC_ALPHA);
  EXPECT_EQ(dst, GL_ONE);
  EXPECT_EQ(cull, GL_FRONT);
  EXPECT_EQ(depth, GL_LESS);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_EQ(Scene().simTime, 0.0f);
  EXPECT_EQ(Scene().pool.count, 0);

  Step(0.25f);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));  // on for the puffs only
  float mv[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, mv);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(mv[i], (i % 5 == 0) ? 1.0f : 0.0f);
  EXPECT_EQ(Scene().simTime, 0.25f);
  EXPECT_EQ(Scene().pool.count, 256);  // 0.25 s at 1024 a second
}

TEST_F(Frame, TitleIsSetAgainAtMostOncePerSecondOfFrameTime) {
  Open(64, 48);
  for (float t : {0.25f, 0.75f, 1.0f, 1.25f, 2.0f, 2.25f, 3.5f, 3.75f}) {
    host.frameTime = t;
    host.frameDt = 0.0f;
    RenderFrame(host, port);
  }
  // First frame at 0.25 only starts the count; 1.25, 2.25 and 3.5 refresh.
  ASSERT_EQ(port.titles.size(), 3u);
  for (const auto& t : port.titles) EXPECT_EQ(t, "SorvaneVC");
}

TEST_F(Frame, AfterEscapeTheWindowIsAskedToCloseAtEveryFrameOnceThePoolIsEmpty) {
  Open(320, 240);
  Step(0.5f);
  Step(0.1f);
  ASSERT_GT(Scene().pool.count, 0);
  Scene().stopRequested = true;  // Escape
  int frames = 0;
  while (Scene().pool.count > 0 && frames < 1000) {
    Step(0.05f);
    ++frames;
    if (Scene().pool.count > 0) {
      EXPECT_EQ(port.closes, 0);
    }
  }
  EXPECT_LE(frames * 0.05f, 2.0f + 0.05f);  // the last puffs die within 2 s
  EXPECT_EQ(port.closes, 1);
  // That frame was still cleared and finished: nothing is left on it.
  const std::vector<uint8_t> rgb = surface_->RgbRows();
  for (uint8_t v : rgb) ASSERT_EQ(v, 0);
  Step(0.05f);
  Step(0.05f);
  EXPECT_EQ(port.closes, 3);
}

TEST_F(Frame, EscapeWithNoPuffAliveClosesAtTheNextFrame) {
  Open(64, 48);
  Scene().stopRequested = true;
  Step(0.5f);
  EXPECT_EQ(Scene().pool.count, 0);
  EXPECT_EQ(port.closes, 1);
}

TEST_F(Frame, PuffIsASoftHexagonAddedOntoBlack) {
  Open(1024, 768);
  FreezeScene();
  Place(Scene().pool.puffs[0], 0.0f, 0.0f, 0.8f, 1.0f);
  Scene().pool.count = 1;
  DrawStill();
  EXPECT_GE(At(0, 0).r, 250);                  // full alpha at the centre
  EXPECT_NEAR(At(0.4f, 0).r, 128, 6);          // linear fall-off to the rim
  EXPECT_GT(At(0.72f, 0).r, 10);               // inside the corner at 0 degrees
  EXPECT_EQ(At(0, 0.72f).r, 0);                // above the flat top edge (0.69)
  EXPECT_EQ(At(0.85f, 0).r, 0);                // beyond the rim
  const Surface::Rgb c = At(0.2f, 0.2f);
  EXPECT_TRUE(c.r == c.g && c.g == c.b) << "white light only";

  // Mirrored radii visit the corners the other way round: same picture.
  const std::vector<uint8_t> forward = surface_->RgbRows();
  Place(Scene().pool.puffs[0], 0.0f, 0.0f, -0.8f, 1.0f);
  DrawStill();
  EXPECT_LT(Scene().pool.puffs[0].radiusX, 0.0f);
  EXPECT_EQ(surface_->RgbRows(), forward);
}

TEST_F(Frame, OverlappingPuffsAddUpAndSaturateAtWhite) {
  Open(1024, 768);
  FreezeScene();
  Place(Scene().pool.puffs[0], 0.0f, 0.0f, 0.5f, 0.4f);
  Scene().pool.count = 1;
  DrawStill();
  const int one = At(0, 0).r;
  for (int i = 1; i < 4; ++i) Place(Scene().pool.puffs[i], 0.0f, 0.0f, 0.5f, 0.4f);
  Scene().pool.count = 4;
  DrawStill();
  EXPECT_NEAR(one, 102, 4);
  EXPECT_EQ(At(0, 0).r, 255);
  EXPECT_NEAR(At(0.25f, 0).r, 2 * one, 8);  // half alpha, four times over
}

TEST_F(Frame, PuffsThatCannotBeShownAddNothing) {
  Open(1024, 768);
  FreezeScene();
  Place(Scene().pool.puffs[0], -0.5f, 0.0f, 0.3f, 0.5f);
  Scene().pool.count = 1;
  DrawStill();
  const std::vector<uint8_t> alone = surface_->RgbRows();

  // A puff born with a negative size has a NaN opacity; one at depth 1 or
  // nearer has no radius (its old screen fields still point on screen).
  Place(Scene().pool.puffs[1], -0.5f, 0.1f, 0.3f, std::numeric_limits<float>::quiet_NaN());
  Place(Scene().pool.puffs[2], 0.5f, 0.0f, 0.3f, 0.5f);
  Scene().pool.puffs[2].position.y = 1.0f;
  Scene().pool.puffs[2].screenX = 0.5f;
  Scene().pool.puffs[2].screenY = 0.0f;
  Scene().pool.puffs[2].radiusX = 0.3f;
  Scene().pool.puffs[2].radiusY = 0.3f;
  Place(Scene().pool.puffs[3], 0.6f, 0.5f, 0.2f, std::numeric_limits<float>::quiet_NaN());
  Scene().pool.count = 4;
  DrawStill();
  EXPECT_EQ(Scene().pool.count, 4);
  EXPECT_EQ(Scene().pool.puffs[2].radiusX, 0.0f);
  EXPECT_EQ(surface_->RgbRows(), alone);
}

// Lit pixels of a running animation: only where the pool's drawn puffs reach,
// rising from the lower middle, black corners.
TEST_F(Frame, AnimationLightsOnlyWhereLivePuffsAre) {
  Open(1920, 1080);
  Step(0.5f);
  for (int i = 0; i < 110; ++i) Step(0.016f);  // 2.26 s: the pool runs full
  const PuffPool& pool = Scene().pool;
  ASSERT_EQ(pool.count, kPoolCapacity);

  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  int nanAlpha = 0;
  for (int i = 0; i < pool.count; ++i) {
    const Puff& p = pool.puffs[i];
    if (p.alpha != p.alpha) ++nanAlpha;
    if (p.radiusX == 0.0f || p.alpha != p.alpha) continue;
    minX = std::min(minX, double(p.screenX) - std::fabs(p.radiusX));
    maxX = std::max(maxX, double(p.screenX) + std::fabs(p.radiusX));
    minY = std::min(minY, double(p.screenY) - std::fabs(p.radiusY));
    maxY = std::max(maxY, double(p.screenY) + std::fabs(p.radiusY));
  }
  EXPECT_GT(nanAlpha, 0) << "the run should include puffs without a real opacity";

  const int w = 1920, h = 1080;
  const double hw = 1.7777777910232544;
  const int x0 = static_cast<int>((minX + hw) / (2 * hw) * w) - 2;
  const int x1 = static_cast<int>((maxX + hw) / (2 * hw) * w) + 2;
  const int y0 = static_cast<int>((1.0 - maxY) / 2.0 * h) - 2;
  const int y1 = static_cast<int>((1.0 - minY) / 2.0 * h) + 2;

  const std::vector<uint8_t> rgb = surface_->RgbRows();
  long outside = 0, grey = 0, lowerMiddle = 0;
  double lightBelow = 0, lightAbove = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      if (p[0] == 0) continue;
      if (p[0] != p[1] || p[1] != p[2]) ++grey;
      if (x < x0 || x > x1 || y < y0 || y > y1) ++outside;
      if (p[0] > 60 && x > w / 3 && x < 2 * w / 3 && y > h / 2) ++lowerMiddle;
      (y >= h / 2 ? lightBelow : lightAbove) += p[0];
    }
  }
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(grey, 0);
  EXPECT_GT(lowerMiddle, 5000);
  // Young puffs are the bright ones; the old ones that have risen are faint.
  EXPECT_GT(lightBelow, 2 * lightAbove);
  for (int cx : {0, w - 40}) {
    for (int cy : {0, h - 40}) {
      for (int y = cy; y < cy + 40; ++y) {
        for (int x = cx; x < cx + 40; ++x) ASSERT_EQ(rgb[(static_cast<size_t>(y) * w + x) * 3], 0);
      }
    }
  }
}

TEST(FrameClock, TakesTheWholeCountDifferenceAndStepsFromThePreviousFloat) {
  HostState host;
  const int64_t start = int64_t{1} << 40;
  const int64_t frequency = 10000000;  // 10 MHz
  // 7 minutes in: far beyond 32 bits of counts.
  AdvanceFrameClock(host, start + 4200 * frequency + 1234567, start, frequency);
  const double t1 = 4200.1234567;
  EXPECT_EQ(host.frameTime, static_cast<float>(t1));
  EXPECT_EQ(host.frameDt, static_cast<float>(t1));  // the first frame covers all of start-up
  const float previous = host.frameTime;
  AdvanceFrameClock(host, start + 4200 * frequency + 1401234, start, frequency);
  const double t2 = 4200.1401234;
  EXPECT_EQ(host.frameTime, static_cast<float>(t2));
  EXPECT_EQ(host.frameDt, static_cast<float>(t2 - previous));
  // The float clock alone would step by a multiple of its 0.000488 s grain.
  EXPECT_NE(host.frameDt, host.frameTime - previous);
}

}  // namespace
}  // namespace sorvane::engine

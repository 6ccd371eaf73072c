// Long runs and long gaps: the clocks past the float range of the plain rule,
// and frames far longer than the spring step can take (sleep and resume, a
// paused machine, a stalled driver).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "host_clock.h"
#include "reference_scene.h"
#include "scene.h"
#include "scene_compare.h"

namespace sorvane::engine {
namespace {

using test::NewScene;
using test::SameState;

void Frame(SceneState& s, float dt) {
  s.simTime += dt;
  UpdateScene(s, s.simTime, dt);
}

void PlainFrame(SceneState& s, float dt) {
  s.simTime += dt;
  reference::UpdateScene(s, s.simTime, dt, /*plain=*/true);
}

::testing::AssertionResult LatticeFinite(const SceneState& s) {
  for (int n = 0; n < kLatticeNodes; ++n) {
    const LatticeNode& node = s.lattice.nodes[n];
    for (float v : {node.displacement.x, node.displacement.y, node.displacement.z, node.velocity.x,
                    node.velocity.y, node.velocity.z})
      if (!std::isfinite(v)) return ::testing::AssertionFailure() << "lattice node " << n << " is " << v;
  }
  return ::testing::AssertionSuccess();
}

// What the frame would draw: puffs with a radius and a real, positive opacity.
int Drawable(const SceneState& s) {
  int drawn = 0;
  for (int i = 0; i < s.pool.count; ++i) {
    const Puff& p = s.pool.puffs[i];
    drawn += p.radiusX != 0.0f && p.alpha > 0.0f && std::isfinite(p.screenX) && std::isfinite(p.screenY) &&
             std::isfinite(p.radiusY);
  }
  return drawn;
}

// The usual look: a full pool of live puffs, most of them drawn (about one
// in six was born with a negative size and carries a NaN opacity, and up to
// about one in six drifts nearer than depth 1, depending on the field), a
// finite flow field that still moves.
void ExpectUsualLook(const SceneState& s, const std::string& when) {
  EXPECT_TRUE(LatticeFinite(s)) << when;
  EXPECT_GE(s.pool.count, 2040) << when;
  int alive = 0;
  for (int i = 0; i < s.pool.count; ++i) alive += s.pool.puffs[i].life > 0.0f && s.pool.puffs[i].life <= 2.0f;
  EXPECT_EQ(alive, s.pool.count) << when;
  EXPECT_GT(Drawable(s), 1300) << when;
  float speed = 0.0f;
  for (const LatticeNode& n : s.lattice.nodes) speed += std::fabs(n.velocity.x) + std::fabs(n.velocity.z);
  EXPECT_GT(speed, 0.0f) << when;
}

// ---------------------------------------------------------------- gaps

struct Gap {
  const char* name;
  std::vector<std::pair<float, int>> frames;  // (dt, repeat)
};

TEST(Gaps, EveryGapKeepsTheSceneFiniteAndThreeSecondsBringTheUsualLookBack) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const Gap gaps[] = {
      {"one frame of an hour", {{3600.0f, 1}}},
      {"one frame of 20 s", {{20.0f, 1}}},
      {"a run of 2 s frames", {{2.0f, 40}}},
      {"64 s of 0.34 s frames", {{0.34f, 190}}},
      {"an hour of 0.5 s frames", {{0.5f, 7200}}},
      {"a month, then 0.3 s frames", {{2.6e6f, 1}, {0.3f, 20}}},
      {"a clock running backwards", {{-5.0f, 1}, {-0.3f, 3}}},
      {"steps that are not numbers", {{nan, 1}, {inf, 1}, {-inf, 1}}},
  };
  for (const Gap& gap : gaps) {
    auto s = NewScene();
    for (int f = 0; f < 600; ++f) Frame(*s, 1.0f / 60);  // 10 s of normal running
    // The literal form of the same rules follows the first frames bit for bit.
    auto ref = std::make_unique<SceneState>(*s);
    int followed = 0;
    for (const auto& [dt, repeat] : gap.frames) {
      for (int k = 0; k < repeat; ++k) {
        Frame(*s, dt);
        if (++followed <= 200) {
          ref->simTime += dt;
          reference::UpdateScene(*ref, ref->simTime, dt);
          ASSERT_TRUE(SameState(*s, *ref)) << gap.name << ", gap frame " << k;
        }
        ASSERT_TRUE(LatticeFinite(*s)) << gap.name << ", gap frame " << k;
        ASSERT_TRUE(std::isfinite(s->simTime) && std::isfinite(s->emitClock)) << gap.name;
      }
    }
    for (int f = 0; f < 180; ++f) Frame(*s, 1.0f / 60);
    ExpectUsualLook(*s, gap.name);
    EXPECT_LT(s->simTime - s->emitClock, 0.05f) << gap.name;
  }
}

TEST(Gaps, TheBareRuleBlanksThePictureForGoodAfterOneLongFrame) {
  // Why the care above exists: with one lattice step for the whole gap the
  // field goes non-finite and nothing is ever drawn again.
  auto s = NewScene();
  for (int f = 0; f < 600; ++f) PlainFrame(*s, 1.0f / 60);
  PlainFrame(*s, 20.0f);
  for (int f = 0; f < 180; ++f) PlainFrame(*s, 1.0f / 60);
  EXPECT_FALSE(LatticeFinite(*s));
  EXPECT_EQ(Drawable(*s), 0);
}

TEST(Gaps, AnOverlongFrameIsSimulatedAsTwoSecondsAndTheRestIsCounted) {
  auto s = NewScene();
  Frame(*s, 5.0f);
  // The first frame of 5 s: two seconds of it fill the pool with live puffs,
  // born one interval apart up to "now".
  EXPECT_EQ(s->simTime, 2.0f);
  EXPECT_EQ(s->emitClock, 2.0f);
  EXPECT_EQ(s->clockEpoch, 3.0);
  ASSERT_EQ(s->pool.count, kPoolCapacity);
  for (int i = 0; i < kPoolCapacity; ++i) {
    ASSERT_EQ(s->pool.puffs[i].life, (i + 1) / 1024.0f) << i;
  }
  EXPECT_GT(Drawable(*s), 1300);
}

// ---------------------------------------------------------------- normal frames

TEST(NormalFrames, AnyFramesOfAQuarterSecondOrLessFollowTheBareRuleBitForBit) {
  // Property over random sequences of frames within +-0.25 s (both limits
  // included): the care for long frames and long runs never acts.
  for (uint32_t seed : {1u, 2026u}) {
    auto fast = NewScene();
    auto plain = std::make_unique<SceneState>(*fast);
    uint32_t st = seed;
    for (int f = 0; f < 3000; ++f) {
      st = st * 1664525u + 1013904223u;
      const uint32_t r = st >> 8;
      float dt;
      switch (r % 16) {
        case 0: dt = 0.25f; break;
        case 1: dt = -0.25f; break;
        case 2: dt = 0.0f; break;
        case 3: dt = static_cast<float>(r % 1000) * -1e-5f; break;
        case 4: case 5: dt = static_cast<float>(r % 25001) * 1e-5f; break;
        default: dt = 1.0f / 60 + static_cast<float>(static_cast<int>(r % 2001) - 1000) * 4e-6f;
      }
      Frame(*fast, dt);
      PlainFrame(*plain, dt);
      ASSERT_TRUE(SameState(*fast, *plain)) << "seed " << seed << " frame " << f << " dt " << dt;
    }
  }
}

// ---------------------------------------------------------------- long runs

TEST(LongRun, ClocksFollowTheBareRuleUntilItWouldStallThenFoldBy8192) {
  auto fast = NewScene();
  for (int f = 0; f < 200; ++f) Frame(*fast, 1.0f / 60);
  // Move both clocks close to 16384 s (the emission clock stays on its grid).
  fast->simTime += 16380.0f;
  fast->emitClock += 16380.0f;
  auto plain = std::make_unique<SceneState>(*fast);
  auto ref = std::make_unique<SceneState>(*fast);
  int folded = -1;
  for (int f = 0; f < 600; ++f) {
    Frame(*fast, 1.0f / 60);
    PlainFrame(*plain, 1.0f / 60);
    ref->simTime += 1.0f / 60;
    reference::UpdateScene(*ref, ref->simTime, 1.0f / 60);
    ASSERT_TRUE(SameState(*fast, *ref)) << "frame " << f;
    if (folded < 0 && fast->clockEpoch != 0.0) folded = f;
    if (folded < 0) {
      ASSERT_TRUE(SameState(*fast, *plain)) << "frame " << f;
      ASSERT_LE(fast->emitClock, 16384.0f);
    }
  }
  // The fold came in the frame in which the bare emission clock reached 16384
  // and stuck there.
  ASSERT_GT(folded, 0);
  EXPECT_EQ(fast->clockEpoch, 8192.0);
  EXPECT_EQ(plain->emitClock, 16384.0f);
  EXPECT_LT(fast->emitClock, 8192.0f + 10.0f);
  ExpectUsualLook(*fast, "after the fold");
  // The bare rule has faded out by now: every new puff is born dead.
  for (int i = 0; i < plain->pool.count; ++i) ASSERT_LE(plain->pool.puffs[i].life, 0.0f) << i;
}

TEST(LongRun, TwoSecondFramesThroughTheFoldThenDisplayRate) {
  auto fast = NewScene();
  for (int f = 0; f < 200; ++f) Frame(*fast, 1.0f / 60);
  fast->simTime += 15000.0f;
  fast->emitClock += 15000.0f;
  for (int f = 0; f < 1000; ++f) {
    Frame(*fast, 2.0f);
    // Each frame replaces the whole pool with live puffs (the oldest may be
    // born with a life of exactly 0 where the clock's grid is coarse).
    ASSERT_GE(fast->pool.count, kPoolCapacity - 2) << "frame " << f;
    ASSERT_GT(fast->pool.puffs[fast->pool.count - 1].life, 0.0f) << "frame " << f;
    ASSERT_LE(fast->emitClock, 16384.0f);
    if (f % 500 == 0) {
      ASSERT_TRUE(LatticeFinite(*fast)) << "frame " << f;
    }
  }
  EXPECT_EQ(fast->clockEpoch, 8192.0);
  EXPECT_GT(fast->clockEpoch + fast->simTime, 17000.0);
  for (int f = 0; f < 180; ++f) Frame(*fast, 1.0f / 60);
  ExpectUsualLook(*fast, "after 17000 s");
  EXPECT_LT(fast->simTime - fast->emitClock, 0.05f);
  EXPECT_GE(fast->simTime - fast->emitClock, 0.0f);
}

}  // namespace
}  // namespace sorvane::engine

// ---------------------------------------------------------------- frame clock

namespace sorvane::engine {
namespace {

TEST(FrameClock, StepsStayTrueForAYearAndMatchTheFloatRuleForTheFirstHours) {
  // Counters of Windows (10 MHz) and of the X11 host (ns); at each start time
  // a minute of 60 Hz frames with a jittered counter.
  for (const int64_t frequency : {int64_t{10000000}, int64_t{1000000000}}) {
    for (const double startSeconds : {0.0, 3600.0, 8190.0, 3 * 86400.0, 6 * 86400.0, 365 * 86400.0}) {
      HostState host;
      const int64_t start = 987654321;
      int64_t now = start + static_cast<int64_t>(startSeconds * static_cast<double>(frequency));
      AdvanceFrameClock(host, now, start, frequency);
      uint32_t st = 99;
      for (int f = 0; f < 3600; ++f) {
        st = st * 1664525u + 1013904223u;
        const int64_t step = frequency / 60 + (static_cast<int64_t>(st >> 20) - 2048) * (frequency / 10000000);
        const float previousFloat = host.frameTime;
        now += step;
        AdvanceFrameClock(host, now, start, frequency);
        const double t = static_cast<double>(now - start) / static_cast<double>(frequency);
        const double trueStep = static_cast<double>(step) / static_cast<double>(frequency);
        if (t < 8192.0) {
          // Today's rule, bit for bit: from the previous frameTime as a float.
          ASSERT_EQ(host.frameDt, static_cast<float>(t - previousFloat)) << startSeconds << " frame " << f;
        }
        // Off by at most one rounding of the previous time (2^-12 s), at any age.
        ASSERT_NEAR(host.frameDt, trueStep, 0.00025) << startSeconds << " s, frame " << f;
        ASSERT_EQ(host.frameTime, static_cast<float>(t));
      }
    }
  }
}

}  // namespace
}  // namespace sorvane::engine

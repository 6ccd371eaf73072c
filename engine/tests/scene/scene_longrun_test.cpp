// Runs far longer than the clocks' float range would allow without folding
// them, and what the fold leaves unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "reference_scene.h"
#include "scene.h"
#include "scene_compare.h"

namespace sorvane::engine {
namespace {

using test::NewScene;
using test::SameState;

// ------------------------------------------------------------- long runs

void RunFrames(SceneState& s, float dt, int frames, bool fold = true, bool product = true) {
  for (int f = 0; f < frames; ++f) {
    s.simTime += dt;
    if (product) {
      UpdateScene(s, s.simTime, dt);
    } else {
      reference::UpdateScene(s, s.simTime, dt, fold);
    }
  }
}

TEST(LongRun, FirstHoursAreUntouchedByTheClockFold) {
  // Both clocks below 8192: the fold never acts, so the product equals the
  // plain float-clock rule bit for bit (here for the first two minutes).
  auto fast = NewScene();
  auto plain = std::make_unique<SceneState>(*fast);
  for (int f = 0; f < 2 * 60 * 60; ++f) {
    const float dt = f == 0 ? 1.3f : 1.0f / 60;
    fast->simTime += dt;
    UpdateScene(*fast, fast->simTime, dt);
    plain->simTime += dt;
    reference::UpdateScene(*plain, plain->simTime, dt, /*foldClocks=*/false);
    ASSERT_TRUE(SameState(*fast, *plain)) << "frame " << f;
  }
  EXPECT_EQ(fast->clockEpoch, 0.0);
}

TEST(LongRun, FoldShiftsOnlyTheClocksByExactly8192) {
  auto fast = NewScene();
  RunFrames(*fast, 1.0f / 60, 200);
  // Jump both clocks close to the fold (times stay on the float grid there).
  fast->simTime += 8187.0f;
  fast->emitClock += 8187.0f;
  auto plain = std::make_unique<SceneState>(*fast);
  int folds = 0;
  for (int f = 0; f < 200; ++f) {
    const float dt = 1.0f / 64;  // exact at this magnitude, so both stay on one grid
    fast->simTime += dt;
    UpdateScene(*fast, fast->simTime, dt);
    plain->simTime += dt;
    reference::UpdateScene(*plain, plain->simTime, dt, false);
    if (fast->clockEpoch != 0.0) {
      ++folds;
      EXPECT_EQ(fast->clockEpoch, 8192.0);
      EXPECT_EQ(fast->emitClock + 8192.0f, plain->emitClock);
      EXPECT_EQ(fast->simTime + 8192.0f, plain->simTime);
      // Apart from the clocks, nothing differs: every puff, the lattice, the generator.
      SceneState shifted = *plain;
      shifted.emitClock -= 8192.0f;
      shifted.simTime -= 8192.0f;
      shifted.clockEpoch = 8192.0;
      ASSERT_TRUE(SameState(*fast, shifted)) << "frame " << f;
    } else {
      ASSERT_TRUE(SameState(*fast, *plain)) << "frame " << f;
    }
  }
  EXPECT_GT(folds, 50);   // the fold came part-way through
  EXPECT_LT(folds, 150);
  EXPECT_LT(fast->emitClock, 10.0f);
}

// What a run sees of its pool: full, every puff alive and young enough.
void ExpectHealthyPool(const SceneState& s, const char* when) {
  EXPECT_GE(s.pool.count, 2040) << when;
  int alive = 0;
  for (int i = 0; i < s.pool.count; ++i) {
    const Puff& p = s.pool.puffs[i];
    if (p.life > 0.0f && p.life <= 2.0f) ++alive;
  }
  EXPECT_EQ(alive, s.pool.count) << when;
}

TEST(LongRun, EmissionContinuesPast16384Seconds) {
  // Near the point where a plain float clock stalls (16384 s)...
  auto fast = NewScene();
  RunFrames(*fast, 1.0f / 60, 200);
  auto plain = std::make_unique<SceneState>(*fast);
  plain->simTime += 16380.0f;
  plain->emitClock += 16380.0f;
  RunFrames(*plain, 1.0f / 64, 1000, /*fold=*/false, /*product=*/false);
  // ...the plain clock no longer advances: every new puff is born dead and
  // the picture fades.
  int dead = 0;
  for (int i = 0; i < plain->pool.count; ++i) dead += plain->pool.puffs[i].life <= 0.0f;
  EXPECT_GT(dead, 2000);

  // The product runs for real through 20000 s of simulation time, in steps of
  // two seconds (each frame replaces the whole pool), then at display rate.
  double total = 0;
  for (int f = 0; f < 10000; ++f) {
    fast->simTime += 2.0f;
    UpdateScene(*fast, fast->simTime, 2.0f);
    total += 2.0;
    ASSERT_EQ(fast->pool.count, kPoolCapacity) << "frame " << f;
    ASSERT_GT(fast->pool.puffs[kPoolCapacity - 1].life, 0.0f) << "frame " << f;
    ASSERT_LT(fast->emitClock, 8192.0f);
  }
  EXPECT_EQ(fast->clockEpoch, 16384.0);
  EXPECT_GT(fast->clockEpoch + fast->simTime, 20000.0);
  RunFrames(*fast, 1.0f / 60, 300);
  ExpectHealthyPool(*fast, "after 20000 s");
  // Lag between the clocks stays within a frame.
  EXPECT_LT(fast->simTime - fast->emitClock, 0.05f);
  EXPECT_GE(fast->simTime - fast->emitClock, 0.0f);
}

}  // namespace
}  // namespace sorvane::engine

// Whole frames: the product's update against the literal reference over
// thousands of frames of varied length, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "reference_scene.h"
#include "scene.h"
#include "scene_compare.h"

namespace sorvane::engine {
namespace {

using test::NewScene;
using test::SameState;

// A varied but repeatable frame-time sequence: mostly display-like steps with
// jitter, now and then tiny, zero, long and very long steps.
float StepFor(uint32_t& st) {
  st = st * 1103515245u + 12345u;
  const uint32_t r = (st >> 8) & 0xffff;
  switch (r % 41) {
    case 0: return 0.0f;
    case 1: return 1e-5f;
    case 2: return 0.3f + (r % 1000) * 1e-4f;
    case 3: return (r & 0x100) ? 2.5f : 1.0f / 1024;
    default: return 1.0f / 60 + ((static_cast<float>(r % 2001) - 1000.0f) * 4e-6f);
  }
}

TEST(SceneRun, UpdateIsBitIdenticalToTheLiteralRule) {
  auto fast = NewScene();
  auto ref = std::make_unique<SceneState>(*fast);
  uint32_t st = 2026;
  const int frames = 6000;
  for (int f = 0; f < frames; ++f) {
    float dt = f == 0 ? 0.7f : StepFor(st);
    if (f == frames - 200) fast->stopRequested = ref->stopRequested = true;  // drain at the end
    fast->simTime += dt;
    UpdateScene(*fast, fast->simTime, dt);
    ref->simTime += dt;
    reference::UpdateScene(*ref, ref->simTime, dt);
    ASSERT_TRUE(SameState(*fast, *ref)) << "frame " << f << " dt " << dt;
  }
}

TEST(SceneRun, IdenticalWhenThePoolIsFullAndPuffsDieInBulk) {
  auto fast = NewScene();
  auto ref = std::make_unique<SceneState>(*fast);
  // Long steps: whole generations die at once and are replaced at once.
  const float steps[] = {2.5f, 0.001f, 1.9f, 0.25f, 3.0f, 0.0f, 1.0f / 60, 2.0f, 0.4f, 0.6f};
  for (int f = 0; f < 400; ++f) {
    const float dt = steps[f % 10];
    fast->simTime += dt;
    UpdateScene(*fast, fast->simTime, dt);
    ref->simTime += dt;
    reference::UpdateScene(*ref, ref->simTime, dt);
    ASSERT_TRUE(SameState(*fast, *ref)) << "frame " << f;
  }
}

}  // namespace
}  // namespace sorvane::engine

// Whole frames: the product's update against the literal reference over
// thousands of frames of varied length, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

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


// Values of every kind a record or a node can hold after bad frames: small
// and large magnitudes, exact ties of the 1/128 grid, the edges of 2^23,
// 2^31 and 2^62 once quantised, signed zeros, infinities and NaN.
float WildValue(uint32_t& st) {
  st = st * 1664525u + 1013904223u;
  const uint32_t r = st >> 8;
  const float unit = static_cast<float>(r & 0xFFFF) / 65536.0f;  // [0, 1)
  const float sign = (r & 0x10000) ? -1.0f : 1.0f;
  switch ((r >> 17) % 12) {
    case 0: return sign * unit * 40.0f;
    case 1: return sign * (static_cast<float>(r & 0x3FFF) + 0.5f) / 128.0f;  // a tie
    case 2: return sign * std::ldexp(1.0f + unit, 16 + static_cast<int>((r >> 20) % 4));  // near 2^23 / 128
    case 3: return sign * std::ldexp(1.0f + unit, 23 + static_cast<int>((r >> 20) % 3));  // near 2^31 / 128
    case 4: return sign * std::ldexp(1.0f + unit, 53 + static_cast<int>((r >> 20) % 4));  // near 2^62 / 128
    case 5: return sign * 0.0f;
    case 6: return sign * INFINITY;
    case 7: return NAN;
    case 8: return sign * std::ldexp(1.0f + unit, -140);  // denormal
    case 9: return sign * (18.0f + unit * 4.0f);           // around the displacement limit
    default: return sign * unit * 3.0f;
  }
}

// Lattices and pools no normal run reaches, one frame at a time against the
// literal rule: wrapped neighbours in every summing order, stopped nodes,
// quantisation of huge and non-finite positions, dead and live records mixed.
TEST(SceneRun, WildStatesMatchTheLiteralRule) {
  uint32_t st = 99;
  const float steps[] = {1.0f / 60, 0.25f, 0.0f, -0.1f, 1e-4f};
  for (int round = 0; round < 60; ++round) {
    auto fast = NewScene();
    for (LatticeNode& n : fast->lattice.nodes) {
      if (round % 4 == 0) continue;  // keep the smooth field now and then
      float* f = &n.displacement.x;
      float* v = &n.velocity.x;
      for (int k = 0; k < 3; ++k) {
        if (round % 4 == 1) {  // finite, many nodes past the limit: they stop
          f[k] = static_cast<float>(static_cast<int>(st >> 9) % 2400) / 100.0f - 12.0f;
          v[k] = static_cast<float>(static_cast<int>((st = st * 69069u + 1u) >> 9) % 6000) - 3000.0f;
        } else {
          f[k] = (round % 4 == 2) ? WildValue(st) * 0.05f : WildValue(st);
          v[k] = WildValue(st);
        }
      }
      v[3] = (st & 1) ? 1.0f : 0.0f;  // never read; a stopped node's is made afresh (1)
    }
    const int count = 1 + static_cast<int>(st % kPoolCapacity);
    for (int i = 0; i < kPoolCapacity; ++i) {
      Puff& p = fast->pool.puffs[i];
      p.position = Vec4{WildValue(st), WildValue(st), WildValue(st), (i & 1) ? 1.0f : 0.0f};
      p.velocity = Vec4{WildValue(st), WildValue(st), WildValue(st), 1.0f};
      p.size = Vec4{WildValue(st), WildValue(st), WildValue(st), 1.0f};
      p.alpha = WildValue(st);
      p.life = (i % 7 == 0) ? -1.0f : (i % 5 == 0 ? WildValue(st) : 1.5f);
      p.screenX = WildValue(st);
      p.screenY = WildValue(st);
      p.radiusX = WildValue(st);
      p.radiusY = WildValue(st);
    }
    fast->pool.count = count;
    fast->stopRequested = (round & 1) != 0;
    auto ref = std::make_unique<SceneState>(*fast);
    for (int f = 0; f < 3; ++f) {
      const float dt = steps[(round + f) % 5];
      fast->simTime += dt;
      UpdateScene(*fast, fast->simTime, dt);
      ref->simTime += dt;
      reference::UpdateScene(*ref, ref->simTime, dt);
      ASSERT_TRUE(SameState(*fast, *ref, /*nanAsOne=*/true)) << "round " << round << " frame " << f;
    }
  }
}

// The thread's floating-point state as a GL driver might leave it: another
// rounding mode, denormals flushed, exceptions unmasked. Each frame runs under
// it and must come out as under the default state, and hand the state back.
TEST(SceneRun, ResultsDoNotDependOnTheThreadsFloatState) {
#if defined(__SSE__) || defined(_M_X64)
  const unsigned kDefault = 0x1F80;
  const unsigned kFtzDaz = 0x8040;
  const unsigned states[] = {
      kDefault | 0x2000,                // round down
      kDefault | 0x4000,                // round up
      kDefault | 0x6000 | kFtzDaz,      // toward zero, flush to zero, denormals are zero
      (kDefault & ~0x0280u) | kFtzDaz,  // invalid and denormal exceptions unmasked
  };
  for (const unsigned state : states) {
    auto dflt = NewScene();
    auto odd = std::make_unique<SceneState>();
    _mm_setcsr(state);
    ResetScene(*odd);
    const unsigned afterReset = _mm_getcsr();
    _mm_setcsr(kDefault);
    ASSERT_EQ(afterReset & ~0x3Fu, state) << std::hex << state;
    ASSERT_TRUE(SameState(*dflt, *odd)) << std::hex << state;
    uint32_t st = 7;
    for (int f = 0; f < 240; ++f) {
      // Long and short steps, NaN opacities, deaths and births: every path.
      const float dt = f == 0 ? 0.6f : (f % 50 == 0 ? 3.0f : StepFor(st));
      dflt->simTime += dt;
      UpdateScene(*dflt, dflt->simTime, dt);
      odd->simTime += dt;
      const float now = odd->simTime;
      _mm_setcsr(state);
      UpdateScene(*odd, now, dt);
      const unsigned after = _mm_getcsr();
      _mm_setcsr(kDefault);
      ASSERT_EQ(after & ~0x3Fu, state) << std::hex << state << " frame " << f;  // flags aside
      ASSERT_TRUE(SameState(*dflt, *odd)) << std::hex << state << " frame " << f;
    }
  }
#else
  GTEST_SKIP() << "no SSE control register on this machine";
#endif
}

}  // namespace
}  // namespace sorvane::engine

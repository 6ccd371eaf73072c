// The scene's building blocks, each checked against an independent working of
// its rule: generator, Gauss draws, lattice set-up, spring step, flow
// sampling, the first frame's burst, removal, projection, draining.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "detmath.h"
#include "reference_scene.h"
#include "scene.h"

namespace sorvane::engine {
namespace {

std::unique_ptr<SceneState> NewScene() {
  auto s = std::make_unique<SceneState>();  // value-initialised: generator at 1
  ResetScene(*s);
  return s;
}

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

int FloatUlps(float a, float b) {
  auto ord = [](float f) {
    int32_t i = static_cast<int32_t>(Bits(f));
    return i < 0 ? INT32_MIN - i : i;
  };
  int64_t d = static_cast<int64_t>(ord(a)) - ord(b);
  return static_cast<int>(d < 0 ? -d : d);
}

int Index(int x, int y, int z) { return z * 32 + y * 8 + x; }

// ---------------------------------------------------------------- generator

TEST(Random, SequenceFromStateOne) {
  SceneState s{};
  // state = state * 214013 + 2531011; result = bits 16..30.
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int e : expected) EXPECT_EQ(RandomInt(s), e);
  EXPECT_EQ(RandomUniform(s, 3.0), 5705.0 * 3.0 / 32767.0);  // the eleventh draw, scaled

  SceneState t{};
  uint32_t state = 1;
  for (int i = 0; i < 100000; ++i) {
    state = state * 214013u + 2531011u;
    const int v = RandomInt(t);
    ASSERT_EQ(v, static_cast<int>((state >> 16) & 0x7FFF));
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
}

// Works the polar method through by hand from the raw integer draws.
TEST(Random, GaussRejectsOutsideTheDiscAndUsesTheFirstDraw) {
  SceneState s{};
  SceneState raw{};
  int rejections = 0;
  for (int call = 0; call < 2000; ++call) {
    const double sigma = (call % 2) ? 0.25 : 0.5;
    double u, v, r;
    for (;;) {
      u = 2.0 * (RandomInt(raw) * 1.0 / 32767.0) - 1.0;
      v = 2.0 * (RandomInt(raw) * 1.0 / 32767.0) - 1.0;
      r = u * u + v * v;
      if (r < 1.0 && r != 0.0) break;
      ++rejections;
    }
    const double expected = u * sigma * std::sqrt(-2.0 * std::log(r) / r);
    const double got = RandomGauss(s, sigma);
    ASSERT_NEAR(got, expected, std::fabs(expected) * 1e-15) << "call " << call;
    ASSERT_EQ(s.random.state, raw.random.state) << "draws consumed differ at call " << call;
  }
  // About 21% of pairs fall outside the unit disc; the loop must have met some.
  EXPECT_GT(rejections, 200);
}

// ------------------------------------------------------------------ lattice

TEST(Lattice, SetUpFollowsThePhaseFormula) {
  auto s = NewScene();
  // The sixteen draws, in order: per channel the base phase, then the x, y, z steps.
  SceneState raw{};
  float base[4], sx[4], sy[4], sz[4];
  for (int w = 0; w < 4; ++w) {
    base[w] = RandomInt(raw) * 0.00019175345f;
    sx[w] = RandomInt(raw) * 0.0000048829615f + 0.16f;
    sy[w] = RandomInt(raw) * 0.0000048829615f + 0.16f;
    sz[w] = RandomInt(raw) * 0.0000048829615f + 0.16f;
  }
  EXPECT_EQ(s->random.state, raw.random.state) << "the set-up draws exactly sixteen numbers";
  EXPECT_EQ(base[0], 41 * 0.00019175345f);

  int exact = 0;
  for (int z = 0; z < 8; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) {
        // Rw = Pw + z*(z-step) + y*(y-step) + (x+1)*(x-step), one float addition at a time.
        float R[4];
        for (int w = 0; w < 4; ++w) {
          float r = base[w];
          for (int i = 0; i < z; ++i) r += sz[w];
          for (int i = 0; i < y; ++i) r += sy[w];
          for (int i = 0; i <= x; ++i) r += sx[w];
          R[w] = r;
        }
        const float X = static_cast<float>(x), Y = static_cast<float>(y);
        auto S = [](float a) { return std::sin(static_cast<double>(a)); };
        auto C = [](float a) { return std::cos(static_cast<double>(a)); };
        const float ex = static_cast<float>(5 * (S(R[2] - X) + C(R[2] + Y) + S(R[0] - Y) - C(R[0] + X)));
        const float ey = static_cast<float>(5 * (S(R[1] - X) + C(R[3] + Y) + S(R[3] - Y) - C(R[1] + X)));
        const float ez = static_cast<float>(5 * (S(R[0] - X) + C(R[2] + Y) + S(R[0] - Y) - C(R[2] + X)));
        const LatticeNode& node = s->lattice.nodes[Index(x, y, z)];
        // The platform's sin/cos may differ in the last bit of a double.
        EXPECT_LE(FloatUlps(node.displacement.x, ex), 1);
        EXPECT_LE(FloatUlps(node.displacement.y, ey), 1);
        EXPECT_LE(FloatUlps(node.displacement.z, ez), 1);
        exact += (node.displacement.x == ex) + (node.displacement.y == ey) + (node.displacement.z == ez);
        EXPECT_EQ(node.velocity.x, 0.0f);
        EXPECT_EQ(node.velocity.y, 0.0f);
        EXPECT_EQ(node.velocity.z, 0.0f);
        EXPECT_LE(std::fabs(node.displacement.x), 20.0f);
      }
  EXPECT_GE(exact, 760);  // of 768
  for (int n = 0; n < 256; ++n) EXPECT_EQ(s->fractionTable[n] * 256.0f, static_cast<float>(n));
}

TEST(Lattice, SameFieldInEverySceneStartedTheSameWay) {
  auto a = NewScene();
  auto b = NewScene();
  EXPECT_EQ(std::memcmp(&a->lattice, &b->lattice, sizeof a->lattice), 0);
  // The generator is never reseeded: a second reset continues the sequence.
  ResetScene(*b);
  EXPECT_NE(std::memcmp(&a->lattice, &b->lattice, sizeof a->lattice), 0);
}

void Scatter(SceneState& s, uint32_t seed, float amplitude) {
  uint32_t st = seed;
  auto next = [&] {
    st = st * 1664525u + 1013904223u;
    return (static_cast<float>(st >> 8) / 16777216.0f - 0.5f) * 2.0f * amplitude;
  };
  for (LatticeNode& n : s.lattice.nodes) {
    n.displacement = Vec4{next(), next(), next(), 1.0f};
    n.velocity = Vec4{next() * 0.1f, next() * 0.1f, next() * 0.1f, 1.0f};
  }
}

TEST(Lattice, SpringStepMatchesStraightforwardWorking) {
  for (float dt : {0.0166667f, 0.001f, 0.25f, 2.5f}) {
    for (uint32_t seed : {1u, 99u, 12345u}) {
      auto a = NewScene();
      Scatter(*a, seed, seed == 99u ? 15.0f : 2.0f);
      auto b = std::make_unique<SceneState>(*a);
      StepLattice(*a, dt);
      reference::StepLattice(*b, dt);
      for (int n = 0; n < 256; ++n) {
        ASSERT_EQ(std::memcmp(&a->lattice.nodes[n], &b->lattice.nodes[n], sizeof(LatticeNode)), 0)
            << "node " << n << " dt " << dt << " seed " << seed;
      }
    }
  }
}

TEST(Lattice, RestingLatticeFeelsNoForceAndOnePushIsShared) {
  auto s = NewScene();
  for (LatticeNode& n : s->lattice.nodes) {
    n.displacement = Vec4{0, 0, 0, 1};
    n.velocity = Vec4{0, 0, 0, 1};
  }
  StepLattice(*s, 0.5f);
  for (const LatticeNode& n : s->lattice.nodes) {
    ASSERT_EQ(n.velocity.x, 0.0f);
    ASSERT_EQ(n.velocity.z, 0.0f);
    ASSERT_EQ(n.displacement.y, 0.0f);
  }
  // One node pulled along x: its 26 neighbours are pushed towards it, it is
  // pushed back, and the total velocity stays (nearly) zero.
  const int pulled = Index(3, 1, 4);
  s->lattice.nodes[pulled].displacement.x = 0.5f;
  const float dt = 0.1f;
  StepLattice(*s, dt);
  double total = 0;
  int moved = 0;
  for (int n = 0; n < 256; ++n) {
    const Vec4& v = s->lattice.nodes[n].velocity;
    total += v.x;
    if (v.x != 0.0f) ++moved;
  }
  EXPECT_EQ(moved, 27);
  EXPECT_LT(s->lattice.nodes[pulled].velocity.x, 0.0f);
  EXPECT_GT(s->lattice.nodes[Index(4, 1, 4)].velocity.x, 0.0f);
  EXPECT_NEAR(total, 0.0, 1e-7);
  // Displacements moved by velocity * dt after the pass (the pulled node by
  // its new velocity).
  const float damp = static_cast<float>(std::pow(static_cast<double>(0.998f), static_cast<double>(dt)));
  const LatticeNode& p = s->lattice.nodes[pulled];
  EXPECT_FLOAT_EQ(p.displacement.x, 0.5f + p.velocity.x / damp * dt);
}

// A uniform shift feels no spring force, so only the limit acts on velocity.
std::unique_ptr<SceneState> UniformField(float z, float vz) {
  auto s = NewScene();
  for (LatticeNode& n : s->lattice.nodes) {
    n.displacement = Vec4{0, 0, z, 1};
    n.velocity = Vec4{0, 0, vz, 1};
  }
  return s;
}

TEST(Lattice, DisplacementLimitStopsTheNode) {
  // Squared length exactly 400 is still inside: the velocity is only damped.
  auto in = UniformField(19.0f, 1.0f);
  StepLattice(*in, 1.0f);
  const float damp = static_cast<float>(std::pow(static_cast<double>(0.998f), 1.0));
  for (const LatticeNode& n : in->lattice.nodes) {
    ASSERT_EQ(n.displacement.z, 20.0f);
    ASSERT_EQ(n.velocity.z, damp);
  }
  // Just beyond it every node loses all its velocity, at every move pass.
  const float beyond = std::nextafter(20.0f, 30.0f);
  auto out = UniformField(beyond - 1.0f, 1.0f);
  for (int step = 0; step < 3; ++step) {
    StepLattice(*out, 1.0f);
    for (const LatticeNode& n : out->lattice.nodes) {
      ASSERT_EQ(n.displacement.z, beyond);
      ASSERT_EQ(n.velocity.x, 0.0f);
      ASSERT_EQ(n.velocity.y, 0.0f);
      ASSERT_EQ(n.velocity.z, 0.0f);
    }
  }
  // A push back inside restores normal damping.
  for (LatticeNode& n : out->lattice.nodes) n.velocity.z = -1.0f;
  StepLattice(*out, 0.5f);
  for (const LatticeNode& n : out->lattice.nodes) {
    ASSERT_LT(n.displacement.z, 20.0f);
    ASSERT_LT(n.velocity.z, 0.0f);
  }
}

// --------------------------------------------------------------------- flow

// A field that encodes the node in the displacement, so that a blend shows
// which nodes it read and with which weights.
void MarkedField(SceneState& s) {
  for (int z = 0; z < 8; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x)
        s.lattice.nodes[Index(x, y, z)].displacement =
            Vec4{static_cast<float>(x), static_cast<float>(y), static_cast<float>(z * 8), 1};
}

Vec4 Sample(const SceneState& s, float x, float y, float z) {
  Puff p{};
  p.position = Vec4{x, y, z, 1};
  AdvectByFlow(s, p, 1.0f);
  return Vec4{p.position.x - x, p.position.y - y, p.position.z - z, 1};
}

TEST(Flow, BlendsAcrossTheWrap) {
  auto s = NewScene();
  MarkedField(*s);
  // x just below 8: cell 7, weight 255/256 towards column 0 (value 0).
  Puff p{};
  p.position = Vec4{7.99f, 0.0f, 0.0f, 1};
  AdvectByFlow(*s, p, 1.0f);
  const float fx = 255.0f / 256.0f;
  EXPECT_EQ(p.position.x, 7.99f + ((1 - fx) * 7.0f + fx * 0.0f));
  // At x = 8 the sample is column 0 exactly; at x = -8 too (16-unit period).
  EXPECT_EQ(Sample(*s, 8.0f, 0, 0).x, 0.0f);
  EXPECT_EQ(Sample(*s, -8.0f, 0, 0).x, 0.0f);
  EXPECT_EQ(Sample(*s, 8.0f + 16.0f, 0, 0).x, 0.0f);
  // x = 0 is the middle of the lattice: column 4.
  EXPECT_EQ(Sample(*s, 0.0f, 0, 0).x, 4.0f);
}

TEST(Flow, NegativeCoordinatesAndRowsWithoutBlending) {
  auto s = NewScene();
  MarkedField(*s);
  // x = -1/128 -> q = -1 -> column 3, weight 255/256 towards column 4.
  const float fx = 255.0f / 256.0f;
  EXPECT_EQ(Sample(*s, -1.0f / 128, 0, 0).x, (1 - fx) * 3.0f + fx * 4.0f);
  // z = -0.5 -> q = -64 -> 1984: cell 7, weight 192/256 towards cell 0.
  const float fz = 192.0f / 256.0f;
  EXPECT_EQ(Sample(*s, 0, 0, -0.5f).z, (1 - fz) * 56.0f + fz * 0.0f);
  // y: only the row is chosen, no blending. y = -4 -> row 0; y = 3.5 -> row
  // (448+512)>>8 = 3; y = -1/128 -> q = -1 -> 511 -> row 1.
  EXPECT_EQ(Sample(*s, 0, -4.0f, 0).y, 0.0f);
  EXPECT_EQ(Sample(*s, 0, 3.5f, 0).y, 3.0f);
  EXPECT_EQ(Sample(*s, 0, -1.0f / 128, 0).y, 1.0f);
  EXPECT_EQ(Sample(*s, 0, 4.0f, 0).y, 0.0f);  // period 8 in y
}

TEST(Flow, QuantisationTiesToEven) {
  auto s = NewScene();
  MarkedField(*s);
  // Along z, values 8*z: the fraction shows q mod 256.
  auto fraction = [&](float z) {
    const float got = Sample(*s, 0, 0, z).z;  // cell 0 (0) towards cell 1 (8)
    return got / 8.0f * 256.0f;
  };
  EXPECT_EQ(fraction(0.5f / 128), 0.0f);   // 0.5 -> 0
  EXPECT_EQ(fraction(1.5f / 128), 2.0f);   // 1.5 -> 2
  EXPECT_EQ(fraction(2.5f / 128), 2.0f);   // 2.5 -> 2
  EXPECT_EQ(fraction(3.5f / 128), 4.0f);   // 3.5 -> 4
  EXPECT_EQ(fraction(std::nextafter(0.5f / 128, 1.0f)), 1.0f);
  // Negative ties: -0.5 -> 0, -1.5 -> -2 (2046: cell 7, fraction 254).
  EXPECT_EQ(Sample(*s, 0, 0, -0.5f / 128).z, 0.0f);
  const float f254 = 254.0f / 256.0f;
  EXPECT_EQ(Sample(*s, 0, 0, -1.5f / 128).z, (1 - f254) * 56.0f + f254 * 0.0f);
}

TEST(Flow, NonFiniteAndHugeCoordinatesCountAsZero) {
  auto s = NewScene();
  // z displacement names the node: x + 10y + 100z.
  for (int n = 0; n < 256; ++n)
    s->lattice.nodes[n].displacement = Vec4{0, 0, static_cast<float>((n & 7) + 10 * ((n >> 3) & 3) + 100 * (n >> 5)), 1};
  // q(0) = 0 -> column 4, row 2, layer 0.
  EXPECT_EQ(Sample(*s, 0, 0, 0).z, 24.0f);
  for (float v : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 0x1p55f}) {
    EXPECT_EQ(Sample(*s, v, 0, 0).z, 24.0f) << v;
    EXPECT_EQ(Sample(*s, 0, v, 0).z, 24.0f) << v;
  }
  // Large but exact: 2^20 -> q = 2^27, a multiple of 2048 -> column 4.
  EXPECT_EQ(Sample(*s, 0x1p20f, 0, 0).z, 24.0f);
  // 2^20 + 1.25 -> q = 2^27 + 160 -> column 4 + 160/256 towards column 5.
  const float f = 160.0f / 256.0f;
  EXPECT_EQ(Sample(*s, 0x1p20f + 1.25f, 0, 0).z, (1 - f) * 24.0f + f * 25.0f);
}

// --------------------------------------------------------------- first frame

TEST(Frame, FirstFrameEmitsItsWholeBacklogEachAdvectedForItsAge) {
  for (float dt : {0.3f, 0.5f, 1.0f, 1.999f}) {
    auto s = NewScene();
    SceneState gen = *s;  // the generator as the burst will find it
    auto lattice = std::make_unique<SceneState>(*s);
    AdvanceLattice(*lattice, dt);  // the flow the new puffs see
    s->simTime += dt;
    UpdateScene(*s, s->simTime, dt);
    const int expected = static_cast<int>(std::floor(static_cast<double>(dt) * 1024));
    ASSERT_EQ(s->pool.count, expected) << dt;
    EXPECT_EQ(s->emitClock, expected / 1024.0f);
    int nanAlphas = 0;
    for (int i = 0; i < expected; ++i) {
      const Puff& p = s->pool.puffs[i];
      const float birth = (i + 1) / 1024.0f;
      const float age = dt - birth;
      const float g1 = static_cast<float>(RandomGauss(gen, 0.25));
      const float g2 = static_cast<float>(RandomGauss(gen, 0.25));
      const float size = static_cast<float>(RandomGauss(gen, 0.5) + 0.5);
      const float k = static_cast<float>(RandomGauss(gen, 0.5) + 0.5);
      Puff e{};
      e.position = Vec4{6.0f * g2, 25.0f + 2.0f * g1, -13.0f, 1};
      AdvectByFlow(*lattice, e, age);
      ASSERT_EQ(p.position.x, e.position.x) << i;
      ASSERT_EQ(p.position.y, e.position.y) << i;
      ASSERT_EQ(p.position.z, e.position.z) << i;
      EXPECT_EQ(p.velocity.z, 10.0f);
      EXPECT_EQ(p.life, (birth + 2.0f) - dt);
      EXPECT_NEAR(p.life, 2.0f - age, 1e-6);
      EXPECT_EQ(p.size.x, size * k);
      EXPECT_EQ(p.size.z, size * k);
      const double alpha = std::pow(0.4, static_cast<double>(age)) * 0.15 * std::sqrt(size);
      if (size < 0) {
        EXPECT_TRUE(std::isnan(p.alpha)) << i;
        ++nanAlphas;
      } else {
        EXPECT_LE(FloatUlps(p.alpha, static_cast<float>(alpha)), 1) << i;
      }
      // Projection of the new puff.
      if (p.position.y > 1.0f) {
        EXPECT_EQ(p.screenX, 2.0f * p.position.x / p.position.y);
        EXPECT_EQ(p.screenY, 2.0f * p.position.z / p.position.y);
        EXPECT_EQ(p.radiusX, 2.0f * p.size.x / p.position.y);
        EXPECT_EQ(p.radiusY, 2.0f * p.size.z / p.position.y);
      } else {
        EXPECT_EQ(p.radiusX, 0.0f);
      }
    }
    EXPECT_EQ(s->random.state, gen.random.state);
    if (expected > 500) {
      EXPECT_GT(nanAlphas, expected / 12);  // s < 0 about one time in six
    }
  }
}

// ------------------------------------------------------------------ removal

Puff Marked(float life, float tag) {
  Puff p{};
  p.life = life;
  p.position = Vec4{0, 10, 0, 1};
  p.size = Vec4{tag, tag, tag, 1};  // size is untouched by the update
  p.alpha = 1.0f;
  return p;
}

TEST(Pool, RemovalMovesTheLastRecordIntoTheHoleAndHandlesItInTheSamePass) {
  auto s = NewScene();
  s->stopRequested = true;  // no emission: only ageing
  const float dt = 0.01f;
  s->pool.puffs[0] = Marked(1.0f, 0);
  s->pool.puffs[1] = Marked(0.005f, 1);  // dies
  s->pool.puffs[2] = Marked(1.0f, 2);
  s->pool.puffs[3] = Marked(1.0f, 3);
  s->pool.puffs[4] = Marked(NAN, 4);     // dies (not a number), after moving into 1
  s->pool.puffs[5] = Marked(0.01f, 5);   // dies: life reaches 0 exactly
  s->pool.puffs[6] = Marked(0.5f, 6);
  s->pool.count = 7;
  UpdateScene(*s, 0.0f, dt);
  // 1 dies -> 6 moves to 1 (alive). 4 dies -> 5 moves to 4 -> dies -> count 4.
  ASSERT_EQ(s->pool.count, 4);
  const float order[] = {0, 6, 2, 3};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s->pool.puffs[i].size.x, order[i]) << i;
  // Every survivor aged exactly once, the moved one too.
  EXPECT_EQ(s->pool.puffs[1].life, 0.5f - dt);
  EXPECT_EQ(s->pool.puffs[0].life, 1.0f - dt);
  EXPECT_EQ(s->pool.puffs[0].velocity.z, 4.0f * dt);
  EXPECT_EQ(s->pool.puffs[1].velocity.z, 4.0f * dt);
}

TEST(Pool, NanAlphaPuffLivesMovesAndDiesNormally) {
  auto s = NewScene();
  s->stopRequested = true;
  Puff p = Marked(0.05f, 1);
  p.alpha = NAN;
  p.velocity = Vec4{0, 0, 10, 1};
  s->pool.puffs[0] = p;
  s->pool.count = 1;
  float now = 0;
  int frames = 0;
  float lastZ = p.position.z;
  while (s->pool.count == 1) {
    now += 0.02f;
    UpdateScene(*s, now, 0.02f);
    ++frames;
    if (s->pool.count == 1) {
      const Puff& q = s->pool.puffs[0];
      EXPECT_TRUE(std::isnan(q.alpha));
      EXPECT_NE(q.position.z, lastZ);
      EXPECT_NE(q.radiusX, 0.0f);
      EXPECT_FALSE(std::isnan(q.screenX));
      lastZ = q.position.z;
    }
  }
  EXPECT_EQ(frames, 3);  // 0.05 - 0.02 - 0.02 > 0; the third step ends it
}

// --------------------------------------------------------------- projection

TEST(Projection, NearPuffsAreNotDrawnAndKeepTheirOldScreenFields) {
  auto s = NewScene();
  s->stopRequested = true;
  for (int i = 0; i < 3; ++i) {
    Puff p = Marked(1.0f, 1);
    p.screenX = 11.0f;
    p.screenY = 12.0f;
    p.radiusX = 13.0f;
    p.radiusY = 14.0f;
    s->pool.puffs[i] = p;
  }
  s->pool.count = 3;
  // Depth exactly 1 after the update (no flow: zero displacements).
  for (LatticeNode& n : s->lattice.nodes) n.displacement = Vec4{0, 0, 0, 1};
  s->pool.puffs[0].position.y = 1.0f;
  s->pool.puffs[1].position.y = -3.0f;
  s->pool.puffs[2].position.y = std::nextafter(1.0f, 2.0f);
  s->pool.puffs[2].size = Vec4{-0.5f, -0.5f, -0.5f, 1};  // negative size: still drawn
  UpdateScene(*s, 0.0f, 0.0f);
  for (int i = 0; i < 2; ++i) {
    const Puff& p = s->pool.puffs[i];
    EXPECT_EQ(p.radiusX, 0.0f);
    EXPECT_EQ(p.screenX, 11.0f);
    EXPECT_EQ(p.screenY, 12.0f);
    EXPECT_EQ(p.radiusY, 14.0f);
  }
  const Puff& q = s->pool.puffs[2];
  EXPECT_LT(q.radiusX, 0.0f);
  EXPECT_EQ(q.radiusX, 2.0f * -0.5f / q.position.y);
  EXPECT_EQ(q.screenY, 2.0f * q.position.z / q.position.y);
}

TEST(Projection, MixedDepthsAcrossAWholePool) {
  // Enough records for every code path the update has: near and far ones in
  // every position of a group, NaN depth, and a remainder.
  auto s = NewScene();
  s->stopRequested = true;
  for (LatticeNode& n : s->lattice.nodes) n.displacement = Vec4{0, 0, 0, 1};
  const float depths[] = {5.0f, 1.0f, 0.5f, 2.0f, -1.0f, NAN, 1.0000001f, 30.0f, 1.0f, 3.0f, 0.0f};
  const int n = 203;
  for (int i = 0; i < n; ++i) {
    Puff p = Marked(1.0f, static_cast<float>(i));
    p.position = Vec4{0.25f * i, depths[i % 11], -0.5f * i, 1};
    p.screenX = 100.0f + i;
    p.screenY = 200.0f + i;
    p.radiusX = 300.0f + i;
    p.radiusY = 400.0f + i;
    s->pool.puffs[i] = p;
  }
  s->pool.count = n;
  UpdateScene(*s, 0.0f, 0.0f);
  ASSERT_EQ(s->pool.count, n);
  for (int i = 0; i < n; ++i) {
    const Puff& p = s->pool.puffs[i];
    ASSERT_EQ(p.size.x, static_cast<float>(i));
    const float depth = depths[i % 11];
    if (depth > 1.0f) {
      EXPECT_EQ(p.screenX, 2.0f * p.position.x / depth) << i;
      EXPECT_EQ(p.screenY, 2.0f * p.position.z / depth) << i;
      EXPECT_EQ(p.radiusX, 2.0f * p.size.x / depth) << i;
      EXPECT_EQ(p.radiusY, 2.0f * p.size.z / depth) << i;
    } else {
      EXPECT_EQ(p.radiusX, 0.0f) << i;
      EXPECT_EQ(p.screenX, 100.0f + i) << i;
      EXPECT_EQ(p.screenY, 200.0f + i) << i;
      EXPECT_EQ(p.radiusY, 400.0f + i) << i;
    }
  }
}

// The spring lengths may be taken as float square roots: for every float,
// the double square root rounded to float is the correctly rounded float
// square root. Checked here over a spread of all positive floats.
TEST(Lattice, FloatSquareRootEqualsTheDoubleOneRounded) {
  for (uint64_t u = 0; u < 0x7f800000u; u += 61) {
    const uint32_t bits = static_cast<uint32_t>(u);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    const volatile float x = f;
    ASSERT_EQ(std::sqrt(static_cast<float>(x)), static_cast<float>(std::sqrt(static_cast<double>(x)))) << bits;
  }
}

// ---------------------------------------------------------------- draining

TEST(Drain, EmptyWithinTwoSecondsAfterStop) {
  auto s = NewScene();
  const float dt = 1.0f / 60;
  for (int i = 0; i < 300; ++i) {
    s->simTime += dt;
    UpdateScene(*s, s->simTime, dt);
  }
  ASSERT_GT(s->pool.count, 1900);
  s->stopRequested = true;
  const float stopAt = s->simTime;
  int last = s->pool.count;
  while (s->pool.count > 0) {
    s->simTime += dt;
    UpdateScene(*s, s->simTime, dt);
    ASSERT_LE(s->pool.count, last) << "no emission after stop";
    last = s->pool.count;
    ASSERT_LE(s->simTime - stopAt, 2.0f + dt) << "still " << s->pool.count << " puffs";
  }
  EXPECT_GT(s->simTime - stopAt, 1.9f);  // the youngest puffs live out their two seconds
  // Stays empty and quiet.
  const float clock = s->emitClock;
  s->simTime += 1.0f;
  UpdateScene(*s, s->simTime, 1.0f);
  EXPECT_EQ(s->pool.count, 0);
  EXPECT_EQ(s->emitClock, clock);
}

}  // namespace
}  // namespace sorvane::engine

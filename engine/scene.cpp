// The scene: generator, spring lattice, flow sampling, puff pool and the
// per-frame update. Scene values are 32-bit floats; square roots, powers,
// logarithms, sines and cosines are taken in double and stored back as float.
// Every expression below is written in the order in which it must be rounded:
// the same trace comes out bit for bit on every target, so the transcendental
// functions come from detmath (never the platform's libm), there is no
// contraction into fused multiply-adds, and nothing here allocates.
#include "scene.h"

#include <cmath>
#include <cstring>

// The hot loops use SSE2 (every x86 target has it); the plain versions serve
// other machines and, built with SORVANE_SCENE_SCALAR, the tests.
#if defined(__SSE2__) && !defined(SORVANE_SCENE_SCALAR)
#define SORVANE_SCENE_SSE2 1
#include <emmintrin.h>
#include <xmmintrin.h>
// 64-bit x86 builds also carry an AVX lattice pass, taken where the processor
// and the system offer AVX (the same operations in the same order, eight
// lanes wide). SORVANE_SCENE_NO_AVX leaves it out, for the tests.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(SORVANE_SCENE_NO_AVX)
#define SORVANE_SCENE_AVX 1
#include <immintrin.h>
#endif
#endif

#include "detmath.h"

namespace sorvane::engine {
namespace {

SceneState g_scene;

// --- Vec4: x, y, z in float; w is carried (1 for every made vector) --------

inline Vec4 Make(float x, float y, float z) { return Vec4{x, y, z, 1.0f}; }
inline Vec4 Add(const Vec4& a, const Vec4& b) { return Make(a.x + b.x, a.y + b.y, a.z + b.z); }
inline Vec4 Scale(const Vec4& a, float k) { return Make(a.x * k, a.y * k, a.z * k); }
inline void AddTo(Vec4& a, const Vec4& b) {
  a.x += b.x;
  a.y += b.y;
  a.z += b.z;
}
inline void ScaleBy(Vec4& a, float k) {
  a.x *= k;
  a.y *= k;
  a.z *= k;
}
inline float SquaredLength(const Vec4& a) { return (a.x * a.x + a.y * a.y) + a.z * a.z; }
inline Vec4 Lerp(const Vec4& a, const Vec4& b, float t) {
  const float u = 1.0f - t;
  return Make(u * a.x + t * b.x, u * a.y + t * b.y, u * a.z + t * b.z);
}

// --- constants ---------------------------------------------------------------

const Vec4 kEmitterOrigin = {0.0f, 25.0f, -13.0f, 1.0f};
const Vec4 kSpreadA = {6.0f, 0.0f, 0.0f, 1.0f};
const Vec4 kSpreadB = {0.0f, 2.0f, 0.0f, 1.0f};
const Vec4 kStartVelocity = {0.0f, 0.0f, 10.0f, 1.0f};
const Vec4 kAcceleration = {0.0f, 0.0f, 4.0f, 1.0f};
constexpr float kProjection = 2.0f;
constexpr float kNearestDepth = 1.0f;
constexpr float kEmitInterval = 1.0f / 1024.0f;  // exact in float
constexpr float kLifetime = 2.0f;
constexpr double kAlphaDecay = 0.4;
constexpr double kBaseAlpha = 0.15;
constexpr float kSpring = 0.01f;
constexpr float kDamping = 0.998f;
constexpr float kDisplacementLimit = 400.0f;  // squared length
constexpr double kFieldAmplitude = 5.0;

// Rest lengths by |dz|*9 + |dy|*3 + |dx|: 1, sqrt(2) or sqrt(3) as floats
// (the other entries are never read).
const float kRestLength[27] = {
    0.0f, 1.0f,       0.0f, 1.0f,       1.4142135f, 0.0f, 0.0f, 0.0f, 0.0f,
    1.0f, 1.4142135f, 0.0f, 1.4142135f, 1.7320508f, 0.0f, 0.0f, 0.0f, 0.0f,
    0.0f, 0.0f,       0.0f, 0.0f,       0.0f,       0.0f, 0.0f, 0.0f, 0.0f,
};

// Below 16384 adding the emission interval to a float clock is exact; at
// 16384 the sum is a tie that rounds back to 16384 and emission would stall.
// So the clocks are folded back by 8192 exactly there, just before the add
// that would be lost, and not earlier: until then the plain clocks work.
// 8192 is a power of two, so the fold is exact and keeps every difference.
constexpr float kClockStall = 16384.0f;
constexpr float kClockFold = 8192.0f;

inline int NodeIndex(int x, int y, int z) { return z * 32 + y * 8 + x; }

// The integer nearest to 128*v (computed in float), ties to even, modulo
// 2^32 (only its value modulo 2048 is used). Below 2^23 the float addition of
// +-2^23 rounds to the integer itself; above, the float already is an
// integer. Floats of 2^62 and more are multiples of 2^39, so 0 is their
// exact residue; NaN and infinities also give 0.
int64_t QuantiseLarge(float f) {
  if (!(std::fabs(f) < 0x1p62f)) return 0;
  return static_cast<int64_t>(f);  // already integral
}

inline uint32_t Quantise(float v) {
  const float f = 128.0f * v;
  if (std::fabs(f) < 0x1p23f) {
    const float magic = std::copysign(0x1p23f, f);
    return static_cast<uint32_t>(static_cast<int32_t>((f + magic) - magic));
  }
  return static_cast<uint32_t>(QuantiseLarge(f));
}

// The lattice cell and weights a position falls in, and the flow there.
inline Vec4 FlowAt(const SceneState& s, const Vec4& position) {
  const uint32_t ux = (Quantise(position.x) + 1024u) & 2047u;
  const uint32_t uy = (Quantise(position.y) + 512u) & 1023u;
  const uint32_t uz = Quantise(position.z) & 2047u;
  const uint32_t cx = ux >> 8, cy = uy >> 8, cz = uz >> 8;
  const float fx = s.fractionTable[ux & 255];
  const float fz = s.fractionTable[uz & 255];
  const uint32_t cx1 = (cx + 1) & 7, cz1 = (cz + 1) & 7;
  const LatticeNode* nodes = s.lattice.nodes;
  const Vec4& d00 = nodes[cz * 32 + cy * 8 + cx].displacement;
  const Vec4& d10 = nodes[cz * 32 + cy * 8 + cx1].displacement;
  const Vec4& d01 = nodes[cz1 * 32 + cy * 8 + cx].displacement;
  const Vec4& d11 = nodes[cz1 * 32 + cy * 8 + cx1].displacement;
  const Vec4 A = Lerp(d00, d10, fx);
  const Vec4 B = Lerp(d01, d11, fx);
  return Lerp(A, B, fz);
}

inline void Project(Puff& p) {
  const float depth = p.position.y;
  if (depth > kNearestDepth) {
    p.screenX = kProjection * p.position.x / depth;
    p.screenY = kProjection * p.position.z / depth;
    p.radiusX = kProjection * p.size.x / depth;
    p.radiusY = kProjection * p.size.z / depth;
  } else {
    p.radiusX = 0.0f;
  }
}

// One survivor: record `from` (already aged to `life`) updated into slot `to`.
inline void UpdateOne(const SceneState& s, Puff* puffs, int to, int from, float life, float dt,
                      const Vec4& accel, float decay) {
  Puff p = puffs[from];
  p.life = life;
  p.velocity.x += accel.x;
  p.velocity.y += accel.y;
  p.velocity.z += accel.z;
  p.position.x += p.velocity.x * dt;
  p.position.y += p.velocity.y * dt;
  p.position.z += p.velocity.z * dt;
  const Vec4 F = FlowAt(s, p.position);
  p.position.x += F.x * dt;
  p.position.y += F.y * dt;
  p.position.z += F.z * dt;
  p.alpha = p.alpha * decay;
  Project(p);  // emission, later in the frame, leaves survivors alone
  puffs[to] = p;
}

#if defined(SORVANE_SCENE_SSE2)
// Quantise() on four lanes. The update runs with round-to-nearest-even set
// (DefaultFloatState), so the float-to-int conversion is that rounding; it
// is exact up to 2^31, and beyond it gives INT32_MIN, so only those lanes
// (and NaN) take the scalar path.
inline __m128i QuantiseFour(__m128 v) {
  const __m128 f = _mm_mul_ps(v, _mm_set1_ps(128.0f));
  __m128i q = _mm_cvtps_epi32(f);
  const int wide = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(q, _mm_set1_epi32(INT32_MIN))));
  if (wide != 0) {
    alignas(16) float lanes[4];
    alignas(16) int32_t out[4];
    _mm_store_ps(lanes, f);
    _mm_store_si128(reinterpret_cast<__m128i*>(out), q);
    for (int k = 0; k < 4; ++k) {
      if (wide & (1 << k)) out[k] = static_cast<int32_t>(static_cast<uint32_t>(QuantiseLarge(lanes[k])));
    }
    q = _mm_load_si128(reinterpret_cast<const __m128i*>(out));
  }
  return q;
}

// UpdateOne with each vector of the record (x, y, z, w) in one register, so
// that nothing has to be transposed: every lane does UpdateOne's operations
// in its order. The w lanes take + 0 (acceleration) and * 0 (the step), and w
// is only ever 1 or +0, so it comes out unchanged. The work is cut in three
// stages run over batches of records (motion and cell, flow, projection):
// each stage's chain of dependent operations is short, so the processor
// works on many records at once.
struct alignas(16) Cell {
  uint32_t u[4];  // x, y, z quantised and wrapped (below 2048), 0
};
constexpr int kBatch = 64;

// Stage 1: record `from`, aged to `life`, moved by its velocity into slot
// `to`; its cell.
inline void MoveOne(Puff* puffs, int to, int from, float life, __m128 acc, __m128 step, float decay,
                    Cell& cell) {
  const Puff& src = puffs[from];
  Puff& dst = puffs[to];
  const __m128 vel = _mm_add_ps(_mm_loadu_ps(&src.velocity.x), acc);
  const __m128 pos = _mm_add_ps(_mm_loadu_ps(&src.position.x), _mm_mul_ps(vel, step));
  const float alpha = src.alpha * decay;
  _mm_store_si128(reinterpret_cast<__m128i*>(cell.u),
                  _mm_and_si128(_mm_add_epi32(QuantiseFour(pos), _mm_setr_epi32(1024, 512, 0, 0)),
                                _mm_setr_epi32(2047, 1023, 2047, 0)));
  if (to != from) {
    _mm_storeu_ps(&dst.size.x, _mm_loadu_ps(&src.size.x));
    _mm_storeu_ps(&dst.screenX, _mm_loadu_ps(&src.screenX));
  }
  _mm_storeu_ps(&dst.position.x, pos);
  _mm_storeu_ps(&dst.velocity.x, vel);
  dst.alpha = alpha;
  dst.life = life;
}

// Stage 2: the flow in the cell: its four corners straight from the lattice,
// blended along x and then z. Corner addresses are byte offsets taken from
// the bits of u: a node is 32 bytes, a y row 256, a z plane 1024.
inline void FlowOne(const SceneState& s, Puff& p, const Cell& cell, __m128 step) {
  static_assert(sizeof(LatticeNode) == 32, "corner offsets assume 32-byte nodes");
  const unsigned ux = cell.u[0], uy = cell.u[1], uz = cell.u[2];
  const unsigned x0 = (ux >> 3) & 0xE0u, x1 = (x0 + 0x20u) & 0xE0u;
  const unsigned z0 = (uz << 2) & 0x1C00u, z1 = (z0 + 0x400u) & 0x1C00u;
  const char* row = reinterpret_cast<const char*>(&s.lattice.nodes[0].displacement.x) + (uy & 0x300u);
  const __m128 d00 = _mm_loadu_ps(reinterpret_cast<const float*>(row + (z0 + x0)));
  const __m128 d10 = _mm_loadu_ps(reinterpret_cast<const float*>(row + (z0 + x1)));
  const __m128 d01 = _mm_loadu_ps(reinterpret_cast<const float*>(row + (z1 + x0)));
  const __m128 d11 = _mm_loadu_ps(reinterpret_cast<const float*>(row + (z1 + x1)));
  const __m128 fx = _mm_set1_ps(s.fractionTable[ux & 255]);
  const __m128 fz = _mm_set1_ps(s.fractionTable[uz & 255]);
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 gx = _mm_sub_ps(one, fx), gz = _mm_sub_ps(one, fz);
  const __m128 A = _mm_add_ps(_mm_mul_ps(gx, d00), _mm_mul_ps(fx, d10));
  const __m128 B = _mm_add_ps(_mm_mul_ps(gx, d01), _mm_mul_ps(fx, d11));
  const __m128 F = _mm_add_ps(_mm_mul_ps(gz, A), _mm_mul_ps(fz, B));
  _mm_storeu_ps(&p.position.x, _mm_add_ps(_mm_loadu_ps(&p.position.x), _mm_mul_ps(F, step)));
}

// Stage 3: projection, (2x, 2z, 2 size.x, 2 size.z) / depth. At depth 1 or
// nearer only radiusX changes (to 0); the other fields keep the record's own.
inline void ProjectOne(Puff& p) {
  const __m128 pos = _mm_loadu_ps(&p.position.x);
  const __m128 depth = _mm_shuffle_ps(pos, pos, _MM_SHUFFLE(1, 1, 1, 1));
  if (_mm_cvtss_f32(depth) > kNearestDepth) {
    const __m128 n = _mm_shuffle_ps(pos, _mm_loadu_ps(&p.size.x), _MM_SHUFFLE(2, 0, 2, 0));
    _mm_storeu_ps(&p.screenX, _mm_div_ps(_mm_mul_ps(_mm_set1_ps(kProjection), n), depth));
  } else {
    p.radiusX = 0.0f;
  }
}

// Stages 2 and 3 for the records first .. first + n - 1.
inline void FinishBatch(const SceneState& s, Puff* puffs, int first, int n, const Cell* cells, __m128 step) {
  for (int k = 0; k < n; ++k) FlowOne(s, puffs[first + k], cells[k], step);
  for (int k = 0; k < n; ++k) ProjectOne(puffs[first + k]);
}

#endif

}  // namespace

SceneState& Scene() { return g_scene; }

// --- generator -----------------------------------------------------------------

int RandomInt(SceneState& s) {
  s.random.state = s.random.state * 214013u + 2531011u;
  return static_cast<int>((s.random.state >> 16) & 0x7FFFu);
}

double RandomUniform(SceneState& s, double scale) {
  return static_cast<double>(RandomInt(s)) * scale / 32767.0;
}

double RandomGauss(SceneState& s, double sigma) {
  double u, v, r;
  do {
    u = 2.0 * RandomUniform(s, 1.0) - 1.0;
    v = 2.0 * RandomUniform(s, 1.0) - 1.0;
    r = u * u + v * v;
  } while (r >= 1.0 || r == 0.0);
  return u * sigma * std::sqrt(-2.0 * detmath::Log(r) / r);
}

// --- lattice -------------------------------------------------------------------

void InitLattice(SceneState& s) {
  for (int n = 0; n < 256; ++n) s.fractionTable[n] = static_cast<float>(n) / 256.0f;

  float base[4], stepX[4], stepY[4], stepZ[4];
  for (int w = 0; w < 4; ++w) {
    base[w] = static_cast<float>(RandomInt(s)) * 0.00019175345f;
    stepX[w] = static_cast<float>(RandomInt(s)) * 0.0000048829615f + 0.16f;
    stepY[w] = static_cast<float>(RandomInt(s)) * 0.0000048829615f + 0.16f;
    stepZ[w] = static_cast<float>(RandomInt(s)) * 0.0000048829615f + 0.16f;
  }

  float phaseZ[4], phaseY[4], phaseX[4];
  for (int w = 0; w < 4; ++w) phaseZ[w] = base[w];
  for (int z = 0; z < 8; ++z) {
    for (int w = 0; w < 4; ++w) {
      phaseY[w] = phaseZ[w];
      phaseZ[w] += stepZ[w];
    }
    for (int y = 0; y < 4; ++y) {
      for (int w = 0; w < 4; ++w) {
        phaseX[w] = phaseY[w];
        phaseY[w] += stepY[w];
      }
      for (int x = 0; x < 8; ++x) {
        for (int w = 0; w < 4; ++w) phaseX[w] += stepX[w];
        const float* R = phaseX;
        const float X = static_cast<float>(x);
        const float Y = static_cast<float>(y);
        auto S = [](float a) { return detmath::Sin(static_cast<double>(a)); };
        auto C = [](float a) { return detmath::Cos(static_cast<double>(a)); };
        const double dx = ((S(R[2] - X) + C(R[2] + Y)) + S(R[0] - Y)) - C(R[0] + X);
        const double dy = ((S(R[1] - X) + C(R[3] + Y)) + S(R[3] - Y)) - C(R[1] + X);
        const double dz = ((S(R[0] - X) + C(R[2] + Y)) + S(R[0] - Y)) - C(R[2] + X);
        LatticeNode& node = s.lattice.nodes[NodeIndex(x, y, z)];
        node.displacement = Make(static_cast<float>(kFieldAmplitude * dx),
                                 static_cast<float>(kFieldAmplitude * dy),
                                 static_cast<float>(kFieldAmplitude * dz));
        node.velocity = Make(0.0f, 0.0f, 0.0f);
      }
    }
  }
}

namespace {

// The spring pass, reorganised. It reads displacements it never changes, so
// each of the 256 x 26 pushes can be computed on its own, in any order; only
// the sums into each node's velocity must keep their original order, which for
// node m is by source node ascending (one source never reaches m through two
// offsets). So the pass runs over the targets, four at a time, and for each
// adds its 26 incoming pushes in that order.
constexpr int kOffsets = 26;

struct alignas(16) SpringOffset {
  float dx, dy, dz, rest;  // from source to target, and the rest length
};

struct SpringTables {
  SpringOffset offset[kOffsets];
  // For target m, the j-th incoming spring: source n | offset index << 8,
  // sources ascending.
  uint16_t incoming[kLatticeNodes][kOffsets];
  // The same offsets and rest lengths laid out for four targets at a time:
  // [m / 4][j][component dx, dy, dz, rest][m % 4].
  alignas(16) float lanes[kLatticeNodes / 4][kOffsets][4][4];
};

constexpr SpringTables MakeSpringTables() {
  SpringTables t{};
  int filled[kLatticeNodes] = {};
  for (int n = 0; n < kLatticeNodes; ++n) {
    const int x = n & 7, y = (n >> 3) & 3, z = n >> 5;
    int o = 0;
    for (int dz = -1; dz <= 1; ++dz)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0 && dz == 0) continue;
          t.offset[o] = SpringOffset{
              static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(dz),
              kRestLength[(dz < 0 ? -dz : dz) * 9 + (dy < 0 ? -dy : dy) * 3 + (dx < 0 ? -dx : dx)]};
          const int m = ((z + dz) & 7) * 32 + ((y + dy) & 3) * 8 + ((x + dx) & 7);
          t.incoming[m][filled[m]++] = static_cast<uint16_t>(n | (o << 8));
          ++o;
        }
  }
  for (int m = 0; m < kLatticeNodes; ++m)
    for (int j = 0; j < kOffsets; ++j) {
      const SpringOffset& so = t.offset[t.incoming[m][j] >> 8];
      t.lanes[m / 4][j][0][m % 4] = so.dx;
      t.lanes[m / 4][j][1][m % 4] = so.dy;
      t.lanes[m / 4][j][2][m % 4] = so.dz;
      t.lanes[m / 4][j][3][m % 4] = so.rest;
    }
  return t;
}

constexpr SpringTables kSprings = MakeSpringTables();

#if defined(SORVANE_SCENE_SSE2)
// Targets m..m+3: velocity += every incoming push d * ((rest - L) * c),
// d = (disp(m) - disp(n)) + offset; each lane does the scalar operations in
// the scalar order. The square root of a float taken in double and rounded
// back is the correctly rounded float square root (53 >= 2*24 + 2 bits make
// the double rounding harmless), which is what sqrtps computes.
inline void SpringsIntoFour(LatticeNode* nodes, int m, float c) {
  __m128 MX = _mm_loadu_ps(&nodes[m].displacement.x), MY = _mm_loadu_ps(&nodes[m + 1].displacement.x);
  __m128 MZ = _mm_loadu_ps(&nodes[m + 2].displacement.x), MW = _mm_loadu_ps(&nodes[m + 3].displacement.x);
  _MM_TRANSPOSE4_PS(MX, MY, MZ, MW);
  __m128 VX = _mm_loadu_ps(&nodes[m].velocity.x), VY = _mm_loadu_ps(&nodes[m + 1].velocity.x);
  __m128 VZ = _mm_loadu_ps(&nodes[m + 2].velocity.x), VW = _mm_loadu_ps(&nodes[m + 3].velocity.x);
  _MM_TRANSPOSE4_PS(VX, VY, VZ, VW);
  const __m128 vc = _mm_set1_ps(c);
  const uint16_t* in[4] = {kSprings.incoming[m], kSprings.incoming[m + 1], kSprings.incoming[m + 2],
                           kSprings.incoming[m + 3]};
  for (int j = 0; j < kOffsets; ++j) {
    const unsigned e0 = in[0][j], e1 = in[1][j], e2 = in[2][j], e3 = in[3][j];
    __m128 NX = _mm_loadu_ps(&nodes[e0 & 255].displacement.x);
    __m128 NY = _mm_loadu_ps(&nodes[e1 & 255].displacement.x);
    __m128 NZ = _mm_loadu_ps(&nodes[e2 & 255].displacement.x);
    __m128 NW = _mm_loadu_ps(&nodes[e3 & 255].displacement.x);
    _MM_TRANSPOSE4_PS(NX, NY, NZ, NW);
    const float* lane = kSprings.lanes[m / 4][j][0];
    const __m128 OX = _mm_load_ps(lane), OY = _mm_load_ps(lane + 4);
    const __m128 OZ = _mm_load_ps(lane + 8), OR = _mm_load_ps(lane + 12);
    const __m128 dx = _mm_add_ps(_mm_sub_ps(MX, NX), OX);
    const __m128 dy = _mm_add_ps(_mm_sub_ps(MY, NY), OY);
    const __m128 dz = _mm_add_ps(_mm_sub_ps(MZ, NZ), OZ);
    const __m128 sq = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
    const __m128 k = _mm_mul_ps(_mm_sub_ps(OR, _mm_sqrt_ps(sq)), vc);
    VX = _mm_add_ps(VX, _mm_mul_ps(dx, k));
    VY = _mm_add_ps(VY, _mm_mul_ps(dy, k));
    VZ = _mm_add_ps(VZ, _mm_mul_ps(dz, k));
  }
  _MM_TRANSPOSE4_PS(VX, VY, VZ, VW);
  _mm_storeu_ps(&nodes[m].velocity.x, VX);
  _mm_storeu_ps(&nodes[m + 1].velocity.x, VY);
  _mm_storeu_ps(&nodes[m + 2].velocity.x, VZ);
  _mm_storeu_ps(&nodes[m + 3].velocity.x, VW);
}
#else
inline void SpringsIntoFour(LatticeNode* nodes, int m, float c) {
  for (int t = m; t < m + 4; ++t) {
    const Vec4 dm = nodes[t].displacement;
    Vec4& v = nodes[t].velocity;
    for (int j = 0; j < kOffsets; ++j) {
      const unsigned e = kSprings.incoming[t][j];
      const Vec4& dn = nodes[e & 255].displacement;
      const SpringOffset& o = kSprings.offset[e >> 8];
      const float dx = (dm.x - dn.x) + o.dx;
      const float dy = (dm.y - dn.y) + o.dy;
      const float dz = (dm.z - dn.z) + o.dz;
      const float L = static_cast<float>(std::sqrt(static_cast<double>((dx * dx + dy * dy) + dz * dz)));
      const float k = (o.rest - L) * c;
      v.x += dx * k;
      v.y += dy * k;
      v.z += dz * k;
    }
  }
}
#endif

#if defined(SORVANE_SCENE_AVX)
// With AVX the pass takes a whole row of x at a time: eight targets with the
// same y and z. They meet their source rows (z', y') in the same order, and in
// a source row their sources lie at x-1, x, x+1, in that order, except at the
// wrap, where x = 0 takes them as x, x+1, x-1 and x = 7 as x+1, x-1, x. So
// each push is computed once for the eight lanes, and the two edge lanes keep
// a second sum in their own order. The displacements are read from a copy by
// component with each row padded by its wrapped neighbours, so every source
// vector is a single load; the step and damping of the row follow at once.
struct RowGroup {
  int32_t source;    // source row z' * 4 + y'
  float dy, dz;      // from source to target
  float restSide;    // rest length with dx = +-1
  float restMiddle;  // with dx = 0 (not for the row itself)
};

struct RowTables {
  RowGroup group[32][9];  // per target row z * 4 + y, source rows ascending
};

constexpr int Wrapped(int d, int period) {
  return d > 1 ? d - period : (d < -1 ? d + period : d);
}

constexpr RowTables MakeRowTables() {
  RowTables t{};
  for (int r = 0; r < 32; ++r) {
    int g = 0;
    for (int sr = 0; sr < 32; ++sr) {
      const int dy = Wrapped((r & 3) - (sr & 3), 4), dz = Wrapped((r >> 2) - (sr >> 2), 8);
      if (dy < -1 || dy > 1 || dz < -1 || dz > 1) continue;
      const int yz = (dz < 0 ? -dz : dz) * 9 + (dy < 0 ? -dy : dy) * 3;
      t.group[r][g++] = RowGroup{sr, static_cast<float>(dy), static_cast<float>(dz), kRestLength[yz + 1],
                                 kRestLength[yz]};
    }
  }
  return t;
}

constexpr RowTables kRows = MakeRowTables();

constexpr int kRowStride = 12;  // [x7, x0 .. x7, x0] and two floats of padding
struct alignas(16) PaddedRows {
  float c[3][32][kRowStride];  // component, row, 1 + x
};

#define SORVANE_AVX __attribute__((target("avx")))

struct Eight3 {
  __m256 x, y, z;
};

// The pushes from the sources at `at` (one load per component) into the
// targets m: d = (m - n) + offset, k = (rest - |d|) * c, push = d * k.
SORVANE_AVX inline Eight3 PushesFrom8(const PaddedRows& rows, int row, int at, const Eight3& m, __m256 ox,
                                      __m256 oy, __m256 oz, __m256 rest, __m256 vc) {
  const __m256 dx = _mm256_add_ps(_mm256_sub_ps(m.x, _mm256_loadu_ps(&rows.c[0][row][at])), ox);
  const __m256 dy = _mm256_add_ps(_mm256_sub_ps(m.y, _mm256_loadu_ps(&rows.c[1][row][at])), oy);
  const __m256 dz = _mm256_add_ps(_mm256_sub_ps(m.z, _mm256_loadu_ps(&rows.c[2][row][at])), oz);
  const __m256 sq =
      _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz));
  const __m256 k = _mm256_mul_ps(_mm256_sub_ps(rest, _mm256_sqrt_ps(sq)), vc);
  return Eight3{_mm256_mul_ps(dx, k), _mm256_mul_ps(dy, k), _mm256_mul_ps(dz, k)};
}

SORVANE_AVX inline void AddInto8(Eight3& v, const Eight3& p) {
  v.x = _mm256_add_ps(v.x, p.x);
  v.y = _mm256_add_ps(v.y, p.y);
  v.z = _mm256_add_ps(v.z, p.z);
}

// All 32 rows: springs, then displacement += velocity * dt; a node pushed
// too far stops (velocity (0, 0, 0, 1)), the others are damped.
SORVANE_AVX void SpringsIntoRows8(LatticeNode* nodes, const PaddedRows& rows, float c, float dt, float damp) {
  const __m256 vc = _mm256_set1_ps(c);
  const __m256 plus = _mm256_set1_ps(1.0f), zero = _mm256_setzero_ps(), minus = _mm256_set1_ps(-1.0f);
  for (int row = 0; row < 32; ++row) {
    LatticeNode* n = nodes + row * 8;
    __m128 VX0 = _mm_loadu_ps(&n[0].velocity.x), VY0 = _mm_loadu_ps(&n[1].velocity.x);
    __m128 VZ0 = _mm_loadu_ps(&n[2].velocity.x), VW0 = _mm_loadu_ps(&n[3].velocity.x);
    _MM_TRANSPOSE4_PS(VX0, VY0, VZ0, VW0);
    __m128 VX1 = _mm_loadu_ps(&n[4].velocity.x), VY1 = _mm_loadu_ps(&n[5].velocity.x);
    __m128 VZ1 = _mm_loadu_ps(&n[6].velocity.x), VW1 = _mm_loadu_ps(&n[7].velocity.x);
    _MM_TRANSPOSE4_PS(VX1, VY1, VZ1, VW1);
    const Eight3 m{_mm256_loadu_ps(&rows.c[0][row][1]), _mm256_loadu_ps(&rows.c[1][row][1]),
                   _mm256_loadu_ps(&rows.c[2][row][1])};
    Eight3 v{_mm256_insertf128_ps(_mm256_castps128_ps256(VX0), VX1, 1),
             _mm256_insertf128_ps(_mm256_castps128_ps256(VY0), VY1, 1),
             _mm256_insertf128_ps(_mm256_castps128_ps256(VZ0), VZ1, 1)};
    // Lane 0 (x = 0) takes its sources as x, x+1, x-1, lane 7 as x+1, x-1, x:
    // one more sum holds both.
    Eight3 edges = v;
    for (int g = 0; g < 9; ++g) {
      const RowGroup& rg = kRows.group[row][g];
      const __m256 oy = _mm256_set1_ps(rg.dy), oz = _mm256_set1_ps(rg.dz);
      const __m256 side = _mm256_set1_ps(rg.restSide);
      const Eight3 before = PushesFrom8(rows, rg.source, 0, m, plus, oy, oz, side, vc);
      const Eight3 after = PushesFrom8(rows, rg.source, 2, m, minus, oy, oz, side, vc);
      if (rg.source == row) {
        AddInto8(v, before);
        AddInto8(v, after);
        AddInto8(edges, after);
        AddInto8(edges, before);
        continue;
      }
      const Eight3 same = PushesFrom8(rows, rg.source, 1, m, zero, oy, oz, _mm256_set1_ps(rg.restMiddle), vc);
      AddInto8(v, before);
      AddInto8(v, same);
      AddInto8(v, after);
      AddInto8(edges, Eight3{_mm256_blend_ps(after.x, same.x, 0x01), _mm256_blend_ps(after.y, same.y, 0x01),
                             _mm256_blend_ps(after.z, same.z, 0x01)});
      AddInto8(edges, Eight3{_mm256_blend_ps(before.x, after.x, 0x01), _mm256_blend_ps(before.y, after.y, 0x01),
                             _mm256_blend_ps(before.z, after.z, 0x01)});
      AddInto8(edges, Eight3{_mm256_blend_ps(same.x, before.x, 0x01), _mm256_blend_ps(same.y, before.y, 0x01),
                             _mm256_blend_ps(same.z, before.z, 0x01)});
    }
    __m256 vx = _mm256_blend_ps(v.x, edges.x, 0x81);
    __m256 vy = _mm256_blend_ps(v.y, edges.y, 0x81);
    __m256 vz = _mm256_blend_ps(v.z, edges.z, 0x81);

    const __m256 vdt = _mm256_set1_ps(dt);
    const __m256 dx = _mm256_add_ps(m.x, _mm256_mul_ps(vx, vdt));
    const __m256 dy = _mm256_add_ps(m.y, _mm256_mul_ps(vy, vdt));
    const __m256 dz = _mm256_add_ps(m.z, _mm256_mul_ps(vz, vdt));
    const __m256 sq =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)), _mm256_mul_ps(dz, dz));
    const __m256 far = _mm256_cmp_ps(sq, _mm256_set1_ps(kDisplacementLimit), _CMP_GT_OQ);
    const __m256 vdamp = _mm256_set1_ps(damp);
    vx = _mm256_andnot_ps(far, _mm256_mul_ps(vx, vdamp));
    vy = _mm256_andnot_ps(far, _mm256_mul_ps(vy, vdamp));
    vz = _mm256_andnot_ps(far, _mm256_mul_ps(vz, vdamp));
    const __m256 vw = _mm256_blendv_ps(_mm256_insertf128_ps(_mm256_castps128_ps256(VW0), VW1, 1),
                                       _mm256_set1_ps(1.0f), far);
    for (int half = 0; half < 2; ++half) {
      LatticeNode* h = n + half * 4;
      __m128 DX = half ? _mm256_extractf128_ps(dx, 1) : _mm256_castps256_ps128(dx);
      __m128 DY = half ? _mm256_extractf128_ps(dy, 1) : _mm256_castps256_ps128(dy);
      __m128 DZ = half ? _mm256_extractf128_ps(dz, 1) : _mm256_castps256_ps128(dz);
      // The displacement's w is kept as it is: gathered from the records.
      __m128 DW = _mm_setr_ps(h[0].displacement.w, h[1].displacement.w, h[2].displacement.w,
                              h[3].displacement.w);
      __m128 VX = half ? _mm256_extractf128_ps(vx, 1) : _mm256_castps256_ps128(vx);
      __m128 VY = half ? _mm256_extractf128_ps(vy, 1) : _mm256_castps256_ps128(vy);
      __m128 VZ = half ? _mm256_extractf128_ps(vz, 1) : _mm256_castps256_ps128(vz);
      __m128 VW = half ? _mm256_extractf128_ps(vw, 1) : _mm256_castps256_ps128(vw);
      _MM_TRANSPOSE4_PS(DX, DY, DZ, DW);
      _MM_TRANSPOSE4_PS(VX, VY, VZ, VW);
      _mm_storeu_ps(&h[0].displacement.x, DX);
      _mm_storeu_ps(&h[1].displacement.x, DY);
      _mm_storeu_ps(&h[2].displacement.x, DZ);
      _mm_storeu_ps(&h[3].displacement.x, DW);
      _mm_storeu_ps(&h[0].velocity.x, VX);
      _mm_storeu_ps(&h[1].velocity.x, VY);
      _mm_storeu_ps(&h[2].velocity.x, VZ);
      _mm_storeu_ps(&h[3].velocity.x, VW);
    }
  }
}

// The displacements by component, each row padded with its wrapped
// neighbours.
void PadRows(const LatticeNode* nodes, PaddedRows& rows) {
  for (int row = 0; row < 32; ++row) {
    for (int half = 0; half < 2; ++half) {
      const LatticeNode* n = nodes + row * 8 + half * 4;
      __m128 X = _mm_loadu_ps(&n[0].displacement.x), Y = _mm_loadu_ps(&n[1].displacement.x);
      __m128 Z = _mm_loadu_ps(&n[2].displacement.x), W = _mm_loadu_ps(&n[3].displacement.x);
      _MM_TRANSPOSE4_PS(X, Y, Z, W);
      _mm_storeu_ps(&rows.c[0][row][1 + half * 4], X);
      _mm_storeu_ps(&rows.c[1][row][1 + half * 4], Y);
      _mm_storeu_ps(&rows.c[2][row][1 + half * 4], Z);
    }
    for (int k = 0; k < 3; ++k) {
      rows.c[k][row][0] = rows.c[k][row][8];
      rows.c[k][row][9] = rows.c[k][row][1];
    }
  }
}

// AVX needs the processor's support and the system's saving of the wide
// registers; the compiler's check looks at both.
bool HaveAvx() {
  static const bool have = __builtin_cpu_supports("avx");
  return have;
}
#endif
}  // namespace

void StepLattice(SceneState& s, float dt) {
  LatticeNode* nodes = s.lattice.nodes;
  const float c = kSpring * dt;
  const float damp = static_cast<float>(
      detmath::Pow(static_cast<double>(kDamping), static_cast<double>(dt)));
#if defined(SORVANE_SCENE_AVX)
  if (HaveAvx()) {
    PaddedRows rows;
    PadRows(nodes, rows);
    SpringsIntoRows8(nodes, rows, c, dt, damp);
    return;
  }
#endif
  for (int m = 0; m < kLatticeNodes; m += 4) SpringsIntoFour(nodes, m, c);
  for (int n = 0; n < kLatticeNodes; ++n) {
    LatticeNode& node = nodes[n];
    AddTo(node.displacement, Scale(node.velocity, dt));
    if (SquaredLength(node.displacement) > kDisplacementLimit) {
      node.velocity = Make(0.0f, 0.0f, 0.0f);
    } else {
      ScaleBy(node.velocity, damp);
    }
  }
}

void AdvectByFlow(const SceneState& s, Puff& puff, float dt) {
  AddTo(puff.position, Scale(FlowAt(s, puff.position), dt));
}

// --- scene ---------------------------------------------------------------------

void ResetScene(SceneState& s) {
  const DefaultFloatState floatState;
  // The engine resets once, over zeroed static storage; clearing the records
  // gives every other SceneState the same start.
  std::memset(static_cast<void*>(s.pool.puffs), 0, sizeof s.pool.puffs);
  s.pool.count = 0;
  s.emitClock = 0.0f;
  s.simTime = 0.0f;
  s.clockEpoch = 0.0;
  s.stopRequested = false;
  InitLattice(s);
}

namespace {

inline bool Finite(float v) { return v - v == 0.0f; }

// A node that went non-finite anyway goes back to rest; the springs pull it
// into the field again. Only overlong frames look.
void KeepLatticeFinite(SceneState& s) {
  for (LatticeNode& node : s.lattice.nodes) {
    const Vec4& d = node.displacement;
    const Vec4& v = node.velocity;
    if (!Finite(d.x) || !Finite(d.y) || !Finite(d.z) || !Finite(v.x) || !Finite(v.y) || !Finite(v.z)) {
      node.displacement = Make(0.0f, 0.0f, 0.0f);
      node.velocity = Make(0.0f, 0.0f, 0.0f);
    }
  }
}

// An overlong frame (or a clock that is not a number): the scene sees at most
// kLongestFrame of it. The rest is skipped by moving the clocks back, which
// keeps the lag between them as it was; clockEpoch keeps the real total.
float ShortenFrame(SceneState& s, float& now, float dt) {
  float seen = dt;
  if (!(seen == seen)) seen = 0.0f;
  if (seen > kLongestFrame) seen = kLongestFrame;
  if (seen < -kLongestFrame) seen = -kLongestFrame;
  if (!Finite(now)) {
    // The time is lost: carry on from the latest birth.
    now = s.emitClock;
    s.simTime = now;
  } else if (Finite(dt) && seen != dt) {
    const float skipped = dt - seen;
    now -= skipped;
    s.simTime -= skipped;
    s.clockEpoch += static_cast<double>(skipped);
  }
  return seen;
}

void UpdateSceneUnguarded(SceneState& s, float now, float dt);

}  // namespace

void AdvanceLattice(SceneState& s, float dt) {
  if (std::fabs(dt) <= kLongestLatticeStep) {
    StepLattice(s, dt);
    return;
  }
  const int steps = static_cast<int>(std::ceil(std::fabs(dt) / kLongestLatticeStep));
  const float step = dt / static_cast<float>(steps);
  for (int k = 0; k < steps; ++k) StepLattice(s, step);
}

void UpdateScene(SceneState& s, float now, float dt) {
  const DefaultFloatState floatState;
  UpdateSceneUnguarded(s, now, dt);
}

namespace {

void UpdateSceneUnguarded(SceneState& s, float now, float dt) {
  // Frames of up to kLongestLatticeStep take the plain path below unchanged.
  const bool overlong = !(std::fabs(dt) <= kLongestLatticeStep) || !Finite(now);
  if (overlong) dt = ShortenFrame(s, now, dt);
  const float decay = static_cast<float>(detmath::Pow(kAlphaDecay, static_cast<double>(dt)));
  if (overlong) {
    AdvanceLattice(s, dt);
    KeepLatticeFinite(s);
  } else {
    StepLattice(s, dt);
  }

  // Ageing. The rule walks the pool, and a dead puff's slot takes the last
  // record, which is handled next in the same pass. A survivor is updated as
  // soon as its slot is known: it comes from its own slot or from the end of
  // the pool, which the walk never reaches again, and lands in a slot the walk
  // has just left (with SSE2, its flow and projection follow a batch later).
  PuffPool& pool = s.pool;
  Puff* puffs = pool.puffs;
  int count = pool.count;
  int deadInPlace = -1;  // a dead record the last step copied onto itself
  float deadLife = 0.0f;
  const Vec4 accel = Scale(kAcceleration, dt);
#if defined(SORVANE_SCENE_SSE2)
  const __m128 acc = _mm_setr_ps(accel.x, accel.y, accel.z, 0.0f);
  const __m128 step = _mm_setr_ps(dt, dt, dt, 0.0f);
  Cell cells[kBatch];
  int pending = 0;  // records moved but not yet finished, ending at slot i
#endif
  for (int i = 0; i < count; ++i) {
    int current = i;  // slot i still holds its own record when first reached
    float life = puffs[current].life - dt;
    while (!(life > 0.0f)) {
      --count;
      if (count == i) break;
      current = count;  // the last record (never moved yet) fills the hole
      life = puffs[current].life - dt;
    }
    if (count == i) {
      deadInPlace = current;
      deadLife = life;
      break;
    }
#if defined(SORVANE_SCENE_SSE2)
    MoveOne(puffs, i, current, life, acc, step, decay, cells[pending]);
    if (++pending == kBatch) {
      FinishBatch(s, puffs, i + 1 - kBatch, kBatch, cells, step);
      pending = 0;
    }
#else
    UpdateOne(s, puffs, i, current, life, dt, accel, decay);
#endif
  }
#if defined(SORVANE_SCENE_SSE2)
  FinishBatch(s, puffs, count - pending, pending, cells, step);
#endif
  pool.count = count;
  // The rule leaves the slots beyond the count as they were, except for a
  // final dead record copied onto itself, which keeps its reduced life.
  if (deadInPlace >= 0) {
    if (deadInPlace != count) puffs[count] = puffs[deadInPlace];
    puffs[count].life = deadLife;
  }

  if (!s.stopRequested) {
    while (pool.count < kPoolCapacity &&
           static_cast<double>(now) - static_cast<double>(s.emitClock) >= 1.0 / 1024) {
      if (s.emitClock >= kClockStall) {
        s.emitClock -= kClockFold;
        s.simTime -= kClockFold;
        now -= kClockFold;
        s.clockEpoch += static_cast<double>(kClockFold);
      }
      s.emitClock += kEmitInterval;
      Puff& p = pool.puffs[pool.count];
      pool.count += 1;
      const float g1 = static_cast<float>(RandomGauss(s, 0.25));
      const float g2 = static_cast<float>(RandomGauss(s, 0.25));
      p.position = Add(Add(kEmitterOrigin, Scale(kSpreadA, g2)), Scale(kSpreadB, g1));
      p.velocity = kStartVelocity;
      const float age = now - s.emitClock;
      AdvectByFlow(s, p, age);
      p.life = (s.emitClock + kLifetime) - now;
      const float size = static_cast<float>(RandomGauss(s, 0.5) + 0.5);
      p.size = Make(size, size, size);
      p.alpha = static_cast<float>(detmath::Pow(kAlphaDecay, static_cast<double>(age)) *
                                   kBaseAlpha *
                                   detmath::Pow(static_cast<double>(size), 0.5));
      const float k = static_cast<float>(RandomGauss(s, 0.5) + 0.5);
      ScaleBy(p.size, k);
    }
  }

  for (int j = count; j < pool.count; ++j) Project(puffs[j]);
}

}  // namespace

}  // namespace sorvane::engine

// The scene: a stream of light puffs rising through the flow field of a small
// spring lattice. Portable code, no OS headers. All storage is fixed; nothing
// is allocated after start-up. Deterministic on every target.
#pragma once
#include <cfenv>
#include <cstdint>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace sorvane::engine {

// x, y, z are used; w is carried along and never read (1 when made).
struct Vec4 {
  float x, y, z, w;
};

struct Puff {
  Vec4 position;
  Vec4 velocity;
  Vec4 size;
  float alpha;
  float life;
  float screenX, screenY;
  float radiusX, radiusY;  // radiusX == 0: not drawn this frame
};

constexpr int kPoolCapacity = 2048;
constexpr int kLatticeNodes = 256;  // 8 x 4 x 8, index z*32 + y*8 + x

// Frames up to this long (either way) are simulated in one step. Longer ones
// are cut into lattice steps of this length, and a frame sees at most
// kLongestFrame of simulated time: after a sleep, a paused machine or a
// stalled driver the scene goes on from where it was instead of blowing up.
constexpr float kLongestLatticeStep = 0.25f;
constexpr float kLongestFrame = 2.0f;  // the puff lifetime: longer kills them all anyway

struct PuffPool {
  Puff puffs[kPoolCapacity];
  int32_t count;
};

struct LatticeNode {
  Vec4 displacement;
  Vec4 velocity;
};

struct FlowLattice {
  LatticeNode nodes[kLatticeNodes];
};

// The generator: state 1 at process start (ResetRandom), never reseeded.
struct EngineRandom {
  uint32_t state = 1;
};

// The whole scene. One static instance serves the engine (Scene()); tests and
// tools may make their own.
struct SceneState {
  PuffPool pool;
  FlowLattice lattice;
  float fractionTable[256];
  float emitClock;
  float simTime;
  bool stopRequested;
  EngineRandom random;
  // Seconds taken out of the clocks: whole folds of 8192 s that keep the
  // float clocks exact in long runs, and the part of an overlong frame the
  // scene does not simulate. clockEpoch + simTime is the time really run.
  double clockEpoch;
};

// The scene's arithmetic (and the frame clock's) assumes the default
// floating-point state: round to nearest, denormals kept, exceptions masked (a
// negative size makes a NaN on purpose). GL drivers and injected libraries
// sometimes change the thread's state, so it is set for the scene's work and
// given back after. UpdateScene and ResetScene hold one.
class DefaultFloatState {
 public:
#if defined(__SSE__) || defined(_M_X64)
  // MXCSR: all exceptions masked, round to nearest, no FTZ/DAZ, flags clear.
  DefaultFloatState() : saved_(_mm_getcsr()) { _mm_setcsr(0x1F80); }
  ~DefaultFloatState() { _mm_setcsr(saved_); }

 private:
  unsigned saved_;
#else
  DefaultFloatState() : saved_(std::fegetround()) { std::fesetround(FE_TONEAREST); }
  ~DefaultFloatState() { std::fesetround(saved_); }

 private:
  int saved_;
#endif
  DefaultFloatState(const DefaultFloatState&) = delete;
  DefaultFloatState& operator=(const DefaultFloatState&) = delete;
};

SceneState& Scene();

int RandomInt(SceneState& s);                    // 0..32767
double RandomUniform(SceneState& s, double scale);
double RandomGauss(SceneState& s, double sigma);

void ResetScene(SceneState& s);
void InitLattice(SceneState& s);
void StepLattice(SceneState& s, float dt);
// StepLattice in equal steps of at most kLongestLatticeStep: the spring step
// is explicit and diverges for long steps. One plain step when dt is short.
void AdvanceLattice(SceneState& s, float dt);
void AdvectByFlow(const SceneState& s, Puff& puff, float dt);
void UpdateScene(SceneState& s, float now, float dt);

}  // namespace sorvane::engine

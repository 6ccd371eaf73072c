// The scene: a stream of light puffs rising through the flow field of a small
// spring lattice. Portable code, no OS headers. All storage is fixed; nothing
// is allocated after start-up. Deterministic on every target.
#pragma once
#include <cstdint>

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
  // Whole seconds taken out of the clocks to keep them precise in long runs
  // (see scene.cpp); 0 for the first hours.
  double clockEpoch;
};

SceneState& Scene();

int RandomInt(SceneState& s);                    // 0..32767
double RandomUniform(SceneState& s, double scale);
double RandomGauss(SceneState& s, double sigma);

void ResetScene(SceneState& s);
void InitLattice(SceneState& s);
void StepLattice(SceneState& s, float dt);
void AdvectByFlow(const SceneState& s, Puff& puff, float dt);
void UpdateScene(SceneState& s, float now, float dt);

}  // namespace sorvane::engine

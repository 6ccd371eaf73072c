// Cost of one frame of the scene with the pool full (2048 puffs), at display
// rate, and of its two big parts.
#include <benchmark/benchmark.h>

#include <memory>

#include "reference_scene.h"
#include "scene.h"

namespace {

using sorvane::engine::SceneState;

std::unique_ptr<SceneState> SteadyScene() {
  auto s = std::make_unique<SceneState>();
  sorvane::engine::ResetScene(*s);
  s->simTime = 2.5f;
  sorvane::engine::UpdateScene(*s, s->simTime, 2.5f);  // fills the pool
  for (int i = 0; i < 120; ++i) {
    s->simTime += 1.0f / 60;
    sorvane::engine::UpdateScene(*s, s->simTime, 1.0f / 60);
  }
  return s;
}

void BM_UpdateSceneFullPool(benchmark::State& state) {
  auto s = SteadyScene();
  long puffs = 0;
  for (auto _ : state) {
    s->simTime += 1.0f / 60;
    sorvane::engine::UpdateScene(*s, s->simTime, 1.0f / 60);
    puffs += s->pool.count;
    benchmark::DoNotOptimize(s->pool.puffs[0].screenX);
  }
  state.counters["puffs/frame"] = benchmark::Counter(static_cast<double>(puffs) /
                                                     static_cast<double>(state.iterations()));
}
BENCHMARK(BM_UpdateSceneFullPool)->Unit(benchmark::kMicrosecond);

// The literal form of the same update (kept with the tests), for comparison.
void BM_ReferenceUpdateSceneFullPool(benchmark::State& state) {
  auto s = SteadyScene();
  for (auto _ : state) {
    s->simTime += 1.0f / 60;
    sorvane::engine::reference::UpdateScene(*s, s->simTime, 1.0f / 60);
    benchmark::DoNotOptimize(s->pool.puffs[0].screenX);
  }
}
BENCHMARK(BM_ReferenceUpdateSceneFullPool)->Unit(benchmark::kMicrosecond);

void BM_ReferenceStepLattice(benchmark::State& state) {
  auto s = SteadyScene();
  for (auto _ : state) {
    sorvane::engine::reference::StepLattice(*s, 1.0f / 60);
    benchmark::DoNotOptimize(s->lattice.nodes[0].velocity.x);
  }
}
BENCHMARK(BM_ReferenceStepLattice)->Unit(benchmark::kMicrosecond);

void BM_StepLattice(benchmark::State& state) {
  auto s = SteadyScene();
  for (auto _ : state) {
    sorvane::engine::StepLattice(*s, 1.0f / 60);
    benchmark::DoNotOptimize(s->lattice.nodes[0].velocity.x);
  }
}
BENCHMARK(BM_StepLattice)->Unit(benchmark::kMicrosecond);

void BM_AdvectFullPool(benchmark::State& state) {
  auto s = SteadyScene();
  for (auto _ : state) {
    for (int i = 0; i < s->pool.count; ++i)
      sorvane::engine::AdvectByFlow(*s, s->pool.puffs[i], 0.0f);
    benchmark::DoNotOptimize(s->pool.puffs[0].position.x);
  }
}
BENCHMARK(BM_AdvectFullPool)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

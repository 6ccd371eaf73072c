// sorvane-frame-bench: one whole frame (simulation + drawing) at 1920 x 1080
// with the pool full, drawn by Mesa offscreen, against the simulation alone.
//   sorvane-frame-bench [--benchmark_...]
// The "fps" counter of BM_WholeFrame is frames per second; BM_Simulation's
// time over BM_WholeFrame's is the share of a frame spent outside GL.
#include <benchmark/benchmark.h>

#include <time.h>

#include <memory>

#include "gl_include.h"
#include "offscreen.h"
#include "render.h"
#include "scene.h"

namespace {

using namespace sorvane;

constexpr float kStep = 1.0f / 60.0f;

double ProcessCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Runs the animation into its steady state (pool full, oldest puffs dying).
void WarmUp(engine::HostState& host, offscreen::StepClock& clock, offscreen::RecordingPort& port) {
  for (int i = 0; i < 180; ++i) {
    clock.Advance(host, kStep);
    engine::RenderFrame(host, port);
    glFinish();  // Mesa defers drawing until a flush: none may spill into the timing
  }
}

void BM_WholeFrame(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  offscreen::Surface surface(w, h);
  if (!surface.ok()) {
    state.SkipWithError("no OSMesa context");
    return;
  }
  engine::HostState host;
  host.clientWidth = w;
  host.clientHeight = h;
  engine::SetupGlState(host);
  offscreen::RecordingPort port;
  offscreen::StepClock clock;
  WarmUp(host, clock, port);
  const double cpu0 = ProcessCpuSeconds();
  for (auto _ : state) {
    clock.Advance(host, kStep);
    engine::RenderFrame(host, port);
    glFinish();  // the frame is done when the pixels are
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  // CPU time of all threads (Mesa rasterises on worker threads) per frame:
  // what a frame costs whatever else the machine is doing.
  state.counters["cpu_ms_per_frame"] = (ProcessCpuSeconds() - cpu0) * 1000.0 / static_cast<double>(state.iterations());
  state.counters["puffs"] = engine::Scene().pool.count;
}
BENCHMARK(BM_WholeFrame)->Args({1920, 1080})->Args({1024, 768})->Unit(benchmark::kMillisecond)->UseRealTime();

// The same steady-state frames without GL: UpdateScene alone.
void BM_Simulation(benchmark::State& state) {
  auto scene = std::make_unique<engine::SceneState>();
  scene->random.state = 1;
  engine::ResetScene(*scene);
  scene->simTime = 0.0f;
  for (int i = 0; i < 180; ++i) {
    scene->simTime += kStep;
    engine::UpdateScene(*scene, scene->simTime, kStep);
  }
  for (auto _ : state) {
    scene->simTime += kStep;
    engine::UpdateScene(*scene, scene->simTime, kStep);
    benchmark::DoNotOptimize(scene->pool.count);
  }
  state.counters["puffs"] = scene->pool.count;
}
BENCHMARK(BM_Simulation)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

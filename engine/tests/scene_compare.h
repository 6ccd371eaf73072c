// Shared by the scene tests that compare two whole scenes bit for bit.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "scene.h"

namespace sorvane::engine::test {

inline std::unique_ptr<SceneState> NewScene() {
  auto s = std::make_unique<SceneState>();
  ResetScene(*s);
  return s;
}

// Two runs of floats alike bit for bit, except that any NaN equals any NaN
// when nanAsOne: which NaN an operation passes on depends on the order in
// which the compiler puts its operands, and the trace writes every NaN alike.
inline bool SameFloats(const void* a, const void* b, size_t n, bool nanAsOne) {
  if (!nanAsOne) return std::memcmp(a, b, n * sizeof(float)) == 0;
  const float* x = static_cast<const float*>(a);
  const float* y = static_cast<const float*>(b);
  for (size_t k = 0; k < n; ++k) {
    if (x[k] != x[k] && y[k] != y[k]) continue;
    if (std::memcmp(&x[k], &y[k], sizeof(float)) != 0) return false;
  }
  return true;
}

// Every bit of the state a later frame can see: all 2048 records (a stale
// record's projected fields survive into the next puff emitted over it), the
// lattice, the clocks and the generator.
inline ::testing::AssertionResult SameState(const SceneState& a, const SceneState& b, bool nanAsOne = false) {
  if (a.pool.count != b.pool.count)
    return ::testing::AssertionFailure() << "count " << a.pool.count << " vs " << b.pool.count;
  for (int i = 0; i < kPoolCapacity; ++i) {
    if (!SameFloats(&a.pool.puffs[i], &b.pool.puffs[i], sizeof(Puff) / sizeof(float), nanAsOne))
      return ::testing::AssertionFailure() << "puff record " << i << " (count " << a.pool.count << ")";
  }
  for (int n = 0; n < kLatticeNodes; ++n) {
    if (!SameFloats(&a.lattice.nodes[n], &b.lattice.nodes[n], sizeof(LatticeNode) / sizeof(float), nanAsOne))
      return ::testing::AssertionFailure() << "lattice node " << n;
  }
  if (std::memcmp(&a.emitClock, &b.emitClock, sizeof(float)) != 0 ||
      std::memcmp(&a.simTime, &b.simTime, sizeof(float)) != 0 || a.clockEpoch != b.clockEpoch)
    return ::testing::AssertionFailure() << "clocks";
  if (a.random.state != b.random.state) return ::testing::AssertionFailure() << "generator";
  return ::testing::AssertionSuccess();
}

}  // namespace sorvane::engine::test

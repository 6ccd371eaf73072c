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

// Every bit of the state a later frame can see: all 2048 records (a stale
// record's projected fields survive into the next puff emitted over it), the
// lattice, the clocks and the generator.
inline ::testing::AssertionResult SameState(const SceneState& a, const SceneState& b) {
  if (a.pool.count != b.pool.count)
    return ::testing::AssertionFailure() << "count " << a.pool.count << " vs " << b.pool.count;
  for (int i = 0; i < kPoolCapacity; ++i) {
    if (std::memcmp(&a.pool.puffs[i], &b.pool.puffs[i], sizeof(Puff)) != 0)
      return ::testing::AssertionFailure() << "puff record " << i << " (count " << a.pool.count << ")";
  }
  for (int n = 0; n < kLatticeNodes; ++n) {
    if (std::memcmp(&a.lattice.nodes[n], &b.lattice.nodes[n], sizeof(LatticeNode)) != 0)
      return ::testing::AssertionFailure() << "lattice node " << n;
  }
  if (std::memcmp(&a.emitClock, &b.emitClock, sizeof(float)) != 0 ||
      std::memcmp(&a.simTime, &b.simTime, sizeof(float)) != 0 || a.clockEpoch != b.clockEpoch)
    return ::testing::AssertionFailure() << "clocks";
  if (a.random.state != b.random.state) return ::testing::AssertionFailure() << "generator";
  return ::testing::AssertionSuccess();
}

}  // namespace sorvane::engine::test

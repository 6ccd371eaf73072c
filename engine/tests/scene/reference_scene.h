// A plain, literal implementation of the frame update, kept beside the tests
// only: the product's faster update must match it bit for bit.
#pragma once
#include "scene.h"

namespace sorvane::engine::reference {

void StepLattice(SceneState& s, float dt);
void AdvectByFlow(const SceneState& s, Puff& puff, float dt);
// foldClocks = false leaves the clocks as plain floats forever (the rule
// without the long-run fold), to show what the fold changes and what not.
void UpdateScene(SceneState& s, float now, float dt, bool foldClocks = true);

}  // namespace sorvane::engine::reference

// A plain, literal implementation of the frame update, kept beside the tests
// only: the product's faster update must match it bit for bit.
#pragma once
#include "scene.h"

namespace sorvane::engine::reference {

void StepLattice(SceneState& s, float dt);
void AdvectByFlow(const SceneState& s, Puff& puff, float dt);
// plain = true: the bare rule, without the clock fold and without the care
// for overlong frames, to show what those change and what not.
void UpdateScene(SceneState& s, float now, float dt, bool plain = false);

}  // namespace sorvane::engine::reference

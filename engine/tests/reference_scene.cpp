#include "reference_scene.h"

#include <cmath>

#include "detmath.h"

namespace sorvane::engine::reference {
namespace {

Vec4 V(float x, float y, float z) { return Vec4{x, y, z, 1.0f}; }

int Node(int x, int y, int z) { return z * 32 + y * 8 + x; }

long long Nearest(float v) {
  const float f = 128.0f * v;
  if (std::isnan(f) || std::fabs(f) >= 0x1p62f) return 0;
  // nearbyint rounds to nearest, ties to even, in the default mode.
  return static_cast<long long>(std::nearbyint(static_cast<double>(f)));
}

}  // namespace

void StepLattice(SceneState& s, float dt) {
  LatticeNode* nodes = s.lattice.nodes;
  const float c = 0.01f * dt;
  for (int n = 0; n < 256; ++n) {
    const int x = n % 8, y = (n / 8) % 4, z = n / 32;
    for (int dz = -1; dz <= 1; ++dz)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx == 0 && dy == 0 && dz == 0) continue;
          const int m = Node((x + dx + 8) % 8, (y + dy + 4) % 4, (z + dz + 8) % 8);
          const Vec4& a = nodes[m].displacement;
          const Vec4& b = nodes[n].displacement;
          const float ddx = (a.x - b.x) + static_cast<float>(dx);
          const float ddy = (a.y - b.y) + static_cast<float>(dy);
          const float ddz = (a.z - b.z) + static_cast<float>(dz);
          const float sq = (ddx * ddx + ddy * ddy) + ddz * ddz;
          const float L = static_cast<float>(std::sqrt(static_cast<double>(sq)));
          const int ones = (dx != 0) + (dy != 0) + (dz != 0);
          const float rest = static_cast<float>(std::sqrt(static_cast<double>(ones)));
          const float k = (rest - L) * c;
          nodes[m].velocity.x += ddx * k;
          nodes[m].velocity.y += ddy * k;
          nodes[m].velocity.z += ddz * k;
        }
  }
  const float damp =
      static_cast<float>(detmath::Pow(static_cast<double>(0.998f), static_cast<double>(dt)));
  for (int n = 0; n < 256; ++n) {
    Vec4& d = nodes[n].displacement;
    Vec4& v = nodes[n].velocity;
    d.x += v.x * dt;
    d.y += v.y * dt;
    d.z += v.z * dt;
    if ((d.x * d.x + d.y * d.y) + d.z * d.z > 400.0f) {
      v = V(0, 0, 0);
    } else {
      v.x *= damp;
      v.y *= damp;
      v.z *= damp;
    }
  }
}

void AdvectByFlow(const SceneState& s, Puff& puff, float dt) {
  const int ux = static_cast<int>((Nearest(puff.position.x) + 1024) & 2047);
  const int uy = static_cast<int>((Nearest(puff.position.y) + 512) & 1023);
  const int uz = static_cast<int>(Nearest(puff.position.z) & 2047);
  const int cx = ux >> 8, cy = uy >> 8, cz = uz >> 8;
  const float fx = s.fractionTable[ux & 255], fz = s.fractionTable[uz & 255];
  const int cx1 = (cx + 1) % 8, cz1 = (cz + 1) % 8;
  auto lerp = [](const Vec4& a, const Vec4& b, float t) {
    return V((1 - t) * a.x + t * b.x, (1 - t) * a.y + t * b.y, (1 - t) * a.z + t * b.z);
  };
  const LatticeNode* n = s.lattice.nodes;
  const Vec4 A = lerp(n[Node(cx, cy, cz)].displacement, n[Node(cx1, cy, cz)].displacement, fx);
  const Vec4 B = lerp(n[Node(cx, cy, cz1)].displacement, n[Node(cx1, cy, cz1)].displacement, fx);
  const Vec4 F = lerp(A, B, fz);
  puff.position.x += F.x * dt;
  puff.position.y += F.y * dt;
  puff.position.z += F.z * dt;
}

void UpdateScene(SceneState& s, float now, float dt, bool plain) {
  // Overlong frames: at most 2 s simulated, the lattice in equal steps of at
  // most 0.25 s, non-finite nodes back to rest.
  const bool overlong = !plain && (!(std::fabs(dt) <= 0.25f) || !std::isfinite(now));
  if (overlong) {
    float seen = std::isnan(dt) ? 0.0f : std::fmin(std::fmax(dt, -2.0f), 2.0f);
    if (!std::isfinite(now)) {
      now = s.emitClock;
      s.simTime = now;
    } else if (std::isfinite(dt) && seen != dt) {
      now -= dt - seen;
      s.simTime -= dt - seen;
      s.clockEpoch += dt - seen;
    }
    dt = seen;
  }
  const float decay = static_cast<float>(detmath::Pow(0.4, static_cast<double>(dt)));
  if (overlong) {
    const int n = static_cast<int>(std::ceil(std::fabs(dt) / 0.25f));
    for (int k = 0; k < n; ++k) reference::StepLattice(s, dt / static_cast<float>(n));
    for (LatticeNode& node : s.lattice.nodes) {
      const float* f = &node.displacement.x;
      const float* v = &node.velocity.x;
      if (!std::isfinite(f[0]) || !std::isfinite(f[1]) || !std::isfinite(f[2]) ||
          !std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]))
        node = LatticeNode{V(0, 0, 0), V(0, 0, 0)};
    }
  } else {
    reference::StepLattice(s, dt);
  }
  PuffPool& pool = s.pool;
  int i = 0;
  while (i < pool.count) {
    Puff& p = pool.puffs[i];
    p.life -= dt;
    if (!(p.life > 0)) {
      pool.count -= 1;
      pool.puffs[i] = pool.puffs[pool.count];
    } else {
      p.velocity.x += 0.0f * dt;
      p.velocity.y += 0.0f * dt;
      p.velocity.z += 4.0f * dt;
      p.position.x += p.velocity.x * dt;
      p.position.y += p.velocity.y * dt;
      p.position.z += p.velocity.z * dt;
      reference::AdvectByFlow(s, p, dt);
      p.alpha = p.alpha * decay;
      i += 1;
    }
  }
  if (!s.stopRequested) {
    while (pool.count < 2048 &&
           static_cast<double>(now) - static_cast<double>(s.emitClock) >= 1.0 / 1024) {
      if (!plain && s.emitClock >= 16384.0f) {  // the add below would be lost: fold
        s.emitClock -= 8192.0f;
        s.simTime -= 8192.0f;
        now -= 8192.0f;
        s.clockEpoch += 8192.0;
      }
      s.emitClock += 1.0f / 1024;
      Puff& p = pool.puffs[pool.count++];
      const float g1 = static_cast<float>(RandomGauss(s, 0.25));
      const float g2 = static_cast<float>(RandomGauss(s, 0.25));
      p.position = V((0.0f + 6.0f * g2) + 0.0f * g1, (25.0f + 0.0f * g2) + 2.0f * g1,
                     (-13.0f + 0.0f * g2) + 0.0f * g1);
      p.velocity = V(0, 0, 10);
      const float age = now - s.emitClock;
      reference::AdvectByFlow(s, p, age);
      p.life = s.emitClock + 2.0f - now;
      const float size = static_cast<float>(RandomGauss(s, 0.5) + 0.5);
      p.size = V(size, size, size);
      p.alpha = static_cast<float>(detmath::Pow(0.4, age) * 0.15 *
                                   detmath::Pow(static_cast<double>(size), 0.5));
      const float k = static_cast<float>(RandomGauss(s, 0.5) + 0.5);
      p.size = V(p.size.x * k, p.size.y * k, p.size.z * k);
    }
  }
  for (int j = 0; j < pool.count; ++j) {
    Puff& p = pool.puffs[j];
    const float depth = p.position.y;
    if (depth > 1.0f) {
      p.screenX = 2.0f * p.position.x / depth;
      p.screenY = 2.0f * p.position.z / depth;
      p.radiusX = 2.0f * p.size.x / depth;
      p.radiusY = 2.0f * p.size.z / depth;
    } else {
      p.radiusX = 0.0f;
    }
  }
}

}  // namespace sorvane::engine::reference

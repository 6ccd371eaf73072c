// scene-trace: runs the scene through a given list of time steps and prints
// its clocks after every frame (and, on request, every puff and lattice node
// after the last one), in a form that is byte-identical on every target.
#include <cstdio>
#include <cstring>
#include <vector>

#include "scene.h"
#include "trace_format.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using sorvane::engine::SceneState;

const char kUsage[] =
    "usage: scene-trace [--puffs] DT1 ... DTn\n"
    "\n"
    "Resets the scene (simTime = 0), then for each DTi, i = 1..n: simTime += DTi;\n"
    "UpdateScene(simTime, DTi); and prints\n"
    "  frame i count=C emitClock=E simTime=S\n"
    "with frames numbered from 1 and the clocks as they stand after the update.\n"
    "Each DTi is a decimal number ([+-]digits[.digits][e[+-]digits]) rounded to\n"
    "the nearest 32-bit float.\n"
    "With --puffs, after the last frame one line per live puff, in index order:\n"
    "  puff k px py pz vx vy vz sizeX sizeZ alpha life screenX screenY radiusX radiusY\n"
    "then one line per lattice node, in index order:\n"
    "  node n dx dy dz vx vy vz\n"
    "(k and n from 0). Floats are written as C's %a of the value widened to double,\n"
    "in glibc's form, and every NaN as nan. Fields are separated by one blank.\n"
    "Exit status: 0, or 2 on a bad argument.\n";

// Everything goes through one growing buffer, written once in binary mode so
// that no target turns "\n" into "\r\n".
class Output {
 public:
  void Text(const char* s) { buf_.insert(buf_.end(), s, s + std::strlen(s)); }
  void Int(long v) {
    char tmp[32];
    std::snprintf(tmp, sizeof tmp, "%ld", v);
    Text(tmp);
  }
  void Float(float v) {
    char tmp[sorvane::tools::kHexFloatMax];
    sorvane::tools::FormatHexFloat(static_cast<double>(v), tmp);
    Text(tmp);
  }
  void Fields(std::initializer_list<float> values) {
    for (float v : values) {
      Text(" ");
      Float(v);
    }
  }
  void Flush() {
    if (!buf_.empty()) std::fwrite(buf_.data(), 1, buf_.size(), stdout);
    std::fflush(stdout);
    buf_.clear();
  }

 private:
  std::vector<char> buf_;
};

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  bool puffs = false;
  std::vector<float> steps;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i == 1 && std::strcmp(argv[i], "--puffs") == 0) {
      puffs = true;
      continue;
    }
    float dt;
    if (!sorvane::tools::ParseDecimalFloat(argv[i], &dt)) {
      std::fprintf(stderr, "scene-trace: not a decimal number: '%s'\n\n%s", argv[i], kUsage);
      return 2;
    }
    steps.push_back(dt);
  }

  SceneState& s = sorvane::engine::Scene();
  s.simTime = 0.0f;
  sorvane::engine::ResetScene(s);

  Output out;
  long frame = 0;
  for (float dt : steps) {
    s.simTime += dt;
    sorvane::engine::UpdateScene(s, s.simTime, dt);
    out.Text("frame ");
    out.Int(++frame);
    out.Text(" count=");
    out.Int(s.pool.count);
    out.Text(" emitClock=");
    out.Float(s.emitClock);
    out.Text(" simTime=");
    out.Float(s.simTime);
    out.Text("\n");
    if ((frame & 255) == 0) out.Flush();
  }
  if (puffs) {
    for (int k = 0; k < s.pool.count; ++k) {
      const sorvane::engine::Puff& p = s.pool.puffs[k];
      out.Text("puff ");
      out.Int(k);
      out.Fields({p.position.x, p.position.y, p.position.z, p.velocity.x, p.velocity.y,
                  p.velocity.z, p.size.x, p.size.z, p.alpha, p.life, p.screenX, p.screenY,
                  p.radiusX, p.radiusY});
      out.Text("\n");
    }
    for (int n = 0; n < sorvane::engine::kLatticeNodes; ++n) {
      const sorvane::engine::LatticeNode& node = s.lattice.nodes[n];
      out.Text("node ");
      out.Int(n);
      out.Fields({node.displacement.x, node.displacement.y, node.displacement.z,
                  node.velocity.x, node.velocity.y, node.velocity.z});
      out.Text("\n");
    }
  }
  out.Flush();
  return 0;
}

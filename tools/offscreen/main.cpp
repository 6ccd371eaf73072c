// sorvane-offscreen: draws the engine's frames for a fixed sequence of time
// steps into PNG files, without a display.
//
//   sorvane-offscreen --steps 0.5,0.016x60 [--size 1920x1080] [--out DIR|FILE.png]
//                     [--frames all|last] [--escape-at N]
//
// --frames all writes DIR/frame-NNNNN.png for every frame; last (the default)
// writes only the last frame, to FILE.png when --out names one. --escape-at N
// presses Escape before frame N (1-based), as the host does on WM_CHAR 27.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "offscreen.h"
#include "render.h"
#include "scene.h"

namespace {

int Usage(const char* why) {
  std::fprintf(stderr,
               "sorvane-offscreen: %s\n"
               "usage: sorvane-offscreen --steps LIST [--size WxH] [--out DIR|FILE.png]\n"
               "                         [--frames all|last] [--escape-at N]\n"
               "  LIST: comma-separated seconds, each optionally xCOUNT (0.5,0.016x60)\n",
               why);
  return 2;
}

bool EndsWith(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sorvane;
  int width = 1920, height = 1080;
  std::string stepsText, out = ".", frames = "last";
  long escapeAt = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return Usage(("missing value after " + arg).c_str());
    const char* value = argv[++i];
    if (arg == "--size") {
      char tail = 0;
      if (std::sscanf(value, "%dx%d%c", &width, &height, &tail) != 2 || width < 1 || height < 1 ||
          width > 16384 || height > 16384) {
        return Usage("bad --size (want WxH, e.g. 1920x1080)");
      }
    } else if (arg == "--steps") {
      stepsText = value;
    } else if (arg == "--out") {
      out = value;
    } else if (arg == "--frames") {
      frames = value;
      if (frames != "all" && frames != "last") return Usage("--frames is all or last");
    } else if (arg == "--escape-at") {
      char* end = nullptr;
      escapeAt = std::strtol(value, &end, 10);
      if (*end != '\0' || escapeAt < 1) return Usage("bad --escape-at");
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  if (stepsText.empty()) return Usage("--steps is required");
  std::vector<float> steps;
  std::string error;
  if (!offscreen::ParseSteps(stepsText, &steps, &error)) return Usage(error.c_str());

  const bool singleFile = frames == "last" && EndsWith(out, ".png");
  if (!singleFile) mkdir(out.c_str(), 0777);

  offscreen::Surface surface(width, height);
  if (!surface.ok()) {
    std::fprintf(stderr, "sorvane-offscreen: no OSMesa context\n");
    return 1;
  }
  engine::HostState host;
  host.clientWidth = width;
  host.clientHeight = height;
  engine::SetupGlState(host);

  offscreen::RecordingPort port;
  offscreen::StepClock clock;
  for (size_t n = 0; n < steps.size(); ++n) {
    if (escapeAt > 0 && static_cast<size_t>(escapeAt) == n + 1) engine::Scene().stopRequested = true;
    clock.Advance(host, steps[n]);
    engine::RenderFrame(host, port);
    const bool last = n + 1 == steps.size();
    if (frames == "all" || last) {
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%05zu.png", n + 1);
      const std::string path = singleFile ? out : out + name;
      if (!surface.WritePng(path)) {
        std::fprintf(stderr, "sorvane-offscreen: cannot write %s\n", path.c_str());
        return 1;
      }
      std::printf("%s\n", path.c_str());
    }
  }
  std::fprintf(stderr, "frames %zu, simulated %.3f s, puffs %d, close requests %d\n", steps.size(),
               static_cast<double>(host.frameTime), static_cast<int>(engine::Scene().pool.count), port.closes);
  return 0;
}

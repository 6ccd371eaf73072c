// Preloaded into the engine by its tests. Wraps glXGetProcAddress(ARB) so
// that the swap-interval entry points it hands out log each call (to the
// file SORVANE_SWAP_PROBE_LOG) before calling the real driver. With
// SORVANE_SWAP_PROBE_OFFER set, glXQueryExtensionsString answers with that
// list in place of the driver's own *_swap_control* names, so a test can play
// a driver that offers either extension, or none (Mesa's software renderer
// on Xvfb lists none of them for the screen although its client library has
// them).
#include <GL/glx.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using GetProc = void (*(*)(const GLubyte*))();
using SwapExt = void (*)(Display*, GLXDrawable, int);
using SwapMesa = int (*)(unsigned);
using QueryExt = const char* (*)(Display*, int);

GetProc realGetProcArb = nullptr;
SwapExt realSwapExt = nullptr;
SwapMesa realSwapMesa = nullptr;

void Log(const char* what, long value) {
  const char* path = std::getenv("SORVANE_SWAP_PROBE_LOG");
  if (!path) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s %ld\n", what, value);
    std::fclose(f);
  }
}

void SwapExtProbe(Display* d, GLXDrawable w, int interval) {
  Log("glXSwapIntervalEXT", interval);
  realSwapExt(d, w, interval);
}
int SwapMesaProbe(unsigned interval) {
  Log("glXSwapIntervalMESA", interval);
  return realSwapMesa(interval);
}

void (*Lookup(const GLubyte* name))() {
  if (!realGetProcArb) realGetProcArb = reinterpret_cast<GetProc>(dlsym(RTLD_NEXT, "glXGetProcAddressARB"));
  auto real = realGetProcArb(name);
  const char* n = reinterpret_cast<const char*>(name);
  if (real && std::strcmp(n, "glXSwapIntervalEXT") == 0) {
    realSwapExt = reinterpret_cast<SwapExt>(real);
    return reinterpret_cast<void (*)()>(SwapExtProbe);
  }
  if (real && std::strcmp(n, "glXSwapIntervalMESA") == 0) {
    realSwapMesa = reinterpret_cast<SwapMesa>(real);
    return reinterpret_cast<void (*)()>(SwapMesaProbe);
  }
  return real;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void (*glXGetProcAddressARB(const GLubyte* name))() { return Lookup(name); }
__attribute__((visibility("default"))) void (*glXGetProcAddress(const GLubyte* name))() { return Lookup(name); }

__attribute__((visibility("default"))) const char* glXQueryExtensionsString(Display* d, int screen) {
  static auto real = reinterpret_cast<QueryExt>(dlsym(RTLD_NEXT, "glXQueryExtensionsString"));
  const char* list = real(d, screen);
  const char* offer = std::getenv("SORVANE_SWAP_PROBE_OFFER");
  if (!offer || !list) return list;
  static std::string kept;
  kept = offer;
  kept += " ";
  const std::string all(list);
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find(' ', start);
    if (end == std::string::npos) end = all.size();
    const std::string name = all.substr(start, end - start);
    if (!name.empty() && name.find("_swap_control") == std::string::npos) kept += name + " ";
    start = end + 1;
  }
  return kept.c_str();
}
}

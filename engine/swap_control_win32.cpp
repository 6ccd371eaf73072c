#include "swap_control_win32.h"

#include <cstring>

namespace sorvane::engine {
namespace {

using GetExtensionsStringExt = const char*(WINAPI*)();
using GetExtensionsStringArb = const char*(WINAPI*)(HDC);
using SwapIntervalExt = BOOL(WINAPI*)(int);

constexpr char kSwapControl[] = "WGL_EXT_swap_control";

// Some drivers answer wglGetProcAddress for a name they lack with a small
// number or -1 rather than NULL.
template <typename Fn>
Fn Lookup(WglProcLookup lookup, const char* name) {
  PROC p = lookup(name);
  const auto v = reinterpret_cast<INT_PTR>(p);
  if (v >= -1 && v <= 3) return nullptr;
  // Through the generic function pointer type: a cast the compiler accepts
  // without warning between unrelated signatures.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p));
}

}  // namespace

bool RequestSwapInterval(HDC dc, int interval, WglProcLookup lookup) {
  bool offered = false;
  if (auto ext = Lookup<GetExtensionsStringExt>(lookup, "wglGetExtensionsStringEXT")) {
    offered = ExtensionListed(ext(), kSwapControl);
  }
  if (!offered) {
    if (auto arb = Lookup<GetExtensionsStringArb>(lookup, "wglGetExtensionsStringARB")) {
      offered = ExtensionListed(arb(dc), kSwapControl);
    }
  }
  if (!offered) return false;
  auto swapInterval = Lookup<SwapIntervalExt>(lookup, "wglSwapIntervalEXT");
  return swapInterval != nullptr && swapInterval(interval) != FALSE;
}

}  // namespace sorvane::engine

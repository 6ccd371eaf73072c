// The X11 host's GLX: the visual, vertical sync where the driver lets us
// ask, and the context's end.
#include "x11/host_x11.h"

namespace sorvane::engine::x11 {

XVisualInfo* ChooseGlVisual(int screen) {
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1, None};
  return glXChooseVisual(x.display, screen, attributes);
}

bool UsableForGl(XVisualInfo* vi) {
  int useGl = 0, rgba = 0, doubleBuffer = 0, level = 1;
  return glXGetConfig(x.display, vi, GLX_USE_GL, &useGl) == 0 && useGl &&
         glXGetConfig(x.display, vi, GLX_RGBA, &rgba) == 0 && rgba &&
         glXGetConfig(x.display, vi, GLX_DOUBLEBUFFER, &doubleBuffer) == 0 && doubleBuffer &&
         glXGetConfig(x.display, vi, GLX_LEVEL, &level) == 0 && level == 0;
}

// Vertical sync through whichever extension the driver lists; without one
// the frame pacing keeps the rate at the refresh rate.
void RequestSwapInterval(int screen) {
  const char* extensions = glXQueryExtensionsString(x.display, screen);
  if (ExtensionListed(extensions, "GLX_EXT_swap_control")) {
    auto swapInterval = reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
    if (swapInterval) {
      swapInterval(x.display, x.drawable, 1);
      return;
    }
  }
  if (ExtensionListed(extensions, "GLX_MESA_swap_control")) {
    using SwapIntervalMesa = int (*)(unsigned);
    auto swapInterval = reinterpret_cast<SwapIntervalMesa>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
    if (swapInterval) swapInterval(1);
  }
}

void EndGl() {
  if (!x.glContext) return;
  glXMakeCurrent(x.display, None, nullptr);
  glXDestroyContext(x.display, x.glContext);
  x.glContext = nullptr;
}

}  // namespace sorvane::engine::x11

// The X11 host's monitors, through RandR: where the animation goes, the
// refresh rate, and what happens when monitors come, go or change size.
#include <X11/extensions/Xrandr.h>

#include "display_layout.h"
#include "x11/host_x11.h"

namespace sorvane::engine::x11 {

// Standalone: the window covers the whole screen, the animation takes the
// primary monitor (RandR's primary, else its first monitor, else the whole
// window). glClear still clears every pixel, so the rest stays black.
void LayOutStandalone(int width, int height) {
  const ScreenRect screen{0, 0, width, height};
  ScreenRect rects[kMaxCoverWindows + 1];
  int count = 0, primary = -1;
  int n = 0;
  XRRMonitorInfo* monitors = XRRGetMonitors(x.display, DefaultRootWindow(x.display), True, &n);
  for (int i = 0; monitors && i < n && count < kMaxCoverWindows + 1; ++i) {
    if (monitors[i].primary) primary = count;
    rects[count++] = ScreenRect{monitors[i].x, monitors[i].y, monitors[i].x + monitors[i].width,
                                monitors[i].y + monitors[i].height};
  }
  if (monitors) XRRFreeMonitors(monitors);
  const ScreenRect a = LayOutMonitors(rects, count, primary, screen).animation;
  x.engine.Resize(a.Width(), a.Height(), a.left, height - a.bottom);  // GL counts from the bottom
}

double RefreshHz() {
  Display* d = x.display;
  const Window root = DefaultRootWindow(d);
  XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root);
  if (!res) return 0;
  // The primary output's CRTC, else the first that shows anything.
  RRCrtc crtc = 0;
  if (const RROutput primary = XRRGetOutputPrimary(d, root)) {
    if (XRROutputInfo* out = XRRGetOutputInfo(d, res, primary)) {
      crtc = out->crtc;
      XRRFreeOutputInfo(out);
    }
  }
  RRMode mode = 0;
  for (int i = 0; i < res->ncrtc && mode == 0; ++i) {
    if (crtc != 0 && res->crtcs[i] != crtc) continue;
    if (XRRCrtcInfo* info = XRRGetCrtcInfo(d, res, res->crtcs[i])) {
      mode = info->mode;
      XRRFreeCrtcInfo(info);
    }
  }
  double hz = 0;
  for (int i = 0; i < res->nmode; ++i) {
    const XRRModeInfo& m = res->modes[i];
    if (m.id != mode || m.hTotal == 0 || m.vTotal == 0) continue;
    double lines = m.vTotal;
    if (m.modeFlags & RR_DoubleScan) lines *= 2;
    if (m.modeFlags & RR_Interlace) lines /= 2;
    hz = static_cast<double>(m.dotClock) / (m.hTotal * lines);
  }
  XRRFreeScreenResources(res);
  return hz;
}

void WatchDisplays() {
  int error = 0;
  if (!XRRQueryExtension(x.display, &x.randrEvents, &error)) {
    x.randrEvents = -1;
    return;
  }
  XRRSelectInput(x.display, DefaultRootWindow(x.display),
                 RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
}

bool FollowDisplayChange(XEvent& ev) {
  if (x.randrEvents < 0 ||
      (ev.type != x.randrEvents + RRScreenChangeNotify && ev.type != x.randrEvents + RRNotify)) {
    return false;
  }
  XRRUpdateConfiguration(&ev);  // Xlib's idea of the screen size
  const int screen = DefaultScreen(x.display);
  const int width = DisplayWidth(x.display, screen), height = DisplayHeight(x.display, screen);
  XWindowAttributes wa;
  if (XGetWindowAttributes(x.display, x.target, &wa) && (wa.width != width || wa.height != height)) {
    // Its ConfigureNotify lays the animation out again.
    XMoveResizeWindow(x.display, x.target, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
  } else {
    LayOutStandalone(width, height);  // the monitors moved within the same screen
  }
  XRaiseWindow(x.display, x.target);
  x.engine.SetRefreshRate(RefreshHz());
  return true;
}

}  // namespace sorvane::engine::x11

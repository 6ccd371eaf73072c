// The X11 host's events: standalone, the Win32 window's behaviour in X
// terms; as a hack, only the given window's size and end.
#include <X11/Xutil.h>
#include <poll.h>

#include "x11/host_x11.h"

namespace sorvane::engine::x11 {
namespace {

// Another client has the focus now, or the keyboard: the user has switched
// away. Our own grab reports itself as a FocusOut of mode NotifyGrab too;
// while we hold it nobody else can grab, so such events are ours.
void OnFocusOut(const XFocusChangeEvent& e) {
  if (e.window != x.target || e.detail == NotifyInferior || e.detail == NotifyPointer) return;
  if (e.mode == NotifyGrab) {
    if (!x.keyboardHeld) PostClose();
    return;
  }
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(x.display, &focus, &revert);
  if (focus != x.target) PostClose();
}

void HandleStandaloneEvent(XEvent& ev) {
  if (FollowDisplayChange(ev)) return;
  switch (ev.type) {
    case ClientMessage:
      if (ev.xclient.message_type == x.wmProtocols &&
          static_cast<Atom>(ev.xclient.data.l[0]) == x.wmDeleteWindow && !x.quit) {
        DestroyEngineWindow();
      }
      break;
    case DestroyNotify:  // someone else destroyed it
      if (ev.xdestroywindow.window == x.target) x.quit = true;
      break;
    case ConfigureNotify:
      if (ev.xconfigure.window == x.target) LayOutStandalone(ev.xconfigure.width, ev.xconfigure.height);
      break;
    case KeyPress: {
      char text[8];
      KeySym sym;
      const int n = XLookupString(&ev.xkey, text, sizeof text, &sym, nullptr);
      if (n == 1 && text[0] == 27) x.engine.Escape();  // fade out
      break;
    }
    case ButtonPress:
      PostClose();
      break;
    case FocusOut:
      OnFocusOut(ev.xfocus);
      break;
    case VisibilityNotify:
      // Something was mapped or raised over us: panels and other
      // always-on-top windows included, we go back on top.
      if (ev.xvisibility.state != VisibilityUnobscured) XRaiseWindow(x.display, x.target);
      break;
    case MapNotify:
      // Take the keyboard: Escape must reach the window, and losing the
      // focus later is what closes it.
      if (ev.xmap.window == x.target) XSetInputFocus(x.display, x.target, RevertToParent, CurrentTime);
      break;
    default:  // Expose: the background is black until frames are drawn
      break;
  }
}

void HandleHackEvent(XEvent& ev) {
  switch (ev.type) {
    case DestroyNotify:
      if (ev.xdestroywindow.window == x.target || ev.xdestroywindow.window == x.drawable) x.quit = true;
      break;
    case ConfigureNotify:
      if (ev.xconfigure.window == x.target) {
        if (x.ownChild) {
          XResizeWindow(x.display, x.drawable, static_cast<unsigned>(ev.xconfigure.width),
                        static_cast<unsigned>(ev.xconfigure.height));
        }
        x.engine.Resize(ev.xconfigure.width, ev.xconfigure.height);
      }
      break;
    default:
      break;
  }
}

}  // namespace

void HandleEvent(XEvent& ev) {
  if (x.hackMode) {
    HandleHackEvent(ev);
  } else {
    HandleStandaloneEvent(ev);
  }
}

// Waits (bounded) until the window is mapped, handling events meanwhile.
void WaitMapped(Window w) {
  const int64_t deadline = MonotonicCount() + 2 * kCountsPerSecond;
  while (MonotonicCount() < deadline && !x.quit && !caughtSignal) {
    while (XPending(x.display)) {
      XEvent ev;
      XNextEvent(x.display, &ev);
      HandleEvent(ev);
      if (ev.type == MapNotify && ev.xmap.window == w) return;
    }
    pollfd pfd = {ConnectionNumber(x.display), POLLIN, 0};
    poll(&pfd, 1, 20);
  }
}

}  // namespace sorvane::engine::x11

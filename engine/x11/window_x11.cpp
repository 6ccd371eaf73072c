// The X11 host's windows: the standalone one over the whole screen, or the
// one a hack is given (with a child of a GL visual where it needs one).
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstring>

#include "render.h"
#include "x11/host_x11.h"

namespace sorvane::engine::x11 {

void InternAtoms() {
  x.wmProtocols = XInternAtom(x.display, "WM_PROTOCOLS", False);
  x.wmDeleteWindow = XInternAtom(x.display, "WM_DELETE_WINDOW", False);
  x.netWmName = XInternAtom(x.display, "_NET_WM_NAME", False);
  x.utf8String = XInternAtom(x.display, "UTF8_STRING", False);
}

void StoreTitle(const char* title) {
  XStoreName(x.display, x.target, title);
  XChangeProperty(x.display, x.target, x.netWmName, x.utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
}

// A WM_DELETE_WINDOW request to our own window, handled like anyone else's
// when the loop reaches it.
void PostClose() {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = x.target;
  ev.xclient.message_type = x.wmProtocols;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(x.wmDeleteWindow);
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(x.display, x.target, False, NoEventMask, &ev);
  XFlush(x.display);
}

void DestroyEngineWindow() {
  EndGl();
  XDestroyWindow(x.display, x.target);
  XSync(x.display, False);
  x.quit = true;
}

// The keyboard goes to us whatever the focus does, so Escape works without a
// window manager; another client may hold it for a moment, so try a while.
void GrabKeyboard() {
  const int64_t deadline = MonotonicCount() + kCountsPerSecond;
  while (!x.keyboardHeld && !caughtSignal) {
    x.keyboardHeld =
        XGrabKeyboard(x.display, x.target, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    if (x.keyboardHeld || MonotonicCount() >= deadline) break;
    usleep(20000);
  }
}

namespace {

Cursor BlankCursor() {
  static const char bits[1] = {0};
  Pixmap pixmap = XCreateBitmapFromData(x.display, x.target, bits, 1, 1);
  XColor black = {};
  Cursor cursor = XCreatePixmapCursor(x.display, pixmap, pixmap, &black, &black, 0, 0);
  XFreePixmap(x.display, pixmap);
  return cursor;
}

}  // namespace

// Standalone: our own window over the whole screen. Returns its visual.
XVisualInfo* MakeStandaloneWindow() {
  Display* d = x.display;
  const int screen = DefaultScreen(d);
  const Window root = RootWindow(d, screen);
  XVisualInfo* visual = ChooseGlVisual(screen);
  if (!visual) return nullptr;

  const int width = DisplayWidth(d, screen);
  const int height = DisplayHeight(d, screen);
  XSetWindowAttributes wa = {};
  wa.colormap = XCreateColormap(d, root, visual->visual, AllocNone);
  wa.background_pixel = BlackPixel(d, screen);
  wa.border_pixel = 0;
  wa.override_redirect = True;
  wa.event_mask = StructureNotifyMask | ExposureMask | KeyPressMask | ButtonPressMask | FocusChangeMask |
                  VisibilityChangeMask;
  x.target = XCreateWindow(d, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                           visual->depth, InputOutput, visual->visual,
                           CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask, &wa);
  if (!x.target) {
    XFree(visual);
    return nullptr;
  }
  x.drawable = x.target;

  // Name, class, close protocol and pid for whoever looks for the saver;
  // the full-screen, always-on-top state for tools that read it (no window
  // manager manages an override-redirect window).
  StoreTitle(kEngineWindowName);
  XClassHint classHint;
  classHint.res_name = const_cast<char*>(kEngineWindowName);
  classHint.res_class = const_cast<char*>(kEngineWindowName);
  XSetClassHint(d, x.target, &classHint);
  XSetWMProtocols(d, x.target, &x.wmDeleteWindow, 1);
  XWMHints wmHints = {};
  wmHints.flags = InputHint;
  wmHints.input = True;
  XSetWMHints(d, x.target, &wmHints);
  const Atom state[2] = {XInternAtom(d, "_NET_WM_STATE_ABOVE", False),
                         XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False)};
  XChangeProperty(d, x.target, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(state), 2);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(d, x.target, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  XDefineCursor(d, x.target, BlankCursor());
  LayOutStandalone(width, height);
  return visual;
}

// A virtual root some desktops lay over the real one; savers draw there.
Window VirtualRoot(Window root) {
  const Atom vroot = XInternAtom(x.display, "__SWM_VROOT", False);
  Window r, parent, *children = nullptr;
  unsigned n = 0;
  Window found = root;
  if (XQueryTree(x.display, root, &r, &parent, &children, &n)) {
    for (unsigned i = 0; i < n && found == root; ++i) {
      Atom type;
      int format;
      unsigned long items, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(x.display, children[i], vroot, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                             &data) == Success && data) {
        if (type == XA_WINDOW && format == 32 && items == 1) found = *reinterpret_cast<Window*>(data);
        XFree(data);
      }
    }
    if (children) XFree(children);
  }
  return found;
}

// Hack: draw into `target` itself when its visual suits GL, else into a
// child of a GL visual that covers it. Returns the visual, null on failure.
XVisualInfo* AdoptWindow(XWindowAttributes& wa) {
  XVisualInfo templ = {};
  templ.visualid = XVisualIDFromVisual(wa.visual);
  int n = 0;
  XVisualInfo* visual = XGetVisualInfo(x.display, VisualIDMask, &templ, &n);
  if (visual && n > 0 && UsableForGl(visual)) {
    x.drawable = x.target;
  } else {
    if (visual) XFree(visual);
    const int screen = XScreenNumberOfScreen(wa.screen);
    visual = ChooseGlVisual(screen);
    if (!visual) return nullptr;
    XSetWindowAttributes ca = {};
    ca.colormap = XCreateColormap(x.display, x.target, visual->visual, AllocNone);
    ca.background_pixel = BlackPixel(x.display, screen);
    ca.border_pixel = 0;
    ca.override_redirect = True;  // a managed top-level if target is the root
    ca.event_mask = StructureNotifyMask;
    x.drawable = XCreateWindow(x.display, x.target, 0, 0, static_cast<unsigned>(wa.width),
                               static_cast<unsigned>(wa.height), 0, visual->depth, InputOutput, visual->visual,
                               CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask, &ca);
    if (!x.drawable) {
      XFree(visual);
      return nullptr;
    }
    x.ownChild = true;
    XMapWindow(x.display, x.drawable);
  }
  x.engine.Resize(wa.width, wa.height);
  return visual;
}

}  // namespace sorvane::engine::x11

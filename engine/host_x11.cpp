// sorvane (sorvane-engine in the build tree): the engine's X11 host, Xlib + GLX.
//
// Standalone (no option): the Win32 host's behaviour in X terms. One
// override-redirect window over every monitor, so that no window manager is
// needed to keep it on top or full-screen; the animation on the primary
// monitor, black elsewhere; it holds the keyboard and closes when the focus
// or the keyboard goes to another client, on a click, when any client asks
// it to close (WM_DELETE_WINDOW) or destroys it, and after Escape once the
// last puff has faded.
//
// Hack (--root, --window-id, or XSCREENSAVER_WINDOW): draws into a window
// that belongs to someone else (the xscreensaver daemon, usually), follows
// its size, touches nothing else on it, and ends on SIGTERM/SIGINT or when the
// window is destroyed.
//
// Either way the process exits with code 0 once it has run; only a bad
// command line or a window that does not exist gives another code.
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gl_include.h"
#include "host_clock.h"
#include "render.h"
#include "scene.h"
#include "x11/music_gst.h"
#include "x11/options.h"

namespace sorvane::engine {
namespace {

using x11::HostMode;

Display* display = nullptr;
bool hackMode = false;
Window target = 0;    // the window we were given (hack) or made (standalone)
Window drawable = 0;  // where GL draws: target, or our child of it
bool ownChild = false;
GLXContext glContext = nullptr;
bool paintEnabled = false;
bool quit = false;
bool keyboardHeld = false;  // standalone: our keyboard grab succeeded
int64_t startCount = 0;
HostState host;
int viewportX = 0, viewportY = 0;  // lower-left corner of the animation, GL coordinates
Atom wmProtocols, wmDeleteWindow, netWmName, utf8String;

volatile sig_atomic_t signalled = 0;
void OnSignal(int) { signalled = 1; }

int64_t MonotonicCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
constexpr int64_t kCountsPerSecond = 1000000000;

void StoreTitle(const char* title) {
  XStoreName(display, target, title);
  XChangeProperty(display, target, netWmName, utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
}

// WM_CLOSE's twin: a WM_DELETE_WINDOW request to our own window, handled
// like anyone else's when the loop reaches it.
void PostClose() {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = target;
  ev.xclient.message_type = wmProtocols;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(wmDeleteWindow);
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, target, False, NoEventMask, &ev);
  XFlush(display);
}

// A hack's window is not ours: no title, and nothing of ours may close it
// (Escape is not watched there, so the frame never asks).
class WindowPort final : public RenderPort {
 public:
  void SetTitle(const char* title) override {
    if (!hackMode) StoreTitle(title);
  }
  void PostClose() override {
    if (!hackMode) sorvane::engine::PostClose();
  }
};
WindowPort windowPort;

// The engine reports nothing: protocol errors (say, a focus request that
// raced an unmap) are ignored, except that a window of ours going away ends
// the run; a lost server ends the process quietly.
int OnXError(Display*, XErrorEvent* e) {
  if ((e->error_code == BadWindow || e->error_code == BadDrawable) && e->resourceid != 0 &&
      (e->resourceid == target || e->resourceid == drawable)) {
    quit = true;
  }
  return 0;
}
x11::MusicPlayer music;  // --music, --cd: plays while frames are drawn
int ServerGone(Display*) {
  music.Stop();
  _exit(0);
}

void SetViewport() {
  glViewport(viewportX, viewportY, host.clientWidth, host.clientHeight == 0 ? 1 : host.clientHeight);
}

// Standalone: the window covers the whole screen, the animation takes the
// primary monitor (RandR's primary, else its first monitor, else the whole
// window). glClear still clears every pixel, so the rest stays black.
void LayOutStandalone(int width, int height) {
  int x = 0, y = 0, w = width, h = height;
  int count = 0;
  XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
  if (monitors && count > 0) {
    int pick = 0;
    for (int i = 0; i < count; ++i) {
      if (monitors[i].primary) pick = i;
    }
    x = monitors[pick].x;
    y = monitors[pick].y;
    w = monitors[pick].width;
    h = monitors[pick].height;
  }
  if (monitors) XRRFreeMonitors(monitors);
  if (w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > width || y + h > height) {
    x = y = 0;
    w = width;
    h = height;
  }
  host.clientWidth = w;
  host.clientHeight = h;
  viewportX = x;
  viewportY = height - (y + h);
}

void EndGl() {
  if (!glContext) return;
  glXMakeCurrent(display, None, nullptr);
  glXDestroyContext(display, glContext);
  glContext = nullptr;
}

void DestroyWindow() {
  EndGl();
  XDestroyWindow(display, target);
  XSync(display, False);
  quit = true;
}

void PaintFrame() {
  AdvanceFrameClock(host, MonotonicCount(), startCount, kCountsPerSecond);
  RenderFrame(host, windowPort);
  glXSwapBuffers(display, drawable);
}

// Another client has the focus now, or the keyboard: the user has switched
// away. Our own grab reports itself as a FocusOut of mode NotifyGrab too;
// while we hold it nobody else can grab, so such events are ours.
void OnFocusOut(const XFocusChangeEvent& e) {
  if (e.window != target || e.detail == NotifyInferior || e.detail == NotifyPointer) return;
  if (e.mode == NotifyGrab) {
    if (!keyboardHeld) PostClose();
    return;
  }
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  if (focus != target) PostClose();
}

void HandleStandaloneEvent(XEvent& ev) {
  switch (ev.type) {
    case ClientMessage:
      if (ev.xclient.message_type == wmProtocols &&
          static_cast<Atom>(ev.xclient.data.l[0]) == wmDeleteWindow && !quit) {
        DestroyWindow();
      }
      break;
    case DestroyNotify:  // someone else destroyed it
      if (ev.xdestroywindow.window == target) quit = true;
      break;
    case ConfigureNotify:
      if (ev.xconfigure.window == target) {
        LayOutStandalone(ev.xconfigure.width, ev.xconfigure.height);
        SetViewport();
      }
      break;
    case KeyPress: {
      char text[8];
      KeySym sym;
      const int n = XLookupString(&ev.xkey, text, sizeof text, &sym, nullptr);
      if (n == 1 && text[0] == 27) Scene().stopRequested = true;  // Escape: fade out
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
      if (ev.xvisibility.state != VisibilityUnobscured) XRaiseWindow(display, target);
      break;
    case MapNotify:
      // Take the keyboard: Escape must reach the window, and losing the
      // focus later is what closes it.
      if (ev.xmap.window == target) XSetInputFocus(display, target, RevertToParent, CurrentTime);
      break;
    default:  // Expose: the background is black until frames are drawn
      break;
  }
}

void HandleHackEvent(XEvent& ev) {
  switch (ev.type) {
    case DestroyNotify:
      if (ev.xdestroywindow.window == target || ev.xdestroywindow.window == drawable) quit = true;
      break;
    case ConfigureNotify:
      if (ev.xconfigure.window == target) {
        host.clientWidth = ev.xconfigure.width;
        host.clientHeight = ev.xconfigure.height;
        if (ownChild) {
          XResizeWindow(display, drawable, static_cast<unsigned>(ev.xconfigure.width),
                        static_cast<unsigned>(ev.xconfigure.height));
        }
        SetViewport();
      }
      break;
    default:
      break;
  }
}

void HandleEvent(XEvent& ev) {
  if (hackMode) {
    HandleHackEvent(ev);
  } else {
    HandleStandaloneEvent(ev);
  }
}

// Waits (bounded) until the window is mapped, handling events meanwhile.
void WaitMapped(Window w) {
  const int64_t deadline = MonotonicCount() + 2 * kCountsPerSecond;
  while (MonotonicCount() < deadline && !quit && !signalled) {
    while (XPending(display)) {
      XEvent ev;
      XNextEvent(display, &ev);
      HandleEvent(ev);
      if (ev.type == MapNotify && ev.xmap.window == w) return;
    }
    pollfd pfd = {ConnectionNumber(display), POLLIN, 0};
    poll(&pfd, 1, 20);
  }
}

// The keyboard goes to us whatever the focus does, so Escape works without a
// window manager; another client may hold it for a moment, so try a while.
void GrabKeyboard() {
  const int64_t deadline = MonotonicCount() + kCountsPerSecond;
  while (!keyboardHeld && !signalled) {
    keyboardHeld = XGrabKeyboard(display, target, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    if (keyboardHeld || MonotonicCount() >= deadline) break;
    usleep(20000);
  }
}

Cursor BlankCursor() {
  static const char bits[1] = {0};
  Pixmap pixmap = XCreateBitmapFromData(display, target, bits, 1, 1);
  XColor black = {};
  Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
  XFreePixmap(display, pixmap);
  return cursor;
}

XVisualInfo* ChooseGlVisual(int screen) {
  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1, None};
  return glXChooseVisual(display, screen, attributes);
}

// Vertical sync where the driver offers a way to ask for it; without it the
// frames simply come as fast as before (the animation follows the clock).
void RequestSwapInterval(int screen) {
  const char* extensions = glXQueryExtensionsString(display, screen);
  if (x11::HasExtension(extensions, "GLX_EXT_swap_control")) {
    auto swapInterval = reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
    if (swapInterval) {
      swapInterval(display, drawable, 1);
      return;
    }
  }
  if (x11::HasExtension(extensions, "GLX_MESA_swap_control")) {
    using SwapIntervalMesa = int (*)(unsigned);
    auto swapInterval = reinterpret_cast<SwapIntervalMesa>(
        glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
    if (swapInterval) swapInterval(1);
  }
}

// Standalone: our own window over the whole screen. Returns its visual.
XVisualInfo* MakeStandaloneWindow() {
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  XVisualInfo* visual = ChooseGlVisual(screen);
  if (!visual) return nullptr;

  const int width = DisplayWidth(display, screen);
  const int height = DisplayHeight(display, screen);
  XSetWindowAttributes wa = {};
  wa.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  wa.background_pixel = BlackPixel(display, screen);
  wa.border_pixel = 0;
  wa.override_redirect = True;
  wa.event_mask = StructureNotifyMask | ExposureMask | KeyPressMask | ButtonPressMask | FocusChangeMask |
                  VisibilityChangeMask;
  target = XCreateWindow(display, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                         visual->depth, InputOutput, visual->visual,
                         CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask, &wa);
  if (!target) {
    XFree(visual);
    return nullptr;
  }
  drawable = target;

  // Name, class, close protocol and pid for whoever looks for the saver;
  // the full-screen, always-on-top state for tools that read it (no window
  // manager manages an override-redirect window).
  StoreTitle(kEngineWindowName);
  XClassHint classHint;
  classHint.res_name = const_cast<char*>(kEngineWindowName);
  classHint.res_class = const_cast<char*>(kEngineWindowName);
  XSetClassHint(display, target, &classHint);
  XSetWMProtocols(display, target, &wmDeleteWindow, 1);
  XWMHints wmHints = {};
  wmHints.flags = InputHint;
  wmHints.input = True;
  XSetWMHints(display, target, &wmHints);
  const Atom state[2] = {XInternAtom(display, "_NET_WM_STATE_ABOVE", False),
                         XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False)};
  XChangeProperty(display, target, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(state), 2);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display, target, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  XDefineCursor(display, target, BlankCursor());
  LayOutStandalone(width, height);
  return visual;
}

// A virtual root some desktops lay over the real one; savers draw there.
Window VirtualRoot(Window root) {
  const Atom vroot = XInternAtom(display, "__SWM_VROOT", False);
  Window r, parent, *children = nullptr;
  unsigned n = 0;
  Window found = root;
  if (XQueryTree(display, root, &r, &parent, &children, &n)) {
    for (unsigned i = 0; i < n && found == root; ++i) {
      Atom type;
      int format;
      unsigned long items, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(display, children[i], vroot, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                             &data) == Success && data) {
        if (type == XA_WINDOW && format == 32 && items == 1) found = *reinterpret_cast<Window*>(data);
        XFree(data);
      }
    }
    if (children) XFree(children);
  }
  return found;
}

bool UsableForGl(XVisualInfo* vi) {
  int useGl = 0, rgba = 0, doubleBuffer = 0, level = 1;
  return glXGetConfig(display, vi, GLX_USE_GL, &useGl) == 0 && useGl &&
         glXGetConfig(display, vi, GLX_RGBA, &rgba) == 0 && rgba &&
         glXGetConfig(display, vi, GLX_DOUBLEBUFFER, &doubleBuffer) == 0 && doubleBuffer &&
         glXGetConfig(display, vi, GLX_LEVEL, &level) == 0 && level == 0;
}

// Hack: draw into `target` itself when its visual suits GL, else into a
// child of a GL visual that covers it. Returns the visual, null on failure.
XVisualInfo* AdoptWindow(XWindowAttributes& wa) {
  XVisualInfo templ = {};
  templ.visualid = XVisualIDFromVisual(wa.visual);
  int n = 0;
  XVisualInfo* visual = XGetVisualInfo(display, VisualIDMask, &templ, &n);
  if (visual && n > 0 && UsableForGl(visual)) {
    drawable = target;
  } else {
    if (visual) XFree(visual);
    const int screen = XScreenNumberOfScreen(wa.screen);
    visual = ChooseGlVisual(screen);
    if (!visual) return nullptr;
    XSetWindowAttributes ca = {};
    ca.colormap = XCreateColormap(display, target, visual->visual, AllocNone);
    ca.background_pixel = BlackPixel(display, screen);
    ca.border_pixel = 0;
    ca.override_redirect = True;  // a managed top-level if target is the root
    ca.event_mask = StructureNotifyMask;
    drawable = XCreateWindow(display, target, 0, 0, static_cast<unsigned>(wa.width),
                             static_cast<unsigned>(wa.height), 0, visual->depth, InputOutput, visual->visual,
                             CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask, &ca);
    if (!drawable) {
      XFree(visual);
      return nullptr;
    }
    ownChild = true;
    XMapWindow(display, drawable);
  }
  host.clientWidth = wa.width;
  host.clientHeight = wa.height;
  return visual;
}

}  // namespace

int EngineMain(int argc, char** argv) {
  const x11::HostOptions options = x11::ParseHostOptions(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
  if (options.mode == HostMode::Help) {
    std::fputs(x11::Usage(), stdout);
    return 0;
  }
  if (options.mode == HostMode::Error) {
    std::fprintf(stderr, "sorvane: %s\nTry 'sorvane --help'.\n", options.error.c_str());
    return 2;
  }
  hackMode = options.mode != HostMode::Standalone;

  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  paintEnabled = false;
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(ServerGone);
  display = XOpenDisplay(nullptr);
  if (!display) {
    if (hackMode) {
      std::fputs("sorvane: cannot open the X display\n", stderr);
      return 1;
    }
    return 0;
  }
  wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
  wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  utf8String = XInternAtom(display, "UTF8_STRING", False);

  XVisualInfo* visual = nullptr;
  int screen = DefaultScreen(display);
  if (hackMode) {
    if (options.windowId != 0) {
      target = options.windowId;
    } else {
      target = VirtualRoot(DefaultRootWindow(display));
    }
    XWindowAttributes wa;
    if (!XGetWindowAttributes(display, target, &wa)) {
      std::fprintf(stderr, "sorvane: no window 0x%lx on this display\n", static_cast<unsigned long>(target));
      XCloseDisplay(display);
      return 1;
    }
    screen = XScreenNumberOfScreen(wa.screen);
    // Our interest in its size and its end; every other mask stays its owner's.
    XSelectInput(display, target, StructureNotifyMask);
    visual = AdoptWindow(wa);
    if (!visual) {
      std::fputs("sorvane: no OpenGL visual for that window\n", stderr);
      XCloseDisplay(display);
      return 1;
    }
  } else {
    visual = MakeStandaloneWindow();
    if (!visual) {
      XCloseDisplay(display);
      return 0;
    }
  }

  glContext = glXCreateContext(display, visual, nullptr, True);
  XFree(visual);
  glXMakeCurrent(display, drawable, glContext);
  RequestSwapInterval(screen);
  SetViewport();
  startCount = MonotonicCount();

  if (hackMode) {
    if (ownChild) WaitMapped(drawable);
  } else {
    XMapRaised(display, target);
    WaitMapped(target);
    GrabKeyboard();
  }
  XSync(display, False);

  SetupGlState(host);
  paintEnabled = true;
  music.Start(options.music);

  while (!quit && !signalled) {
    if (XPending(display)) {
      XEvent ev;
      XNextEvent(display, &ev);
      HandleEvent(ev);
    } else {
      PaintFrame();
    }
  }
  paintEnabled = false;
  music.Stop();  // before anything else: the sound ends with the picture
  if (!quit) {
    // A signal: leave a hack's window as it was given; our own goes.
    EndGl();
    if (!hackMode) XDestroyWindow(display, target);
  }
  EndGl();
  if (ownChild) XDestroyWindow(display, drawable);  // harmless if it went with its parent
  XCloseDisplay(display);
  return 0;
}

}  // namespace sorvane::engine

int main(int argc, char** argv) { return sorvane::engine::EngineMain(argc, argv); }

// sorvane-engine: the engine's X11 host (Xlib + GLX). The same behaviour as the
// Win32 host in X terms: one full-screen window above the others, no cursor,
// a frame at every idle pass, and it closes when it loses the input focus, when
// any client asks it to close (WM_DELETE_WINDOW), and after Escape once the
// last puff has faded. The process always exits with code 0.
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "gl_include.h"
#include "host_clock.h"
#include "render.h"
#include "scene.h"

namespace sorvane::engine {
namespace {

Display* display = nullptr;
Window window = 0;
GLXContext glContext = nullptr;
bool paintEnabled = false;
bool quit = false;
bool focusSeen = false;  // the focus check is armed once the window has had it
int64_t startCount = 0;
HostState host;
Atom wmProtocols, wmDeleteWindow, netWmName, utf8String;

int64_t MonotonicCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
constexpr int64_t kCountsPerSecond = 1000000000;

void StoreTitle(const char* title) {
  XStoreName(display, window, title);
  XChangeProperty(display, window, netWmName, utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title), static_cast<int>(std::strlen(title)));
}

// WM_CLOSE's twin: a WM_DELETE_WINDOW request to our own window, handled
// like anyone else's when the loop reaches it.
void PostClose() {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window;
  ev.xclient.message_type = wmProtocols;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(wmDeleteWindow);
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &ev);
  XFlush(display);
}

class WindowPort final : public RenderPort {
 public:
  void SetTitle(const char* title) override { StoreTitle(title); }
  void PostClose() override { sorvane::engine::PostClose(); }
};
WindowPort windowPort;

// The engine reports nothing: protocol errors (say, a focus request that
// raced an unmap) are ignored, and a lost server ends the process quietly.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }
int ServerGone(Display*) { _exit(0); }

void SetViewport() {
  glViewport(0, 0, host.clientWidth, host.clientHeight == 0 ? 1 : host.clientHeight);
}

void DestroyWindow() {
  glXMakeCurrent(display, None, nullptr);
  glXDestroyContext(display, glContext);
  XDestroyWindow(display, window);
  XSync(display, False);
  quit = true;
}

void PaintFrame() {
  AdvanceFrameClock(host, MonotonicCount(), startCount, kCountsPerSecond);
  RenderFrame(host, windowPort);
  glXSwapBuffers(display, window);
}

void HandleEvent(XEvent& ev) {
  switch (ev.type) {
    case ClientMessage:
      if (ev.xclient.message_type == wmProtocols &&
          static_cast<Atom>(ev.xclient.data.l[0]) == wmDeleteWindow && !quit) {
        DestroyWindow();
      }
      break;
    case ConfigureNotify:
      if (ev.xconfigure.window == window) {
        host.clientWidth = ev.xconfigure.width;
        host.clientHeight = ev.xconfigure.height;
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
    case MapNotify:
      // Take the keyboard: Escape must reach the window, and losing the
      // focus later is what closes it.
      XSetInputFocus(display, window, RevertToParent, CurrentTime);
      break;
    default:  // Expose: the background is black until frames are drawn
      break;
  }
}

bool HasFocus() {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  return focus == window;
}

// Waits (bounded) until the window is mapped, handling events meanwhile.
void WaitMapped() {
  const int64_t deadline = MonotonicCount() + 2 * kCountsPerSecond;
  while (MonotonicCount() < deadline) {
    while (XPending(display)) {
      XEvent ev;
      XNextEvent(display, &ev);
      HandleEvent(ev);
      if (ev.type == MapNotify && ev.xmap.window == window) return;
    }
    pollfd pfd = {ConnectionNumber(display), POLLIN, 0};
    poll(&pfd, 1, 20);
  }
}

Cursor BlankCursor() {
  static const char bits[1] = {0};
  Pixmap pixmap = XCreateBitmapFromData(display, window, bits, 1, 1);
  XColor black = {};
  Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
  XFreePixmap(display, pixmap);
  return cursor;
}

}  // namespace

int EngineMain() {
  paintEnabled = false;
  XSetErrorHandler(IgnoreXError);
  XSetIOErrorHandler(ServerGone);
  display = XOpenDisplay(nullptr);
  if (!display) return 0;
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);

  int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 1, GLX_GREEN_SIZE, 1, GLX_BLUE_SIZE, 1, None};
  XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
  if (!visual) return 0;

  wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
  wmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  utf8String = XInternAtom(display, "UTF8_STRING", False);

  const int width = DisplayWidth(display, screen);
  const int height = DisplayHeight(display, screen);
  XSetWindowAttributes wa = {};
  wa.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
  wa.background_pixel = BlackPixel(display, screen);
  wa.border_pixel = 0;
  wa.event_mask = StructureNotifyMask | ExposureMask | KeyPressMask | FocusChangeMask;
  window = XCreateWindow(display, root, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                         visual->depth, InputOutput, visual->visual,
                         CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &wa);
  if (!window) return 0;

  // Name, class, close protocol, and the window manager's full-screen,
  // always-on-top state; without a window manager the geometry already
  // covers the screen and a newly mapped window is on top.
  StoreTitle(kEngineWindowName);
  XClassHint classHint;
  classHint.res_name = const_cast<char*>(kEngineWindowName);
  classHint.res_class = const_cast<char*>(kEngineWindowName);
  XSetClassHint(display, window, &classHint);
  XSetWMProtocols(display, window, &wmDeleteWindow, 1);
  XWMHints wmHints = {};
  wmHints.flags = InputHint;
  wmHints.input = True;
  XSetWMHints(display, window, &wmHints);
  XSizeHints sizeHints = {};
  sizeHints.flags = USPosition | USSize;
  sizeHints.width = width;
  sizeHints.height = height;
  XSetWMNormalHints(display, window, &sizeHints);
  const Atom state[2] = {XInternAtom(display, "_NET_WM_STATE_ABOVE", False),
                         XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False)};
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(state), 2);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  XDefineCursor(display, window, BlankCursor());

  glContext = glXCreateContext(display, visual, nullptr, True);
  XFree(visual);
  glXMakeCurrent(display, window, glContext);
  host.clientWidth = width;
  host.clientHeight = height;
  SetViewport();
  startCount = MonotonicCount();

  XMapRaised(display, window);
  WaitMapped();
  XSync(display, False);

  SetupGlState(host);
  paintEnabled = true;

  while (!quit) {
    if (XPending(display)) {
      XEvent ev;
      XNextEvent(display, &ev);
      HandleEvent(ev);
    } else {
      // Idle pass: another window took the keyboard, so the user is back.
      if (HasFocus()) {
        focusSeen = true;
      } else if (focusSeen) {
        PostClose();
        continue;  // the close comes before any further frame
      }
      PaintFrame();
    }
  }
  paintEnabled = false;
  XCloseDisplay(display);
  return 0;
}

}  // namespace sorvane::engine

int main() { return sorvane::engine::EngineMain(); }

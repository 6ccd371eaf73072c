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
// Standalone, the window follows the screen when monitors come, go or change
// size. Either way frames are paced to the refresh rate where swaps do not
// wait for the display.
//
// The process exits with code 0 once it has run, or, ended by SIGTERM or
// SIGINT, by that signal once it has cleaned up (what xscreensaver logs as a
// normal end); only a bad command line or a window that does not exist gives
// another code.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "gl_include.h"
#include "host.h"
#include "render.h"
#include "x11/host_x11.h"
#include "x11/music_gst.h"
#include "x11/options.h"

namespace sorvane::engine::x11 {

X11Host x;
volatile sig_atomic_t caughtSignal = 0;

int64_t MonotonicCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

namespace {

void OnSignal(int sig) { caughtSignal = sig; }

// A hack's window is not ours: no title, and nothing of ours may close it
// (Escape is not watched there, so the frame never asks).
class WindowPort final : public HostPort {
 public:
  void SetTitle(const char* title) override {
    if (!x.hackMode) StoreTitle(title);
  }
  void PostClose() override {
    if (!x.hackMode) x11::PostClose();
  }
  int64_t Now() override { return MonotonicCount(); }
  int64_t CountsPerSecond() override { return kCountsPerSecond; }
  void SwapFrameBuffers() override { glXSwapBuffers(x.display, x.drawable); }
};
WindowPort windowPort;

// The engine reports nothing: protocol errors (say, a focus request that
// raced an unmap) are ignored, except that a window of ours going away ends
// the run; a lost server ends the process quietly.
int OnXError(Display*, XErrorEvent* e) {
  if ((e->error_code == BadWindow || e->error_code == BadDrawable) && e->resourceid != 0 &&
      (e->resourceid == x.target || e->resourceid == x.drawable)) {
    x.quit = true;
  }
  return 0;
}
MusicPlayer music;  // --music, --cd: plays while frames are drawn
int ServerGone(Display*) {
  music.Stop();
  _exit(0);
}

// Until the next frame is due or an event (or a signal) comes.
void WaitForEvents(int64_t counts) {
  pollfd pfd = {ConnectionNumber(x.display), POLLIN, 0};
  const timespec timeout = {static_cast<time_t>(counts / kCountsPerSecond),
                            static_cast<long>(counts % kCountsPerSecond)};
  ppoll(&pfd, 1, &timeout, nullptr);
}

// Ends as the signal would have ended us, now that the display is closed.
int EndBy(int sig) {
  signal(sig, SIG_DFL);
  raise(sig);
  return 128 + sig;  // not reached
}

}  // namespace

int EngineMain(int argc, char** argv) {
  const HostOptions options = ParseHostOptions(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
  if (options.mode == HostMode::Help) {
    std::fputs(Usage(), stdout);
    return 0;
  }
  if (options.mode == HostMode::Error) {
    std::fprintf(stderr, "sorvane: %s\nTry 'sorvane --help'.\n", options.error.c_str());
    return 2;
  }
  x.hackMode = options.mode != HostMode::Standalone;

  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(ServerGone);
  x.display = XOpenDisplay(nullptr);
  if (!x.display) {
    if (x.hackMode) {
      std::fputs("sorvane: cannot open the X display\n", stderr);
      return 1;
    }
    return 0;
  }
  InternAtoms();

  XVisualInfo* visual = nullptr;
  int screen = DefaultScreen(x.display);
  if (x.hackMode) {
    x.target = options.windowId != 0 ? options.windowId : VirtualRoot(DefaultRootWindow(x.display));
    XWindowAttributes wa;
    if (!XGetWindowAttributes(x.display, x.target, &wa)) {
      std::fprintf(stderr, "sorvane: no window 0x%lx on this display\n", static_cast<unsigned long>(x.target));
      XCloseDisplay(x.display);
      return 1;
    }
    screen = XScreenNumberOfScreen(wa.screen);
    // Our interest in its size and its end; every other mask stays its owner's.
    XSelectInput(x.display, x.target, StructureNotifyMask);
    visual = AdoptWindow(wa);
    if (!visual) {
      std::fputs("sorvane: no OpenGL visual for that window\n", stderr);
      XCloseDisplay(x.display);
      return 1;
    }
  } else {
    visual = MakeStandaloneWindow();
    if (!visual) {
      XCloseDisplay(x.display);
      return 0;
    }
    WatchDisplays();
  }

  x.glContext = glXCreateContext(x.display, visual, nullptr, True);
  XFree(visual);
  glXMakeCurrent(x.display, x.drawable, x.glContext);
  RequestSwapInterval(screen);
  x.engine.ApplyViewport();  // now that GL is current
  x.engine.TakeStartCount(windowPort);

  if (x.hackMode) {
    if (x.ownChild) WaitMapped(x.drawable);
  } else {
    XMapRaised(x.display, x.target);
    WaitMapped(x.target);
    GrabKeyboard();
  }
  XSync(x.display, False);

  x.engine.SetUpFrames(RefreshHz());
  music.Start(options.music);
  while (!x.quit && !caughtSignal) {
    if (XPending(x.display)) {
      XEvent ev;
      XNextEvent(x.display, &ev);
      HandleEvent(ev);
    } else if (const int64_t wait = x.engine.CountsBeforeNextFrame(); wait > 0) {
      WaitForEvents(wait);
    } else {
      x.engine.PaintFrame();
    }
  }
  music.Stop();  // before anything else: the sound ends with the picture
  EndGl();
  // A signal: leave a hack's window as it was given; our own goes.
  if (!x.quit && !x.hackMode) XDestroyWindow(x.display, x.target);
  if (x.ownChild) XDestroyWindow(x.display, x.drawable);  // harmless if it went with its parent
  XCloseDisplay(x.display);
  return caughtSignal ? EndBy(caughtSignal) : 0;
}

}  // namespace sorvane::engine::x11

int main(int argc, char** argv) { return sorvane::engine::x11::EngineMain(argc, argv); }

// The X11 host's pieces, one file per concern: the windows (window_x11),
// their events (events_x11), GLX (glx_x11) and the monitors (displays_x11);
// host_x11.cpp holds the entry, the loop and the signals.
#pragma once
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <csignal>

#include "host.h"

namespace sorvane::engine::x11 {

// Everything the pieces share, for the process's life.
struct X11Host {
  Display* display = nullptr;
  bool hackMode = false;
  Window target = 0;    // the window we were given (hack) or made (standalone)
  Window drawable = 0;  // where GL draws: target, or our child of it
  bool ownChild = false;
  GLXContext glContext = nullptr;
  bool quit = false;
  bool keyboardHeld = false;  // standalone: our keyboard grab succeeded
  int randrEvents = -1;       // RandR's first event number, when it is there
  Atom wmProtocols = 0, wmDeleteWindow = 0, netWmName = 0, utf8String = 0;
  EngineHost engine;
};
extern X11Host x;
// The SIGTERM or SIGINT that ends the run; 0 while none came.
extern volatile sig_atomic_t caughtSignal;

int64_t MonotonicCount();
constexpr int64_t kCountsPerSecond = 1000000000;

// window_x11.cpp
void InternAtoms();
void StoreTitle(const char* title);
void PostClose();  // WM_CLOSE's twin, to our own window
XVisualInfo* MakeStandaloneWindow();
Window VirtualRoot(Window root);
XVisualInfo* AdoptWindow(XWindowAttributes& wa);  // hack: target or a GL child of it
void GrabKeyboard();
void DestroyEngineWindow();  // standalone, on a close request

// glx_x11.cpp
XVisualInfo* ChooseGlVisual(int screen);
bool UsableForGl(XVisualInfo* vi);
void RequestSwapInterval(int screen);
void EndGl();

// displays_x11.cpp
void WatchDisplays();  // standalone: RandR's change events on the root
// The animation on the primary monitor of a `width` x `height` screen.
void LayOutStandalone(int width, int height);
// A RandR event: the window takes the screen's new size, the animation the
// primary's new place, the pacing the new refresh rate. False for others.
bool FollowDisplayChange(XEvent& ev);
double RefreshHz();  // the primary monitor's (or the first lit one's); 0: unknown

// events_x11.cpp
void HandleEvent(XEvent& ev);
void WaitMapped(Window w);

}  // namespace sorvane::engine::x11

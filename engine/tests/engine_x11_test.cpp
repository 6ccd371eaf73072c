// sorvane-engine on a real X server, driven from outside the way a user, a
// desktop and the xscreensaver daemon would: find its window, look at it,
// take the focus away, press Escape, ask it to close, destroy it, hand it a
// window of ours to draw into, photograph the screen.
// GoogleTest before Xlib: Xlib's macros (None, Bool) clash with it.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/Xfixes.h>
#include <GL/glx.h>
// clang-format on
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "x11/options.h"

namespace {

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

bool DisplayWorks(const char* name) {
  if (!name || !*name) return false;
  Display* d = XOpenDisplay(name);
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

// The display the engines run on: $DISPLAY, or a private Xvfb.
class XServer : public ::testing::Environment {
 public:
  void SetUp() override {
    if (DisplayWorks(std::getenv("DISPLAY"))) return;
    // Xvfb picks a free display number itself and tells it once it listens.
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd pfd = {fds[0], POLLIN, 0};
    char c;
    while (poll(&pfd, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    const std::string name = ":" + number;
    if (!number.empty() && DisplayWorks(name.c_str())) setenv("DISPLAY", name.c_str(), 1);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
};
const auto* const kServer = ::testing::AddGlobalTestEnvironment(new XServer);

struct Light {
  long lit = 0;       // pixels with red above 60
  long coloured = 0;  // pixels that are not grey
  long nonBlack = 0;
};

// A client of the test display that starts the engine with options and an
// environment of its choosing and watches it from outside.
class XClient : public ::testing::Test {
 protected:
  void SetUp() override {
    // A server without -noreset resets when its last client leaves and
    // refuses connections meanwhile: try again for a while.
    for (int i = 0; i < 100 && !display_; ++i) {
      display_ = XOpenDisplay(nullptr);
      if (!display_) usleep(50000);
    }
    ASSERT_NE(display_, nullptr) << "no X display";
    // Windows come and go under the test's feet (that is the point):
    // a request on one already gone is not the test's failure.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    root_ = DefaultRootWindow(display_);
    char path[] = "/tmp/sorvane-engine-output-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    output_ = path;
  }
  void TearDown() override {
    Stop();
    for (Window w : windows_) XDestroyWindow(display_, w);
    if (display_) XCloseDisplay(display_);
    unlink(output_.c_str());
  }

  // Starts the engine with `args`; `env` entries are NAME=VALUE, or NAME
  // alone to remove it. Its stdout and stderr go to one file (Output()).
  void Start(std::vector<std::string> args, std::vector<std::string> env = {}) {
    Stop();
    truncate(output_.c_str(), 0);
    pid_ = fork();
    if (pid_ == 0) {
      unsetenv("XSCREENSAVER_WINDOW");
      for (const std::string& e : env) {
        const size_t eq = e.find('=');
        if (eq == std::string::npos) {
          unsetenv(e.c_str());
        } else {
          setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
      }
      const int out = open(output_.c_str(), O_WRONLY | O_APPEND);
      dup2(out, 1);
      dup2(out, 2);
      std::vector<char*> argv{const_cast<char*>(SORVANE_ENGINE_PATH)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(SORVANE_ENGINE_PATH, argv.data());
      _exit(127);
    }
    ASSERT_GT(pid_, 0);
  }
  void Stop() {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }
  std::string Output() {
    std::ifstream in(output_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string Text(Window w, const char* property) {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display_, w, XInternAtom(display_, property, False), 0, 1024, False, AnyPropertyType,
                           &type, &format, &n, &after, &data) == Success && data) {
      text.assign(reinterpret_cast<char*>(data), n * (format == 32 ? sizeof(long) : format / 8));
      XFree(data);
    }
    return text;
  }

  // A top-level window titled SorvaneVC, belonging to our child process.
  Window FindEngineWindow(double seconds) {
    const double end = Now() + seconds;
    while (Now() < end) {
      Window r, parent, *children = nullptr;
      unsigned n = 0;
      Window found = 0;
      if (XQueryTree(display_, root_, &r, &parent, &children, &n)) {
        for (unsigned i = 0; i < n && !found; ++i) {
          const std::string pid = Text(children[i], "_NET_WM_PID");
          if (Text(children[i], "WM_NAME") == "SorvaneVC" && pid.size() >= 4 &&
              *reinterpret_cast<const uint32_t*>(pid.data()) == static_cast<uint32_t>(pid_)) {
            XWindowAttributes wa;
            if (XGetWindowAttributes(display_, children[i], &wa) && wa.map_state == IsViewable) {
              found = children[i];
            }
          }
        }
        if (children) XFree(children);
      }
      if (found) return found;
      usleep(50000);
    }
    return 0;
  }

  // The exit status once the engine has ended, or -1 after the time limit.
  int WaitExit(double seconds) {
    const double end = Now() + seconds;
    while (Now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(20000);
    }
    return -1;
  }
  bool Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

  // What the screen shows in a rectangle (read from the root, so a child
  // window of another visual is seen as the user sees it).
  Light Look(int x, int y, int w, int h) {
    Light light;
    XImage* image = XGetImage(display_, root_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                              ZPixmap);
    if (!image) return light;
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        const unsigned long p = XGetPixel(image, i, j);
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        light.coloured += r != g || g != b;
        light.lit += r > 60;
        light.nonBlack += p != 0;
      }
    }
    XDestroyImage(image);
    return light;
  }
  // Polls until at least `pixels` lit pixels show in the rectangle.
  Light WaitForLight(int x, int y, int w, int h, long pixels, double seconds) {
    const double end = Now() + seconds;
    Light light;
    do {
      light = Look(x, y, w, h);
      if (light.lit >= pixels) break;
      usleep(100000);
    } while (Now() < end);
    return light;
  }

  // A mapped top-level window of ours (a stand-in for the daemon's window).
  Window MakeWindow(int x, int y, int w, int h, const XVisualInfo* visual = nullptr) {
    XSetWindowAttributes wa = {};
    unsigned long mask = CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask;
    wa.background_pixel = 0x203040;  // not black: the engine must paint over it
    wa.override_redirect = True;
    wa.event_mask = StructureNotifyMask;
    Visual* v = CopyFromParent;
    int depth = CopyFromParent;
    if (visual) {
      v = visual->visual;
      depth = visual->depth;
      wa.colormap = XCreateColormap(display_, root_, v, AllocNone);
      mask |= CWColormap;
    }
    Window win = XCreateWindow(display_, root_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, depth,
                               InputOutput, v, mask, &wa);
    XStoreName(display_, win, "stand-in");
    XMapRaised(display_, win);
    XEvent ev;
    do XWindowEvent(display_, win, StructureNotifyMask, &ev);
    while (ev.type != MapNotify);
    windows_.push_back(win);
    return win;
  }
  void Forget(Window w) { windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end()); }

  std::vector<std::string> PropertyNames(Window w) {
    int n = 0;
    Atom* atoms = XListProperties(display_, w, &n);
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i) {
      char* name = XGetAtomName(display_, atoms[i]);
      names.emplace_back(name);
      XFree(name);
    }
    if (atoms) XFree(atoms);
    std::sort(names.begin(), names.end());
    return names;
  }
  Window Focus() {
    Window focus;
    int revert;
    XGetInputFocus(display_, &focus, &revert);
    return focus;
  }

  Display* display_ = nullptr;
  Window root_ = 0;
  pid_t pid_ = -1;
  std::string output_;
  std::vector<Window> windows_;
};

// The standalone saver, started before each case.
class Engine : public XClient {
 protected:
  void SetUp() override {
    XClient::SetUp();
    ASSERT_FALSE(HasFatalFailure());
    Start({});
    window_ = FindEngineWindow(10.0);
    ASSERT_NE(window_, 0u) << "no SorvaneVC window appeared";
  }

  void SendKey(KeySym sym) {
    XEvent ev = {};
    ev.xkey.type = KeyPress;
    ev.xkey.display = display_;
    ev.xkey.window = window_;
    ev.xkey.root = root_;
    ev.xkey.time = CurrentTime;
    ev.xkey.same_screen = True;
    ev.xkey.keycode = XKeysymToKeycode(display_, sym);
    XSendEvent(display_, window_, True, KeyPressMask, &ev);
    ev.xkey.type = KeyRelease;
    XSendEvent(display_, window_, True, KeyReleaseMask, &ev);
    XFlush(display_);
  }

  Window window_ = 0;
};

// Real input through the XTEST extension, as a keyboard or mouse would give it.
int Xdotool(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

TEST_F(Engine, OneNamedFullScreenWindowAboveTheOthersWithTheKeyboard) {
  EXPECT_EQ(Text(window_, "_NET_WM_NAME"), "SorvaneVC");
  const std::string cls = Text(window_, "WM_CLASS");
  EXPECT_EQ(cls, std::string("SorvaneVC\0SorvaneVC\0", 20));

  XWindowAttributes wa;
  ASSERT_TRUE(XGetWindowAttributes(display_, window_, &wa));
  EXPECT_EQ(wa.x, 0);
  EXPECT_EQ(wa.y, 0);
  EXPECT_EQ(wa.width, DisplayWidth(display_, DefaultScreen(display_)));
  EXPECT_EQ(wa.height, DisplayHeight(display_, DefaultScreen(display_)));

  const std::string state = Text(window_, "_NET_WM_STATE");
  ASSERT_EQ(state.size(), 2 * sizeof(long));
  const long* atoms = reinterpret_cast<const long*>(state.data());
  EXPECT_EQ(static_cast<Atom>(atoms[0]), XInternAtom(display_, "_NET_WM_STATE_ABOVE", False));
  EXPECT_EQ(static_cast<Atom>(atoms[1]), XInternAtom(display_, "_NET_WM_STATE_FULLSCREEN", False));

  // It took the keyboard focus and keeps it, and its title stays put while
  // it refreshes it every second.
  usleep(1500000);
  Window focus;
  int revert;
  XGetInputFocus(display_, &focus, &revert);
  EXPECT_EQ(focus, window_);
  EXPECT_EQ(Text(window_, "WM_NAME"), "SorvaneVC");
  // No cursor over it: the pointer's image there is fully transparent.
  XWarpPointer(display_, None, root_, 0, 0, 0, 0, 300, 300);
  XWarpPointer(display_, None, root_, 0, 0, 0, 0, 320, 310);
  XSync(display_, False);
  usleep(200000);
  XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
  ASSERT_NE(cursor, nullptr);
  int visible = 0;
  for (int i = 0; i < cursor->width * cursor->height; ++i) visible += (cursor->pixels[i] >> 24) != 0;
  XFree(cursor);
  EXPECT_EQ(visible, 0);
  // Keys other than Escape and pointer moves do nothing.
  SendKey(XK_a);
  SendKey(XK_space);
  usleep(300000);
  EXPECT_TRUE(Running());
}

TEST_F(Engine, ClosesWithExitCodeZeroWhenAClientAsksItTo) {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window_;
  ev.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window_, False, NoEventMask, &ev);
  XFlush(display_);
  EXPECT_EQ(WaitExit(2.0), 0);
}

// The user switching away ends it: another client taking the focus, or a
// click. A window mapped over it does not: it goes back on top.
TEST_F(Engine, StaysOnTopAndEndsWhenTheUserSwitchesAway) {
  usleep(300000);
  Window other = MakeWindow(10, 10, 200, 100);
  const double end = Now() + 3.0;
  bool onTop = false;
  while (!onTop && Now() < end) {
    usleep(50000);
    Window r, parent, *children = nullptr;
    unsigned n = 0;
    XQueryTree(display_, root_, &r, &parent, &children, &n);
    onTop = n > 0 && children[n - 1] == window_;
    if (children) XFree(children);
  }
  EXPECT_TRUE(onTop) << "the engine did not go back above a window mapped over it";
  ASSERT_TRUE(Running());
  XSetInputFocus(display_, other, RevertToParent, CurrentTime);
  XFlush(display_);
  EXPECT_EQ(WaitExit(2.0), 0);

  Start({});
  window_ = FindEngineWindow(10.0);
  ASSERT_NE(window_, 0u);
  usleep(300000);
  EXPECT_EQ(Xdotool("mousemove 500 400 click 1"), 0);
  EXPECT_EQ(WaitExit(2.0), 0) << "a click did not end it";
}

// Someone else destroys the window: the engine ends rather than drawing
// into nothing for ever.
TEST_F(Engine, EndsWhenItsWindowIsDestroyedFromOutside) {
  usleep(300000);
  XDestroyWindow(display_, window_);
  XFlush(display_);
  EXPECT_EQ(WaitExit(2.0), 0);
}

TEST_F(Engine, EscapeLetsThePuffsFadeThenCloses) {
  usleep(800000);  // a full stream of puffs
  ASSERT_EQ(Xdotool("key Escape"), 0);  // the real keyboard: it holds it
  const double pressed = Now();
  usleep(400000);
  EXPECT_TRUE(Running()) << "closed before the last puff had faded";
  const int code = WaitExit(3.0);
  EXPECT_EQ(code, 0);
  EXPECT_LT(Now() - pressed, 2.6);
}

TEST_F(Engine, ScreenShowsLightRisingFromTheLowerMiddleOverBlack) {
  usleep(1200000);
  const int w = DisplayWidth(display_, DefaultScreen(display_));
  const int h = DisplayHeight(display_, DefaultScreen(display_));
  XImage* image = XGetImage(display_, root_, 0, 0, w, h, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  long lowerMiddle = 0, corners = 0, coloured = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      if (r != g || g != b) ++coloured;
      const bool corner = (x < 40 || x >= w - 40) && (y < 40 || y >= h - 40);
      if (corner && r != 0) ++corners;
      if (r > 60 && x > w / 3 && x < 2 * w / 3 && y > h / 2) ++lowerMiddle;
    }
  }
  XDestroyImage(image);
  EXPECT_GT(lowerMiddle, 2000);
  EXPECT_EQ(corners, 0);
  EXPECT_EQ(coloured, 0) << "white light on black only";
}

// --- As a hack: drawing into a window that is not the engine's ---

using Hack = XClient;

// A GL visual the engine cannot draw into directly (single-buffered), so it
// has to cover the window with a child of its own.
bool SingleBufferedGlVisual(Display* d, XVisualInfo& out) {
  XVisualInfo templ = {};
  templ.screen = DefaultScreen(d);
  templ.depth = 24;
  templ.c_class = TrueColor;
  int n = 0;
  XVisualInfo* list = XGetVisualInfo(d, VisualScreenMask | VisualDepthMask | VisualClassMask, &templ, &n);
  bool found = false;
  for (int i = 0; i < n && !found; ++i) {
    int useGl = 0, doubleBuffer = 1;
    glXGetConfig(d, &list[i], GLX_USE_GL, &useGl);
    glXGetConfig(d, &list[i], GLX_DOUBLEBUFFER, &doubleBuffer);
    if (useGl && !doubleBuffer) {
      out = list[i];
      found = true;
    }
  }
  if (list) XFree(list);
  return found;
}

std::string Hex(Window w) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(w));
  return text;
}

// The daemon's part: a window handed over by id, once with a visual GL can
// use (drawn into directly) and once without (the engine covers it with a
// child). Light appears, the window's size is followed, nothing on it is
// changed, and the engine ends by SIGTERM (window kept) or when the window
// is destroyed, silently. The id wins over --root, as the settings
// program's preview adds it to the usual command line.
TEST_F(Hack, DrawsIntoAGivenWindowFollowsItAndLeavesItAlone) {
  XVisualInfo singleBuffered;
  const bool haveSingle = SingleBufferedGlVisual(display_, singleBuffered);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round == 0 ? "window of the default visual" : "window of a single-buffered visual");
    if (round == 1 && !haveSingle) {
      ADD_FAILURE() << "no single-buffered GL visual on this display";
      break;
    }
    const int x = 100, y = 80;
    Window w = MakeWindow(x, y, 320, 240, round == 1 ? &singleBuffered : nullptr);
    const std::vector<std::string> properties = PropertyNames(w);
    const Window focus = Focus();
    if (round == 0) {
      Start({"--root", "--window-id", Hex(w)});
    } else {
      Start({"-window-id", std::to_string(w), "-root"});
    }
    Light light = WaitForLight(x, y, 320, 240, 150, 8.0);
    EXPECT_GE(light.lit, 150);
    EXPECT_EQ(light.coloured, 0) << "white light on black only";

    // Taller than wide now: the picture follows, still light on black.
    XResizeWindow(display_, w, 240, 360);
    XSync(display_, False);
    usleep(800000);
    light = WaitForLight(x, y, 240, 360, 150, 5.0);
    EXPECT_GE(light.lit, 150);
    EXPECT_EQ(light.coloured, 0);
    Window r, parent, *children = nullptr;
    unsigned n = 0;
    XQueryTree(display_, w, &r, &parent, &children, &n);
    EXPECT_EQ(n, round == 0 ? 0u : 1u) << "a child only where the window's visual cannot take GL";
    if (n == 1) {
      XWindowAttributes ca;
      XGetWindowAttributes(display_, children[0], &ca);
      EXPECT_EQ(ca.width, 240);
      EXPECT_EQ(ca.height, 360);
    }
    if (children) XFree(children);

    EXPECT_EQ(PropertyNames(w), properties) << "the engine wrote on a window that is not its own";
    EXPECT_EQ(Text(w, "WM_NAME"), "stand-in");
    EXPECT_EQ(Focus(), focus);
    ASSERT_TRUE(Running());
    if (round == 0) {
      kill(pid_, SIGTERM);
      EXPECT_EQ(WaitExit(2.0), 128 + SIGTERM) << "ended by the signal, as the daemon expects";
      XWindowAttributes wa;
      ASSERT_TRUE(XGetWindowAttributes(display_, w, &wa)) << "the engine destroyed the window it was given";
      EXPECT_EQ(wa.map_state, IsViewable);
    } else {
      XDestroyWindow(display_, w);
      Forget(w);
      XFlush(display_);
      EXPECT_EQ(WaitExit(2.0), 0) << "still running after its window was destroyed";
    }
    EXPECT_EQ(Output(), "") << "no messages in normal operation";
  }
}

// How the daemon hands its window over (XSCREENSAVER_WINDOW, here with no
// option at all), then --root's own search: a virtual root, else the root.
TEST_F(Hack, RootModeFindsTheDaemonWindowTheVirtualRootOrTheRoot) {
  Window daemonWindow = MakeWindow(40, 40, 300, 200);
  Start({}, {"XSCREENSAVER_WINDOW=" + std::to_string(daemonWindow)});
  EXPECT_GE(WaitForLight(40, 40, 300, 200, 150, 8.0).lit, 150);
  EXPECT_TRUE(FindEngineWindow(0.1) == 0) << "a hack opens no window of its own";
  kill(pid_, SIGINT);
  EXPECT_EQ(WaitExit(2.0), 128 + SIGINT);

  Window vroot = MakeWindow(600, 400, 300, 200);
  const long self = static_cast<long>(vroot);
  XChangeProperty(display_, vroot, XInternAtom(display_, "__SWM_VROOT", False), XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&self), 1);
  XSync(display_, False);
  Start({"--root"});
  EXPECT_GE(WaitForLight(600, 400, 300, 200, 150, 8.0).lit, 150);
  XDestroyWindow(display_, vroot);
  Forget(vroot);
  XFlush(display_);
  EXPECT_EQ(WaitExit(2.0), 0);

  XSetWindowBackground(display_, root_, 0);  // a lit root background would pass for puffs
  XClearWindow(display_, root_);
  XDestroyWindow(display_, daemonWindow);
  Forget(daemonWindow);
  XSync(display_, False);
  const int w = DisplayWidth(display_, DefaultScreen(display_));
  const int h = DisplayHeight(display_, DefaultScreen(display_));
  // Light left on the root by earlier hacks (or tests sharing the display)
  // would pass for this hack's and let SIGTERM arrive before it is running.
  // The lower middle is looked at left of where the virtual root was: on a
  // loaded machine its last picture has been seen to stay on the screen.
  const int lookWidth = 590 - w / 3;
  for (int i = 0; i < 50 && Look(w / 3, h / 2, lookWidth, h / 2).lit > 0; ++i) {
    XClearArea(display_, root_, 0, 0, 0, 0, False);
    XSync(display_, False);
    usleep(100000);
  }
  ASSERT_EQ(Look(w / 3, h / 2, lookWidth, h / 2).lit, 0) << "the root did not clear before the hack started";
  Start({"-root"});
  EXPECT_GE(WaitForLight(w / 3, h / 2, lookWidth, h / 2, 1000, 8.0).lit, 1000);
  kill(pid_, SIGTERM);
  EXPECT_EQ(WaitExit(2.0), 128 + SIGTERM);
  EXPECT_EQ(Output(), "");
  // The display is shared with later tests: the server's own root again.
  XSetWindowBackgroundPixmap(display_, root_, None);
  XClearWindow(display_, root_);
  XSync(display_, False);
}

// Vertical sync: asked for with whichever extension the driver lists, and
// not at all when it lists none (the tear variant alone is not the
// extension); drawing goes on either way.
TEST_F(Hack, AsksForASwapIntervalOfOneWhereTheDriverOffersIt) {
  struct Case {
    const char* offer;
    const char* expected;
  };
  const Case cases[] = {
      {"GLX_EXT_swap_control GLX_MESA_swap_control", "glXSwapIntervalEXT 1\n"},
      {"GLX_MESA_swap_control", "glXSwapIntervalMESA 1\n"},
      {"GLX_EXT_swap_control_tear GLX_SGI_swap_control", ""},
      {"", ""},
  };
  const std::string log = output_ + ".swap";
  Window w = MakeWindow(100, 100, 200, 150);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("offered: ") + c.offer);
    unlink(log.c_str());
    Start({"--window-id", Hex(w)}, {std::string("LD_PRELOAD=") + SORVANE_SWAP_PROBE, "SORVANE_SWAP_PROBE_LOG=" + log,
                                    std::string("SORVANE_SWAP_PROBE_OFFER=") + c.offer});
    XClearWindow(display_, w);
    XSync(display_, False);
    EXPECT_GE(WaitForLight(100, 100, 200, 150, 80, 8.0).lit, 80);
    kill(pid_, SIGTERM);
    EXPECT_EQ(WaitExit(2.0), 128 + SIGTERM);
    std::ifstream in(log);
    std::stringstream calls;
    calls << in.rdbuf();
    EXPECT_EQ(calls.str(), c.expected);
  }
  unlink(log.c_str());
}

// The command line: usage, and clear refusals of what it cannot use.
TEST_F(Hack, CommandLineHelpAndRefusals) {
  Start({"--help"});
  EXPECT_EQ(WaitExit(5.0), 0);
  EXPECT_NE(Output().find("--window-id"), std::string::npos);
  EXPECT_NE(Output().find("--root"), std::string::npos);

  Window gone = MakeWindow(0, 0, 10, 10);
  XDestroyWindow(display_, gone);
  Forget(gone);
  XSync(display_, False);
  const std::string goneId = Hex(gone).substr(2);
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> env;
    const char* mentions;
  } refusals[] = {
      {{"--fullscreen"}, {}, "--fullscreen"},
      {{"--window-id", "12abc"}, {}, "12abc"},
      {{"--window-id"}, {}, "window id"},
      {{"--window-id", Hex(gone)}, {}, goneId.c_str()},
      {{"--root"}, {"XSCREENSAVER_WINDOW=0xzz"}, "XSCREENSAVER_WINDOW"},
  };
  for (const auto& r : refusals) {
    SCOPED_TRACE(r.args[0] + (r.args.size() > 1 ? " " + r.args[1] : std::string()));
    Start(r.args, r.env);
    const int code = WaitExit(5.0);
    EXPECT_GT(code, 0);
    EXPECT_LT(code, 128) << "a clean exit, not a crash";
    EXPECT_NE(Output().find(r.mentions), std::string::npos) << Output();
  }
}

// --- Music through a real sound output ---

// A WAV of 16-bit stereo samples that never repeat within the file, so that
// seeing its start again in the output means it was played again.
std::string WriteTone(const std::string& path, int frames) {
  std::string pcm;
  for (int i = 0; i < frames; ++i) {
    const int16_t v = static_cast<int16_t>(1000 + (i * 7) % 20000);
    for (int channel = 0; channel < 2; ++channel) pcm.append(reinterpret_cast<const char*>(&v), 2);
  }
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
  std::ofstream(path, std::ios::binary) << "RIFF" << u32(36 + static_cast<uint32_t>(pcm.size())) << "WAVEfmt "
                                        << u32(16) << u16(1) << u16(2) << u32(44100) << u32(44100 * 4) << u16(4)
                                        << u16(16) << "data" << u32(static_cast<uint32_t>(pcm.size())) << pcm;
  return pcm;
}

size_t Count(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

// ALSA's default device is a file plugin writing into a pipe that the test
// reads (HOME holds the .asoundrc), so the player goes as fast as it is
// read. The file's sound comes out, comes again after its end, and stops the
// moment the hack is told to end; the animation goes on meanwhile. Without a
// device, or with a file that cannot be played: one line, and the picture.
TEST_F(Hack, PlaysTheMusicFileOverAndOverAndStopsWithTheHack) {
  char dir[] = "/tmp/sorvane-music-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string home = dir, tone = home + "/tone.wav", pipe = home + "/out.raw";
  const std::string pcm = WriteTone(tone, 11025);  // a quarter of a second
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::ofstream(home + "/.asoundrc") << "pcm.!default { type file; slave.pcm \"null\"; file \"" << pipe
                                     << "\"; format \"raw\" }\n";
  const int fd = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  Window w = MakeWindow(100, 100, 320, 240);
  Start({"--window-id", Hex(w), "--music", tone}, {"HOME=" + home, "PULSE_SERVER=unix:/nonexistent"});

  // Read at the pace of a sound card (20 ms of sound every 20 ms): an
  // output read faster than that would fill the pauses around each new
  // start with seconds of silence.
  std::string heard;
  char buffer[65536];
  const std::string start = pcm.substr(0, 4096);
  for (double end = Now() + 10; Count(heard, start) < 4 && Now() < end; usleep(20000)) {
    const ssize_t n = read(fd, buffer, 44100 * 4 / 50);
    if (n > 0) heard.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_GE(Count(heard, start), 4u) << heard.size() << " bytes heard: the file did not play, or not again";
  EXPECT_GE(WaitForLight(100, 100, 320, 240, 150, 8.0).lit, 150) << "no picture while the music plays";

  // The sound ends (every writer has closed the pipe) when the hack does.
  ASSERT_TRUE(Running());
  kill(pid_, SIGTERM);
  const double told = Now();
  bool closed = false;
  while (!closed && Now() - told < 5) {
    pollfd pfd = {fd, POLLIN, 0};
    poll(&pfd, 1, 100);
    closed = read(fd, buffer, sizeof buffer) == 0;
  }
  EXPECT_TRUE(closed);
  EXPECT_LT(Now() - told, 1.0) << "the music outlived the hack";
  EXPECT_NE(WaitExit(2.0), -1);
  EXPECT_EQ(Output(), "") << "no messages while it plays";
  close(fd);

  const std::string garbage = home + "/garbage.mp3";
  std::ofstream(garbage) << "not a sound at all\n";
  const struct {
    std::string asoundrc, file, mentions;
  } silent[] = {
      {"pcm.!default { type hw; card 99 }\n", tone, "no audio device"},
      {"", garbage, garbage},
      {"", home + "/missing.ogg", "missing.ogg"},
  };
  for (const auto& c : silent) {
    SCOPED_TRACE(c.file + " " + c.asoundrc);
    std::ofstream(home + "/.asoundrc") << c.asoundrc;
    XClearWindow(display_, w);
    XSync(display_, False);
    Start({"--window-id", Hex(w), "--music", c.file}, {"HOME=" + home, "PULSE_SERVER=unix:/nonexistent"});
    EXPECT_GE(WaitForLight(100, 100, 320, 240, 150, 8.0).lit, 150);
    for (double end = Now() + 5; Output().empty() && Now() < end;) usleep(50000);
    const std::string said = Output();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("no music"), std::string::npos) << said;
    EXPECT_NE(said.find(c.mentions), std::string::npos) << said;
    EXPECT_TRUE(Running()) << "the animation ended with the music";
    kill(pid_, SIGTERM);
    EXPECT_NE(WaitExit(2.0), -1);
  }
  std::system(("rm -rf " + home).c_str());
}

// Window ids: every id in X's 29-bit range reads back from its decimal and
// hex spellings; anything else is refused rather than cut or wrapped.
TEST(WindowId, ReadsEveryValidSpellingAndNothingElse) {
  using sorvane::engine::x11::ParseWindowId;
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t id = 1 + static_cast<uint32_t>(random() % 0x1FFFFFFF);
    char dec[32], hex[32], upper[32];
    std::snprintf(dec, sizeof dec, "%u", id);
    std::snprintf(hex, sizeof hex, "0x%x", id);
    std::snprintf(upper, sizeof upper, "0X%X", id);
    for (const char* text : {dec, hex, upper}) {
      uint32_t got = 0;
      ASSERT_TRUE(ParseWindowId(text, got)) << text;
      ASSERT_EQ(got, id) << text;
      for (const std::string& bad : {std::string(text) + "g", std::string(text) + " ", " " + std::string(text),
                                     "-" + std::string(text), "+" + std::string(text)}) {
        ASSERT_FALSE(ParseWindowId(bad.c_str(), got)) << bad;
      }
    }
    const uint64_t big = 0x20000000u + random() % (UINT64_MAX - 0x20000000u);
    std::snprintf(dec, sizeof dec, "%llu", static_cast<unsigned long long>(big));
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(big));
    uint32_t got = 0;
    ASSERT_FALSE(ParseWindowId(dec, got)) << dec;
    ASSERT_FALSE(ParseWindowId(hex, got)) << hex;
  }
  uint32_t got = 0;
  for (const char* bad : {"", "0", "0x", "0x0", "x10", "1e3", "99999999999999999999999"}) {
    EXPECT_FALSE(ParseWindowId(bad, got)) << bad;
  }
  EXPECT_FALSE(ParseWindowId(nullptr, got));
}

// --- Standalone on two monitors (an X.Org server of its own; root only) ---

struct Box {
  int x, y, w, h;
};

// What the two-monitor screen shows: red (the root) left in the monitors,
// light in the lower middle of the primary, anything drawn on the other.
struct TwoMonitorLook {
  long red = 0, lit = 0, otherDrawn = 0;
};
TwoMonitorLook LookAt(Display* d, const Box& primary, const Box& other) {
  TwoMonitorLook look;
  for (const Box* b : {&primary, &other}) {
    if (b->w == 0) continue;  // no such monitor now
    XImage* image = XGetImage(d, DefaultRootWindow(d), b->x, b->y, b->w, b->h, AllPlanes, ZPixmap);
    if (!image) {
      look.red = -1;
      return look;
    }
    for (int y = 0; y < b->h; ++y) {
      for (int x = 0; x < b->w; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        const int r = (p >> 16) & 255, g = (p >> 8) & 255;
        look.red += r > 200 && g < 50;
        if (b == &other) look.otherDrawn += p != 0;
        if (b == &primary && x > b->w / 3 && x < 2 * b->w / 3 && y > b->h / 2 && r > 60) ++look.lit;
      }
    }
    XDestroyImage(image);
  }
  return look;
}

// Started on two monitors, then the monitors change under it as a desktop's
// do: the primary moves, the second monitor goes off and comes back (a
// DisplayPort monitor waking up), the primary shrinks. After each change the
// window covers the screen as it is now, the animation fills the primary
// and the other monitor is black; the run goes on until Escape.
TEST(TwoMonitors, AnimationOnThePrimaryBlackOnTheOtherThroughMonitorChanges) {
  if (getuid() != 0) GTEST_SKIP() << "the X.Org server with two monitors needs root";
  const std::string script = SORVANE_TWO_MONITORS;
  const char* name = ":36";
  ASSERT_EQ(std::system((script + " start " + name + " >/dev/null").c_str()), 0);
  struct Server {
    std::string stop;
    ~Server() { std::system(stop.c_str()); }
  } server{script + " stop " + name};
  const auto xrandr = [&](const std::string& args) {
    return std::system((std::string("DISPLAY=") + name + " xrandr " + args).c_str());
  };
  // The primary on the right, so that "primary" cannot pass for "first".
  ASSERT_EQ(xrandr("--output DUMMY1 --primary"), 0);
  ASSERT_EQ(std::system((std::string("DISPLAY=") + name + " xsetroot -solid red").c_str()), 0);

  Display* d = XOpenDisplay(name);
  ASSERT_NE(d, nullptr);
  const Window root = DefaultRootWindow(d);
  ASSERT_EQ(DisplayWidth(d, DefaultScreen(d)), 2048);
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("DISPLAY", name, 1);
    execl(SORVANE_ENGINE_PATH, SORVANE_ENGINE_PATH, static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(pid, 0);

  const auto engineWindow = [&]() -> Window {
    Window r, parent, *children = nullptr, found = 0;
    unsigned n = 0;
    if (XQueryTree(d, root, &r, &parent, &children, &n)) {
      for (unsigned i = 0; i < n && !found; ++i) {
        char* title = nullptr;
        if (XFetchName(d, children[i], &title) && title) {
          if (std::strcmp(title, "SorvaneVC") == 0) found = children[i];
          XFree(title);
        }
      }
      if (children) XFree(children);
    }
    return found;
  };
  // Polls until the picture is right (or 10 s have passed), then checks it,
  // the window against the screen's size, and that the run goes on.
  const auto expectLayout = [&](const char* what, const Box& primary, const Box& other, int screenWidth) {
    SCOPED_TRACE(what);
    TwoMonitorLook look;
    const double end = Now() + 10.0;
    do {
      usleep(300000);
      look = LookAt(d, primary, other);
    } while (!(look.red == 0 && look.lit > 1500 && look.otherDrawn == 0) && Now() < end);
    EXPECT_EQ(look.red, 0) << "a monitor shows the desktop";
    EXPECT_GT(look.lit, 1500) << "no light rising on the primary";
    EXPECT_EQ(look.otherDrawn, 0) << "the other monitor is not black";
    XWindowAttributes wa = {};
    EXPECT_TRUE(XGetWindowAttributes(d, engineWindow(), &wa));
    EXPECT_EQ(wa.x, 0);
    EXPECT_EQ(wa.width, screenWidth);
    EXPECT_EQ(wa.height, 768);
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the engine ended";
    // A picture to look at (ImageMagick's import, where it is installed).
    const std::string shot = std::string("/tmp/sorvane-engine-two-monitors-") + what[0] + ".png";
    std::system((std::string("import -display ") + name + " -window root " + shot + " 2>/dev/null").c_str());
  };

  const Box left{0, 0, 1024, 768}, right{1024, 0, 1024, 768};
  expectLayout("1 at start, primary on the right", right, left, 2048);
  ASSERT_EQ(xrandr("--output DUMMY0 --primary"), 0);
  expectLayout("2 the primary moved to the left", left, right, 2048);
  ASSERT_EQ(xrandr("--output DUMMY1 --off"), 0);
  expectLayout("3 the second monitor off", left, Box{0, 0, 0, 0}, 1024);
  ASSERT_EQ(xrandr("--output DUMMY1 --mode 1024x768 --right-of DUMMY0"), 0);
  expectLayout("4 the second monitor back", left, right, 2048);
  ASSERT_EQ(xrandr("--output DUMMY0 --mode 800x600"), 0);
  expectLayout("5 the primary at 800x600", Box{0, 0, 800, 600}, right, 2048);

  EXPECT_EQ(std::system((std::string("DISPLAY=") + name + " xdotool key Escape").c_str()), 0);
  int status = -1;
  for (int i = 0; i < 200 && waitpid(pid, &status, WNOHANG) != pid; ++i) usleep(20000);
  if (!WIFEXITED(status)) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    ADD_FAILURE() << "Escape did not end it within 4 s";
  } else {
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  XCloseDisplay(d);
}

}  // namespace

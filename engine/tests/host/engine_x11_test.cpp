// sorvane-engine on a real X server, driven from outside the way a user and
// a desktop would: find its window, look at it, take the focus away, press
// Escape, ask it to close, photograph the screen.
// GoogleTest before Xlib: Xlib's macros (None, Bool) clash with it.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/Xfixes.h>
// clang-format on
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    // A server without -noreset resets when its last client leaves and
    // refuses connections meanwhile: try again for a while.
    for (int i = 0; i < 100 && !display_; ++i) {
      display_ = XOpenDisplay(nullptr);
      if (!display_) usleep(50000);
    }
    ASSERT_NE(display_, nullptr) << "no X display";
    root_ = DefaultRootWindow(display_);
    pid_ = fork();
    if (pid_ == 0) {
      execl(SORVANE_ENGINE_PATH, SORVANE_ENGINE_PATH, static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(pid_, 0);
    window_ = FindEngineWindow(10.0);
    ASSERT_NE(window_, 0u) << "no SorvaneVC window appeared";
  }
  void TearDown() override {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (display_) XCloseDisplay(display_);
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
  bool Running() { return waitpid(pid_, nullptr, WNOHANG) == 0; }

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

  Display* display_ = nullptr;
  Window root_ = 0;
  Window window_ = 0;
  pid_t pid_ = -1;
};

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

TEST_F(Engine, ClosesWhenAnotherWindowTakesTheFocus) {
  usleep(300000);
  Window other = XCreateSimpleWindow(display_, root_, 10, 10, 200, 100, 0, 0, 0);
  XSelectInput(display_, other, StructureNotifyMask);
  XMapRaised(display_, other);
  XEvent ev;
  do XNextEvent(display_, &ev);
  while (ev.type != MapNotify);
  XSetInputFocus(display_, other, RevertToParent, CurrentTime);
  XFlush(display_);
  EXPECT_EQ(WaitExit(2.0), 0);
  XDestroyWindow(display_, other);
}

TEST_F(Engine, EscapeLetsThePuffsFadeThenCloses) {
  usleep(800000);  // a full stream of puffs
  SendKey(XK_Escape);
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

}  // namespace

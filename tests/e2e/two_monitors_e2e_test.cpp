// The saver on a desktop of two monitors, as the system runs it: the animation
// on the primary monitor, the other one black over whatever it showed, and a
// run that ends (Escape, or a click on the black monitor) taking every engine
// window with it and ending the saver as on one monitor.
// tools/two-monitors-e2e.sh runs this program on an X server with two
// monitors side by side and the root painted red.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "e2e_common.h"

namespace sorvane::e2e {
namespace {

constexpr char kCoverTitle[] = "SorvaneCover";
constexpr uint32_t kRed = 0xFF0000;

long Count(const Capture& c, uint32_t pixel) {
  long n = 0;
  for (uint32_t p : c.pixels) n += p == pixel;
  return n;
}

// Pixels that are not a grey (white light on black is grey throughout).
long Coloured(const Capture& c) {
  long n = 0;
  for (uint32_t p : c.pixels) n += ((p >> 16) & 255) != (p & 255) || ((p >> 8) & 255) != (p & 255);
  return n;
}

// Lit pixels in the lower middle third of a capture: where the puffs rise.
long LitLowerMiddle(const Capture& c) {
  long n = 0;
  for (int y = c.height / 2; y < c.height; ++y) {
    for (int x = c.width / 3; x < 2 * c.width / 3; ++x) n += ((c.At(x, y) >> 16) & 255) > 60;
  }
  return n;
}

// Runs xrandr (a Unix program: Wine starts it as one) on the test's display;
// whether it did its work shows in what follows.
bool Xrandr(const std::string& args) {
  std::string command = "Z:\\usr\\bin\\xrandr " + args;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA("Z:\\usr\\bin\\xrandr", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    std::printf("xrandr %s: error %lu\n", args.c_str(), GetLastError());
    return false;
  }
  // Wine's handle of a Unix process cannot be waited for: give it a moment.
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) Sleep(1500);
  if (pi.hThread) CloseHandle(pi.hThread);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  return true;
}

bool CursorHidden() {
  CURSORINFO ci = {};
  ci.cbSize = sizeof ci;
  return GetCursorInfo(&ci) && ci.hCursor == nullptr;
}

class TwoMonitors : public ScrCase {
 protected:
  void SetUp() override {
    ScrCase::SetUp();
    KillOwnersOf({kCoverTitle});
    const std::vector<RECT> monitors = MonitorRects();
    ASSERT_EQ(monitors.size(), 2u) << "needs a desktop of two monitors (tools/two-monitors-e2e.sh)";
    primary_ = monitors[0];
    second_ = monitors[1];
    ASSERT_EQ(primary_.right - primary_.left, GetSystemMetrics(SM_CXSCREEN));
    // What the second monitor shows before the saver: the red desktop (once
    // the windows of an earlier case have gone). A black cover over it can
    // then only come from the engine.
    ASSERT_TRUE(SecondShowsTheDesktop(5000)) << "the second monitor does not show the red root";
  }
  void TearDown() override {
    SetEnvironmentVariableA("SORVANE_CURSOR_TRACE", nullptr);
    KillOwnersOf({kCoverTitle});
    ScrCase::TearDown();
  }

  // Starts the saver with /s and waits for the engine and its cover.
  void StartSaver(CaseFolder& folder, Process& scr) {
    Install(folder);
    SetEnvironmentVariableA("SORVANE_CURSOR_TRACE", folder.File("cursor.txt").c_str());
    scr = StartScr(folder, "/s");
    ASSERT_TRUE(scr.started());
    engine_ = WaitForWindow(kEngineTitle, kStartTimeoutMs);
    ASSERT_NE(engine_, nullptr) << "the engine window never appeared";
    ASSERT_NE(WaitForWindow(kCoverTitle, 5000), nullptr) << "the second monitor got no cover";
    PumpFor(1500);  // let the puffs rise
    ASSERT_TRUE(scr.Running()) << "the run ended at start-up (did a cover take activation?)";
    ASSERT_EQ(FindWindowA(nullptr, kEngineTitle), engine_) << "the engine window closed at start-up";
  }

  // After the engine window has gone: its covers are gone with it, the saver
  // ends right after (as on one monitor) with the cursor given back, and the
  // second monitor shows the desktop again.
  void ExpectEverythingEnded(const Process& scr, const CaseFolder& folder, DWORD window_timeout_ms) {
    ASSERT_TRUE(WaitWindowGone(kEngineTitle, window_timeout_ms)) << "the engine window did not close";
    const double gone = NowMs();
    DWORD code = 1;
    ASSERT_TRUE(scr.WaitExit(5000, &code)) << "the saver did not end";
    const double exit_ms = NowMs() - gone;
    std::printf("saver exit %.1f ms after the engine window went\n", exit_ms);
    EXPECT_LT(exit_ms, 250.0);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ReadFileBytes(folder.File("cursor.txt")), "hide -1\nshow 0\n");
    EXPECT_TRUE(WaitWindowGone(kCoverTitle, 5000)) << "a cover outlived the engine window";
    EXPECT_TRUE(SecondShowsTheDesktop(5000)) << "the second monitor did not get the desktop back";
  }

  bool SecondShowsTheDesktop(DWORD timeout_ms) {
    const double end = NowMs() + timeout_ms;
    for (;;) {
      const Capture c = CaptureScreen(second_);
      if (Count(c, kRed) == static_cast<long>(c.pixels.size())) return true;
      if (NowMs() >= end) return false;
      PumpFor(50);
    }
  }

  RECT primary_ = {};
  RECT second_ = {};
  HWND engine_ = nullptr;
};

TEST_F(TwoMonitors, AnimationOnThePrimaryBlackOnTheOtherEscapeEndsAll) {
  CaseFolder folder("two-escape");
  Process scr;
  StartSaver(folder, scr);
  if (HasFatalFailure()) return;

  // The engine window is still the active one, alone with its title; the
  // cover lies exactly over the second monitor, topmost.
  EXPECT_EQ(GetForegroundWindow(), engine_);
  EXPECT_EQ(WindowsTitled(kEngineTitle).size(), 1u);
  const std::vector<HWND> covers = WindowsTitled(kCoverTitle);
  ASSERT_EQ(covers.size(), 1u);
  RECT r;
  GetWindowRect(covers[0], &r);
  EXPECT_TRUE(EqualRect(&r, &second_));
  EXPECT_TRUE(GetWindowLongA(covers[0], GWL_EXSTYLE) & WS_EX_TOPMOST);
  DWORD engine_pid = 0, cover_pid = 0;
  GetWindowThreadProcessId(engine_, &engine_pid);
  GetWindowThreadProcessId(covers[0], &cover_pid);
  EXPECT_EQ(cover_pid, engine_pid);

  const Capture whole = CaptureScreen(RECT{primary_.left, primary_.top, second_.right, second_.bottom});
  whole.SaveBmp(BinFolder() + "\\..\\two-monitors.bmp");
  const Capture first = CaptureScreen(primary_);
  const Capture second = CaptureScreen(second_);
  EXPECT_EQ(Count(second, 0), static_cast<long>(second.pixels.size())) << "the second monitor is not all black";
  EXPECT_EQ(Coloured(first), 0) << "the animation does not cover the primary monitor";
  EXPECT_GT(LitLowerMiddle(first), 2000) << "no light rising on the primary monitor";

  // No cursor over the black monitor either.
  SetCursorPos((second_.left + second_.right) / 2, (second_.top + second_.bottom) / 2);
  PumpFor(100);
  SetCursorPos((second_.left + second_.right) / 2 + 20, (second_.top + second_.bottom) / 2 + 10);
  PumpFor(300);
  EXPECT_TRUE(CursorHidden());
  ASSERT_TRUE(scr.Running()) << "moving the pointer over the cover ended the run";

  SetForegroundWindow(engine_);
  PumpFor(100);
  ASSERT_TRUE(PressKey(VK_ESCAPE));
  ExpectEverythingEnded(scr, folder, 60000);
}

TEST_F(TwoMonitors, AClickOnTheBlackMonitorEndsAll) {
  CaseFolder folder("two-click");
  Process scr;
  StartSaver(folder, scr);
  if (HasFatalFailure()) return;
  const double clicked = NowMs();
  ASSERT_TRUE(ClickAt((second_.left + second_.right) / 2, (second_.top + second_.bottom) / 2));
  double hidden = -1;
  while (FindWindowA(nullptr, kEngineTitle) != nullptr && NowMs() - clicked < 10000) {
    if (hidden < 0 && !IsWindowVisible(engine_)) hidden = NowMs() - clicked;
    PumpFor(1);
  }
  ASSERT_EQ(FindWindowA(nullptr, kEngineTitle), nullptr) << "the click did not end the engine";
  std::printf("engine window hidden %.1f ms and gone %.1f ms after the click\n", hidden, NowMs() - clicked);
  ExpectEverythingEnded(scr, folder, 0);
}

// The monitors change under a run as a desktop's do: the second one goes
// off and comes back (a DisplayPort monitor waking up), the primary shrinks.
// Each time the engine window takes the primary's rectangle, a monitor that
// came is black within a second or two, a cover goes with its monitor, none
// lies over the primary, and the run goes on to end as usual.
TEST_F(TwoMonitors, MonitorsThatComeGoAndChangeSizeAreFollowed) {
  CaseFolder folder("two-changes");
  Process scr;
  StartSaver(folder, scr);
  if (HasFatalFailure()) return;
  struct Restore {
    ~Restore() { Xrandr("--output DUMMY0 --mode 1024x768 --output DUMMY1 --mode 1024x768 --right-of DUMMY0"); }
  } restore;

  // Polls until the engine window and its covers match `primary` and
  // `covered`, then looks at the screen.
  const auto expectLayout = [&](const char* what, const RECT& primary, const std::vector<RECT>& covered) {
    SCOPED_TRACE(what);
    const double end = NowMs() + 10000;
    bool matched = false;
    double took = 0;
    while (!matched && NowMs() < end) {
      PumpFor(100);
      RECT r = {};
      GetWindowRect(engine_, &r);
      const std::vector<HWND> covers = WindowsTitled(kCoverTitle);
      matched = EqualRect(&r, &primary) && covers.size() == covered.size();
      for (size_t i = 0; matched && i < covers.size(); ++i) {
        RECT c;
        GetWindowRect(covers[i], &c);
        bool known = false;
        for (const RECT& want : covered) known = known || EqualRect(&c, &want);
        RECT overlap;
        matched = known && IsWindowVisible(covers[i]) && !IntersectRect(&overlap, &c, &primary);
      }
      took = NowMs() - (end - 10000);
    }
    std::printf("%s: windows laid out after %.0f ms\n", what, took);
    ASSERT_TRUE(matched) << "the engine window or its covers did not follow";
    PumpFor(1000);  // the puffs rise into the new shape
    const Capture first = CaptureScreen(primary);
    EXPECT_EQ(Coloured(first), 0) << "the animation does not cover the primary monitor";
    EXPECT_GT(LitLowerMiddle(first), 1000) << "no light rising on the primary monitor";
    for (const RECT& c : covered) {
      const Capture other = CaptureScreen(c);
      EXPECT_EQ(Count(other, 0), static_cast<long>(other.pixels.size())) << "a monitor is not all black";
    }
    ASSERT_TRUE(scr.Running()) << "the run ended";
    ASSERT_EQ(FindWindowA(nullptr, kEngineTitle), engine_) << "the engine window was made again";
  };

  ASSERT_TRUE(Xrandr("--output DUMMY1 --off"));
  expectLayout("second monitor off", primary_, {});
  ASSERT_TRUE(Xrandr("--output DUMMY1 --mode 1024x768 --right-of DUMMY0"));
  expectLayout("second monitor back", primary_, {second_});
  const Capture whole = CaptureScreen(RECT{primary_.left, primary_.top, second_.right, second_.bottom});
  whole.SaveBmp(BinFolder() + "\\..\\two-monitors-back.bmp");
  ASSERT_TRUE(Xrandr("--output DUMMY0 --mode 800x600"));
  const std::vector<RECT> monitors = MonitorRects();
  ASSERT_EQ(monitors.size(), 2u);
  expectLayout("primary at 800x600", RECT{0, 0, 800, 600}, {monitors[1]});
  const Capture shrunk = CaptureScreen(RECT{0, 0, monitors[1].right, 768});
  shrunk.SaveBmp(BinFolder() + "\\..\\two-monitors-800x600.bmp");

  SetForegroundWindow(engine_);
  PumpFor(100);
  ASSERT_TRUE(PressKey(VK_ESCAPE));
  ASSERT_TRUE(WaitWindowGone(kEngineTitle, 60000)) << "the engine window did not close";
  DWORD code = 1;
  ASSERT_TRUE(scr.WaitExit(5000, &code)) << "the saver did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitWindowGone(kCoverTitle, 5000)) << "a cover outlived the engine window";
}

}  // namespace
}  // namespace sorvane::e2e

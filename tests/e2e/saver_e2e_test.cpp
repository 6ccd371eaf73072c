// The saver run, start-up refusals and the missing-engine message, with the
// real engine (and, for start-up timing, a late stand-in), as the system runs them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "e2e_common.h"

namespace sorvane::e2e {
namespace {

// "Sorvane.dll が Sorvane.scr と同じﾌｫﾙﾀﾞに見つかりません！" in code page 932.
const char kMissingEngineText[] =
    "Sorvane.dll \x82\xAA Sorvane.scr \x82\xC6\x93\xAF\x82\xB6\xCC\xAB\xD9\xC0\xDE\x82\xC9"
    "\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x49";

// Time from the engine window's disappearance to the saver's exit.
double MsFromWindowGoneToExit(const Process& scr, DWORD window_timeout_ms) {
  if (!WaitWindowGone(kEngineTitle, window_timeout_ms)) return -1;
  const double gone = NowMs();
  if (!scr.WaitExit(5000)) return -1;
  return NowMs() - gone;
}

void UseCursorTrace(const CaseFolder& folder) {
  SetEnvironmentVariableA("SORVANE_CURSOR_TRACE", folder.File("cursor.txt").c_str());
}

class SaverRun : public ScrCase {
 protected:
  void TearDown() override {
    SetEnvironmentVariableA("SORVANE_CURSOR_TRACE", nullptr);
    ScrCase::TearDown();
  }
};

TEST_F(SaverRun, EscapeFadesTheEngineOutAndTheSaverEndsRightAfterItsWindow) {
  CaseFolder folder("escape");
  Install(folder);
  UseCursorTrace(folder);
  Process scr = StartScr(folder, "/s");
  ASSERT_TRUE(scr.started());
  HWND engine = WaitForWindow(kEngineTitle, kStartTimeoutMs);
  ASSERT_NE(engine, nullptr) << "the engine window never appeared";
  EXPECT_NE(FindWindowA(nullptr, kSaverMarker), nullptr);
  PumpFor(1500);  // let the puffs rise
  ASSERT_TRUE(scr.Running()) << "the saver ended while the engine window was up";

  SetForegroundWindow(engine);
  PumpFor(100);
  ASSERT_TRUE(PressKey(VK_ESCAPE));
  const double ms = MsFromWindowGoneToExit(scr, 60000);
  ASSERT_GE(ms, 0) << "the engine did not close after Escape, or the saver did not end";
  std::printf("escape: saver exit %.1f ms after the engine window went\n", ms);
  RecordProperty("exit_after_window_ms", static_cast<int>(ms));
  EXPECT_LT(ms, 250.0);

  DWORD code = 1;
  scr.WaitExit(0, &code);
  EXPECT_EQ(code, 0u);
  // Hidden once at the start, shown once at the end: the counter is back where it was.
  EXPECT_EQ(ReadFileBytes(folder.File("cursor.txt")), "hide -1\nshow 0\n");
}

TEST_F(SaverRun, CloseMessageToTheEngineEndsTheRun) {
  CaseFolder folder("close");
  Install(folder);
  UseCursorTrace(folder);
  Process scr = StartScr(folder, "/S");
  ASSERT_TRUE(scr.started());
  HWND engine = WaitForWindow(kEngineTitle, kStartTimeoutMs);
  ASSERT_NE(engine, nullptr);
  PumpFor(500);
  ASSERT_TRUE(scr.Running());
  PostMessageA(engine, WM_CLOSE, 0, 0);
  const double ms = MsFromWindowGoneToExit(scr, 10000);
  ASSERT_GE(ms, 0);
  std::printf("WM_CLOSE: saver exit %.1f ms after the engine window went\n", ms);
  EXPECT_LT(ms, 250.0);
  EXPECT_EQ(ReadFileBytes(folder.File("cursor.txt")), "hide -1\nshow 0\n");
}

TEST_F(SaverRun, EmptyCommandLineRunsTheSaverAndLeavesTheCursorAlone) {
  CaseFolder folder("empty");
  Install(folder);
  UseCursorTrace(folder);
  Process scr = StartScr(folder, "");
  HWND engine = WaitForWindow(kEngineTitle, kStartTimeoutMs);
  ASSERT_NE(engine, nullptr);
  PostMessageA(engine, WM_CLOSE, 0, 0);
  ASSERT_GE(MsFromWindowGoneToExit(scr, 10000), 0);
  EXPECT_FALSE(FileExistsAt(folder.File("cursor.txt"))) << ReadFileBytes(folder.File("cursor.txt"));
}

TEST_F(SaverRun, ClosingTheHiddenFormEndsTheRunAsTheWatchWould) {
  CaseFolder folder("closeform");
  Install(folder);
  UseCursorTrace(folder);
  Process scr = StartScr(folder, "/s");
  ASSERT_NE(WaitForWindow(kEngineTitle, kStartTimeoutMs), nullptr);
  HWND form = FindWindowA(nullptr, kSaverMarker);
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(IsWindowVisible(form));
  PostMessageA(form, WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(scr.WaitExit(5000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ReadFileBytes(folder.File("cursor.txt")), "hide -1\nshow 0\n");
  // The engine is not the saver's to close: it goes on by its own rules.
  HWND engine = FindWindowA(nullptr, kEngineTitle);
  EXPECT_NE(engine, nullptr);
  PostMessageA(engine, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitWindowGone(kEngineTitle, 10000));
  PumpFor(200);  // let it release its file before the folder goes
}

TEST_F(SaverRun, ASecondCopyEndsAtOnceWhileTheFirstRuns) {
  CaseFolder folder("second");
  Install(folder);
  Process first = StartScr(folder, "/s");
  HWND engine = WaitForWindow(kEngineTitle, kStartTimeoutMs);
  ASSERT_NE(engine, nullptr);

  for (const char* line : {"/s", "/c", "", "/p 0"}) {
    Process second = StartScr(folder, line);
    DWORD code = 1;
    ASSERT_TRUE(second.WaitExit(kStartTimeoutMs, &code)) << line;
    EXPECT_EQ(code, 0u) << line;
  }
  EXPECT_EQ(WindowsTitled(kEngineTitle).size(), 1u) << "a second engine was started";
  EXPECT_EQ(WindowsTitled(kSaverMarker).size(), 1u);
  EXPECT_TRUE(first.Running());

  PostMessageA(engine, WM_CLOSE, 0, 0);
  EXPECT_TRUE(first.WaitExit(10000));
}

TEST_F(SaverRun, TheEngineIsStartedActivatedWithoutArgumentsAndAwaitedWhileItStarts) {
  CaseFolder folder("late");
  Install(folder, true, "e2e_late_engine.exe");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MS", "3000");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_LOG", folder.File("engine.txt").c_str());
  Process scr = StartScr(folder, "/s");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MS", nullptr);
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_LOG", nullptr);

  // The engine takes 3 s to make its window; the watch must not end the run meanwhile.
  HWND engine = WaitForWindow(kEngineTitle, kStartTimeoutMs);
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(scr.Running()) << "the saver gave up before the engine window appeared";
  EXPECT_EQ(ReadFileBytes(folder.File("engine.txt")), "show=1 args=[]\n");

  PostMessageA(engine, WM_CLOSE, 0, 0);
  const double ms = MsFromWindowGoneToExit(scr, 10000);
  ASSERT_GE(ms, 0);
  EXPECT_LT(ms, 250.0);
}

TEST_F(SaverRun, AnEngineThatEndsWithoutAWindowEndsTheRunPromptly) {
  CaseFolder folder("nowindow");
  Install(folder, true, "e2e_late_engine.exe");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MS", "500");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MODE", "exit");
  const double start = NowMs();
  Process scr = StartScr(folder, "/s");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MS", nullptr);
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MODE", nullptr);
  DWORD code = 1;
  ASSERT_TRUE(scr.WaitExit(kStartTimeoutMs, &code));
  EXPECT_EQ(code, 0u);
  // Well before the 10 s bound of the wait: the engine's end is noticed.
  EXPECT_LT(NowMs() - start, 8000.0);
}

TEST_F(SaverRun, AFileThatIsNoProgramEndsTheRunAtTheFirstWatch) {
  CaseFolder folder("notaprogram");
  Install(folder, false);
  {
    FILE* f = std::fopen(folder.File("Sorvane.dll").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a program", f);
    std::fclose(f);
  }
  Process scr = StartScr(folder, "/s");
  DWORD code = 1;
  ASSERT_TRUE(scr.WaitExit(kStartTimeoutMs, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(FindWindowA(nullptr, kAppTitle), nullptr);  // the file exists: no message
}

class MissingEngine : public ScrCase, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingEngine, ShowsTheExactMessageAndEndsWhenItIsDismissed) {
  CaseFolder folder("missing");
  Install(folder, false);
  Process scr = StartScr(folder, GetParam());
  HWND box = WaitForWindow(kAppTitle, kStartTimeoutMs);
  ASSERT_NE(box, nullptr) << "no message box captioned with the application title";

  // The box is made from a template: wait until it is shown, then look at
  // the controls that are visible.
  std::string text;
  HWND ok = nullptr;
  int buttons = 0, icons = 0;
  const double end = NowMs() + 5000;
  do {
    PumpFor(20);
    text.clear();
    ok = nullptr;
    buttons = icons = 0;
    for (const ChildWindow& c : ListChildren(box)) {
      if (!IsWindowVisible(c.hwnd)) continue;
      if (_stricmp(c.class_name.c_str(), "Static") == 0) {
        if ((c.style & SS_TYPEMASK) == SS_ICON) {
          // An icon control may stay in the template with no icon in it.
          DWORD_PTR icon = 0;
          SendMessageTimeoutA(c.hwnd, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon);
          icons += icon != 0;
        } else if (!c.text.empty()) {
          text = c.text;
        }
      } else if (_stricmp(c.class_name.c_str(), "Button") == 0) {
        ++buttons;
        if (c.id == IDOK) ok = c.hwnd;
      }
    }
  } while (ok == nullptr && NowMs() < end);
  EXPECT_EQ(text, kMissingEngineText);
  EXPECT_EQ(buttons, 1);
  EXPECT_EQ(icons, 0);
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(scr.Running());

  PostMessageA(ok, BM_CLICK, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(scr.WaitExit(5000, &code));
  EXPECT_EQ(code, 0u);
  // Nothing of the mode ran: no saver form, no dialog.
  EXPECT_EQ(FindWindowA(nullptr, kSaverMarker), nullptr);
  EXPECT_EQ(FindWindowA(nullptr, kDialogMarker), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Switches, MissingEngine, ::testing::Values("/s", "/c", "/a", "x"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           const std::string s = info.param;
                           return s == "x" ? std::string("OneCharacter") : std::string(1, s[1]);
                         });

}  // namespace
}  // namespace sorvane::e2e

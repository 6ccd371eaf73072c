// Faults a saver meets, driven as the system would: the engine killed, hung or
// never showing its window, the preview host gone while the preview starts, the
// settings file held by another program. Each run must end by itself, leave no
// process behind and give the cursor back.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "e2e_common.h"

namespace sorvane::e2e {
namespace {

// Processes whose program file is named `exe` (e.g. "Sorvane.dll").
int CountProcesses(const char* exe) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 e = {};
  e.dwSize = sizeof e;
  int n = 0;
  for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e))
    if (_stricmp(e.szExeFile, exe) == 0) ++n;
  CloseHandle(snap);
  return n;
}

bool WaitNoProcess(const char* exe, DWORD timeout_ms) {
  const double end = NowMs() + timeout_ms;
  while (CountProcesses(exe) != 0) {
    if (NowMs() > end) return false;
    PumpFor(50);
  }
  return true;
}

// The cursor trace holds one hide and then one show that brings the count back.
void ExpectCursorBalanced(const CaseFolder& folder) {
  EXPECT_EQ(ReadFileBytes(folder.File("cursor.txt")), "hide -1\nshow 0\n");
}

class Faults : public ScrCase {
 protected:
  void SetUp() override {
    ScrCase::SetUp();
    for (const char* v : kVars) SetEnvironmentVariableA(v, nullptr);
  }
  void TearDown() override {
    for (const char* v : kVars) SetEnvironmentVariableA(v, nullptr);
    ScrCase::TearDown();
  }
  static constexpr const char* kVars[] = {"SORVANE_CURSOR_TRACE", "SORVANE_LATE_ENGINE_MS",
                                          "SORVANE_LATE_ENGINE_MODE"};
  Process StartTraced(const CaseFolder& folder) {
    SetEnvironmentVariableA("SORVANE_CURSOR_TRACE", folder.File("cursor.txt").c_str());
    return StartScr(folder, "/s");
  }
};

TEST_F(Faults, EngineKilledMidRunEndsTheSaverAtOnceWithTheCursorBack) {
  CaseFolder folder("fault-killed");
  Install(folder);
  Process scr = StartTraced(folder);
  HWND engine = WaitForWindow(kEngineTitle, kStartTimeoutMs);
  ASSERT_NE(engine, nullptr);
  PumpFor(700);
  DWORD pid = 0;
  GetWindowThreadProcessId(engine, &pid);
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(process, nullptr);
  ASSERT_TRUE(TerminateProcess(process, 9));
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
  ASSERT_TRUE(WaitWindowGone(kEngineTitle, 5000));
  const double gone = NowMs();
  ASSERT_TRUE(scr.WaitExit(5000)) << "the saver outlived its killed engine";
  const double ms = NowMs() - gone;
  std::printf("killed engine: saver exit %.1f ms after the window went\n", ms);
  RecordProperty("exit_after_kill_ms", static_cast<int>(ms));
  EXPECT_LT(ms, 200.0 * 2);  // 200 ms as designed; twice that on a loaded machine
  ExpectCursorBalanced(folder);
}

TEST_F(Faults, EngineThatNeverShowsAWindowIsEndedAfterTheBoundedWait) {
  CaseFolder folder("fault-windowless");
  Install(folder, true, "e2e_late_engine.exe");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MS", "600000");  // asleep for ten minutes
  const double start = NowMs();
  Process scr = StartTraced(folder);
  ASSERT_TRUE(scr.WaitExit(40000)) << "the saver waited for ever";
  const double ms = NowMs() - start;
  std::printf("windowless engine: saver ended after %.0f ms\n", ms);
  EXPECT_GE(ms, 9000.0);  // it did wait for the engine
  EXPECT_TRUE(WaitNoProcess("Sorvane.dll", 5000)) << "the stuck engine was left running";
  ExpectCursorBalanced(folder);
}

// A hung engine does not hang the saver: the watch finds windows without
// sending them messages. Once the engine has answered nothing for a while it
// is ended, and the run with it, so a frozen topmost window does not hold the
// screen for ever.
TEST_F(Faults, HungEngineNeitherHangsTheSaverNorKeepsItForEver) {
  CaseFolder folder("fault-hung");
  Install(folder, true, "e2e_late_engine.exe");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MS", "200");
  SetEnvironmentVariableA("SORVANE_LATE_ENGINE_MODE", "hang");
  Process scr = StartTraced(folder);
  ASSERT_NE(WaitForWindow(kEngineTitle, kStartTimeoutMs), nullptr);
  const double start = NowMs();
  PumpFor(3000);
  HWND form = FindWindowA(nullptr, kSaverMarker);
  ASSERT_NE(form, nullptr);
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutA(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer), 0)
      << "the saver stopped answering along with the engine";
  ASSERT_TRUE(scr.WaitExit(60000)) << "the saver stayed with the hung engine";
  std::printf("hung engine: run ended %.0f ms after the window appeared\n", NowMs() - start);
  EXPECT_TRUE(WaitNoProcess("Sorvane.dll", 5000));
  EXPECT_TRUE(WaitWindowGone(kEngineTitle, 5000));
  ExpectCursorBalanced(folder);
}

LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

// The host drops its pane at different moments of the preview's start-up:
// before the saver reads the handle, while it reparents, after. Every preview
// process ends by itself.
TEST_F(Faults, PreviewHostDestroyedWhileThePreviewStartsEndsThePreview) {
  CaseFolder folder("fault-host");
  Install(folder, false);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SorvaneFaultHost";
  RegisterClassA(&wc);
  for (DWORD delay : {0u, 30u, 150u, 400u, 900u, 2000u}) {
    HWND host = CreateWindowExA(0, "SorvaneFaultHost", "fault host", WS_POPUP | WS_VISIBLE, 10, 10, 152,
                                112, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    Process scr = StartScr(folder, "/p " + std::to_string(reinterpret_cast<intptr_t>(host)));
    ASSERT_TRUE(scr.started());
    PumpFor(delay);
    DestroyWindow(host);
    EXPECT_TRUE(scr.WaitExit(15000)) << "the preview outlived its host (destroyed after " << delay << " ms)";
  }
}

// The settings file held exclusively by another program: a saver start reads
// the defaults and runs; a save in the dialog says it failed, neither hangs nor
// harms the file, and the dialog can still be closed.
TEST_F(Faults, SettingsFileHeldExclusivelyAtLoadAndAtSave) {
  CaseFolder folder("fault-locked");
  Install(folder);
  const std::string ini = folder.File("Sorvane.ini");
  const std::string stored =
      "[Section]\r\nBGM\x8B\xE6\x95\xAA=1\r\nBGM\xD8\xCB\xDF\xB0\xC4=3\r\nBGM\xCC\xA7\xB2\xD9=\r\n";
  HANDLE f = CreateFileA(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(f, stored.data(), DWORD(stored.size()), &n, nullptr);
  CloseHandle(f);
  HANDLE lock = CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);

  Process scr = StartTraced(folder);
  ASSERT_NE(WaitForWindow(kEngineTitle, kStartTimeoutMs), nullptr) << "a locked file stopped the saver";
  PostMessageA(FindWindowA(nullptr, kEngineTitle), WM_CLOSE, 0, 0);
  EXPECT_TRUE(scr.WaitExit(20000));
  ExpectCursorBalanced(folder);

  Process dialog = StartScr(folder, "/c");
  HWND form = WaitForWindow(kDialogMarker, kStartTimeoutMs);
  ASSERT_NE(form, nullptr);
  PumpFor(500);
  HWND set = nullptr;
  for (const ChildWindow& c : ListChildren(form))
    if (c.text == "\x90\xDD\x92\xE8") set = c.hwnd;  // 設定
  ASSERT_NE(set, nullptr);
  RECT r{};
  GetWindowRect(set, &r);
  SetForegroundWindow(form);
  ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  // The failed save is reported and the dialog stays, still answering; once
  // the message is dismissed, Escape closes it without writing.
  HWND box = WaitForWindow(kAppTitle, 20000, "#32770");
  ASSERT_NE(box, nullptr) << "no message about the failed save";
  SetForegroundWindow(box);
  PumpFor(200);
  PressKey(VK_RETURN);
  for (int i = 0; i < 100 && IsWindow(box); ++i) PumpFor(100);
  EXPECT_FALSE(IsWindow(box));
  ASSERT_TRUE(dialog.Running()) << "a failed save closed the dialog";
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutA(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer), 0)
      << "the dialog hung on a locked settings file";
  SetForegroundWindow(form);
  PumpFor(200);
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(dialog.WaitExit(20000)) << "Escape did not close the dialog";
  CloseHandle(lock);
  EXPECT_EQ(ReadFileBytes(ini), stored);
}

}  // namespace
}  // namespace sorvane::e2e

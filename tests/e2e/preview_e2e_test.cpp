// Preview mode as the display-settings dialog runs it: a host window of ours,
// its handle on the command line, and the pixels read back from the screen.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e_common.h"

namespace sorvane::e2e {
namespace {

const char kHostClass[] = "SorvaneE2EPreviewHost";

// A borderless top-level window whose whole area is the preview pane.
class HostWindow {
 public:
  HostWindow(int x, int y, int width, int height) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kHostClass;
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(WS_EX_TOPMOST, kHostClass, "Preview host",
                            WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width, height, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
    PumpFor(100);
  }
  ~HostWindow() { Destroy(); }
  void Destroy() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  HWND hwnd() const { return hwnd_; }
  std::string Handle() const {
    return std::to_string(static_cast<long long>(reinterpret_cast<intptr_t>(hwnd_)));
  }

 private:
  HWND hwnd_ = nullptr;
};

// Waits for the preview's child window in the host.
HWND WaitForChild(HWND host, DWORD timeout_ms) {
  const double end = NowMs() + timeout_ms;
  while (NowMs() < end) {
    const auto children = ListChildren(host);
    if (!children.empty()) return children.front().hwnd;
    PumpFor(10);
  }
  return nullptr;
}

void SaveShot(const Capture& shot, const char* name) {
  char folder[MAX_PATH] = {};
  if (GetEnvironmentVariableA("SORVANE_E2E_SHOTS", folder, sizeof folder) > 0) {
    shot.SaveBmp(std::string(folder) + "\\" + name);
  }
}

std::string StillPath() { return SORVANE_PREVIEW_STILL_BMP; }

bool UnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// What the preview shows in the host's pane. On Windows, the screen itself.
// Wine (8.0, measured) does not put a child window of another process on the
// screen at all (not even a plain FillRect from its WM_PAINT), so there the
// preview's own drawing of its whole area is read from the snapshot that its
// first paint writes (SORVANE_PREVIEW_SNAPSHOT).
Capture PanePixels(const RECT& pane, const std::string& snapshot, const char* shot_name) {
  Capture screen = CaptureScreen(pane);
  SaveShot(screen, shot_name);
  if (!UnderWine()) return screen;
  const double end = NowMs() + 5000;
  while (!FileExistsAt(snapshot) && NowMs() < end) PumpFor(20);
  PumpFor(100);  // let the writer finish
  return LoadBmp(snapshot);
}

// Sets the snapshot hook for the programs started in this scope.
class SnapshotHook {
 public:
  explicit SnapshotHook(const std::string& path) {
    SetEnvironmentVariableA("SORVANE_PREVIEW_SNAPSHOT", path.c_str());
  }
  ~SnapshotHook() { SetEnvironmentVariableA("SORVANE_PREVIEW_SNAPSHOT", nullptr); }
};

class Preview : public ScrCase {};

TEST_F(Preview, FillsAStandardPaneWithTheStillAndEndsWithTheHost) {
  const Capture still = LoadBmp(StillPath());
  ASSERT_EQ(still.width, 152);
  ASSERT_EQ(still.height, 112);

  CaseFolder folder("preview");
  Install(folder, false);  // the preview needs no engine
  HostWindow host(200, 150, 152, 112);
  ASSERT_NE(host.hwnd(), nullptr);
  const std::string snapshot = folder.File("pane.bmp");
  SnapshotHook hook(snapshot);
  Process scr = StartScr(folder, "/p " + host.Handle());

  HWND child = WaitForChild(host.hwnd(), kStartTimeoutMs);
  ASSERT_NE(child, nullptr) << "no preview window arrived in the host";
  PumpFor(500);
  EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & WS_CHILD);
  EXPECT_EQ(GetParent(child), host.hwnd());
  EXPECT_TRUE(IsWindowVisible(child));
  RECT rc;
  GetWindowRect(child, &rc);
  EXPECT_EQ(rc.left, 200);
  EXPECT_EQ(rc.top, 150);
  EXPECT_EQ(rc.right - rc.left, 152);
  EXPECT_EQ(rc.bottom - rc.top, 112);

  const Capture shot = PanePixels(RECT{200, 150, 352, 262}, snapshot, "screen_152x112.bmp");
  ASSERT_EQ(shot.width, 152);
  ASSERT_EQ(shot.height, 112);
  SaveShot(shot, "preview_152x112.bmp");
  int differing = 0;
  for (int y = 0; y < 112; ++y) {
    for (int x = 0; x < 152; ++x) differing += shot.At(x, y) != still.At(x, y);
  }
  EXPECT_EQ(differing, 0) << "the pane does not show the still pixel for pixel";

  host.Destroy();
  DWORD code = 1;
  ASSERT_TRUE(scr.WaitExit(5000, &code)) << "the preview outlived its host window";
  EXPECT_EQ(code, 0u);
}

TEST_F(Preview, ALargerPaneIsBlackAroundTheStillAtItsTopLeft) {
  const Capture still = LoadBmp(StillPath());
  ASSERT_EQ(still.width, 152);
  CaseFolder folder("preview large");
  Install(folder, false);
  HostWindow host(100, 100, 320, 240);
  const std::string snapshot = folder.File("pane.bmp");
  Process scr;
  {
    SnapshotHook hook(snapshot);
    scr = StartScr(folder, "/P:" + host.Handle());
  }
  HWND child = WaitForChild(host.hwnd(), kStartTimeoutMs);
  ASSERT_NE(child, nullptr);
  PumpFor(500);
  RECT rc;
  GetClientRect(child, &rc);
  EXPECT_EQ(rc.right, 320);
  EXPECT_EQ(rc.bottom, 240);

  const Capture shot = PanePixels(RECT{100, 100, 420, 340}, snapshot, "screen_320x240.bmp");
  ASSERT_EQ(shot.width, 320);
  ASSERT_EQ(shot.height, 240);
  SaveShot(shot, "preview_320x240.bmp");
  int still_diff = 0, not_black = 0, bright = 0;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) {
      const uint32_t p = shot.At(x, y);
      if (x < 152 && y < 112) {
        still_diff += p != still.At(x, y);
        bright += ((p >> 16) & 0xFF) > 128;
      } else {
        not_black += p != 0;
      }
    }
  }
  EXPECT_EQ(still_diff, 0);
  EXPECT_EQ(not_black, 0) << "the pane outside the still is not black";
  EXPECT_GT(bright, 20) << "the still shows no bright puff";

  // A second preview (the host restarting it) is a process of its own.
  Process again = StartScr(folder, "/p " + host.Handle());
  const double end = NowMs() + kStartTimeoutMs;
  while (ListChildren(host.hwnd()).size() < 2 && NowMs() < end) PumpFor(10);
  EXPECT_EQ(ListChildren(host.hwnd()).size(), 2u);

  host.Destroy();
  EXPECT_TRUE(scr.WaitExit(5000));
  EXPECT_TRUE(again.WaitExit(5000));
}

TEST_F(Preview, NoUsableHostEndsQuietly) {
  CaseFolder folder("nohost");
  Install(folder, false);
  HWND gone = CreateWindowExA(0, "STATIC", "gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  const std::string gone_handle =
      std::to_string(static_cast<long long>(reinterpret_cast<intptr_t>(gone)));
  DestroyWindow(gone);
  const std::vector<std::string> lines = {"/p 0", "/p", "/p garbage", "/p 99999999999", "/p -1",
                                          "/p " + gone_handle};
  for (const std::string& line : lines) {
    Process scr = StartScr(folder, line);
    DWORD code = 1;
    ASSERT_TRUE(scr.WaitExit(kStartTimeoutMs, &code)) << line << " did not end";
    EXPECT_EQ(code, 0u) << line;
  }
  EXPECT_EQ(FindWindowA(nullptr, kAppTitle), nullptr) << "preview must not show the message";
}

}  // namespace
}  // namespace sorvane::e2e

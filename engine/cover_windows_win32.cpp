#include "cover_windows_win32.h"

namespace sorvane::engine {
namespace {

HWND covers[kMaxCoverWindows];
int coverCount = 0;

struct MonitorList {
  RECT rects[kMaxCoverWindows + 1];  // one more: the primary takes a place
  int count = 0;
};

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM param) {
  auto* list = reinterpret_cast<MonitorList*>(param);
  if (list->count == kMaxCoverWindows + 1) return FALSE;
  list->rects[list->count++] = *rect;
  return TRUE;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

LRESULT CALLBACK CoverWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(nullptr);  // no cursor over any part of the saver
      return TRUE;
    case WM_PAINT: {
      RECT client;
      GetClientRect(hwnd, &client);
      HDC dc = GetDC(hwnd);
      FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      ReleaseDC(hwnd, dc);
      ValidateRect(hwnd, nullptr);
      return 0;
    }
    default:
      // A click activates the cover as it would any other window; the engine
      // sees it lose activation and closes, as after a switch elsewhere.
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int SelectCoverRects(const RECT* monitors, int count, const RECT& covered, RECT* out, int capacity) {
  int n = 0;
  for (int i = 0; i < count && n < capacity; ++i) {
    const RECT& m = monitors[i];
    if (m.right <= m.left || m.bottom <= m.top) continue;
    if (Inside(m, covered)) continue;
    out[n++] = m;
  }
  return n;
}

bool RegisterCoverClass(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CoverWndProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kCoverWindowName;
  return RegisterClassA(&wc) != 0;
}

void CreateCoverWindows(HINSTANCE instance, HWND engineWindow) {
  RECT engineRect;
  if (!GetWindowRect(engineWindow, &engineRect)) return;
  MonitorList monitors;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
  RECT rects[kMaxCoverWindows];
  const int n = SelectCoverRects(monitors.rects, monitors.count, engineRect, rects, kMaxCoverWindows);
  for (int i = 0; i < n && coverCount < kMaxCoverWindows; ++i) {
    const RECT& r = rects[i];
    // A tool window: no taskbar button, no place in the task switcher.
    HWND cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCoverWindowName, kCoverWindowName, WS_POPUP,
                                 r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                                 nullptr);
    if (!cover) continue;
    covers[coverCount++] = cover;
    // Shown below the engine window (should a monitor overlap the primary
    // one) and without activation, which stays with the engine window.
    SetWindowPos(cover, engineWindow, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(cover);
  }
}

void DestroyCoverWindows() {
  for (int i = 0; i < coverCount; ++i) DestroyWindow(covers[i]);
  coverCount = 0;
}

}  // namespace sorvane::engine

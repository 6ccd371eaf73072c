#include "cover_windows_win32.h"

namespace sorvane::engine {
namespace {

HWND covers[kMaxCoverWindows];
int coverCount = 0;

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

bool RegisterCoverClass(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CoverWndProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kCoverWindowName;
  return RegisterClassA(&wc) != 0;
}

void ShowCoverWindows(HINSTANCE instance, HWND engineWindow, const MonitorLayout& layout) {
  DestroyCoverWindows();
  for (int i = 0; i < layout.coverCount && coverCount < kMaxCoverWindows; ++i) {
    const ScreenRect& r = layout.covers[i];
    // A tool window: no taskbar button, no place in the task switcher.
    HWND cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCoverWindowName, kCoverWindowName, WS_POPUP,
                                 r.left, r.top, r.Width(), r.Height(), nullptr, nullptr, instance, nullptr);
    if (!cover) continue;
    covers[coverCount++] = cover;
    // Shown below the engine window (should a monitor overlap the primary
    // one) and without activation, which stays with the engine window.
    SetWindowPos(cover, engineWindow, r.left, r.top, r.Width(), r.Height(), SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(cover);
  }
}

void DestroyCoverWindows() {
  for (int i = 0; i < coverCount; ++i) DestroyWindow(covers[i]);
  coverCount = 0;
}

}  // namespace sorvane::engine

// Sorvane.dll: the engine's Win32 host. One topmost popup window covering the
// primary screen, a WGL context on it, and a message loop that paints a frame
// at every idle pass until the window is closed (paced to the display's
// refresh where swaps do not wait for it). Other monitors get black covers
// that live and die with that window; when the monitors change, the window
// takes the primary's new rectangle and the covers are made again.
#include <windows.h>
#include <mmsystem.h>

#include "cover_windows_win32.h"
#include "displays_win32.h"
#include "gl_include.h"
#include "host.h"
#include "render.h"
#include "scene.h"
#include "swap_control_win32.h"

namespace sorvane::engine {
namespace {

HWND window = nullptr;
HDC deviceContext = nullptr;  // CS_OWNDC: kept for the window's life
HGLRC glContext = nullptr;
bool paintEnabled = false;
LARGE_INTEGER counterFrequency;
EngineHost host;
HINSTANCE programInstance = nullptr;
bool coversRegistered = false;
MonitorLayout monitors;  // as the window and the covers were last laid out
LONGLONG monitorsCheckedAt = 0;

// Only the colour depth is filled in (on first use); no alpha, depth,
// stencil, accumulation or auxiliary buffers are asked for.
PIXELFORMATDESCRIPTOR pixelFormat = {
    40, 1,
    PFD_DOUBLEBUFFER | PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DEPTH_DONTCARE,
    PFD_TYPE_RGBA,
    0,                 // colour bits: the display's, on first use
    0, 0, 0, 0, 0, 0,  // red, green, blue bits and shifts
    0, 0,              // alpha
    0, 0, 0, 0, 0,     // accumulation
    0, 0, 0,           // depth, stencil, auxiliary buffers
    PFD_MAIN_PLANE, 0,
    0, 0, 0};          // layer, visible and damage masks
bool colourBitsTaken = false;

static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40, "descriptor size");

class WindowPort final : public HostPort {
 public:
  void SetTitle(const char* title) override { SetWindowTextA(window, title); }
  void PostClose() override { PostMessageA(window, WM_CLOSE, 0, 0); }
  int64_t Now() override {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
  }
  int64_t CountsPerSecond() override { return counterFrequency.QuadPart; }
  void SwapFrameBuffers() override { SwapBuffers(deviceContext); }
};
WindowPort windowPort;

// The monitors now, against those the windows were laid out for: the
// window takes the primary's rectangle (WM_SIZE then brings the viewport
// and, at the next frame, the projection along), the covers are made again,
// and the pacing follows the refresh rate. The scene goes on.
void FollowDisplays() {
  monitorsCheckedAt = windowPort.Now();
  const MonitorLayout now = CurrentMonitorLayout();
  if (now == monitors) return;
  monitors = now;
  const ScreenRect& r = now.animation;
  SetWindowPos(window, HWND_TOPMOST, r.left, r.top, r.Width(), r.Height(), SWP_NOACTIVATE);
  if (coversRegistered) ShowCoverWindows(programInstance, window, now);
  host.SetRefreshRate(DisplayRefreshHz(deviceContext));
}

// Waits up to `counts` for a message. Milliseconds are the finest step the
// wait has (the timer resolution is 1 ms during the run): less than one is
// not waited for, and false says so.
bool WaitForMessages(int64_t counts) {
  const DWORD ms = static_cast<DWORD>(counts * 1000 / counterFrequency.QuadPart);
  if (ms == 0) return false;
  MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
  return true;
}

}  // namespace

void SetupPixelFormat(HDC dc) {
  if (!colourBitsTaken) {
    pixelFormat.cColorBits = static_cast<BYTE>(GetDeviceCaps(dc, BITSPIXEL));
    colourBitsTaken = true;
  }
  const int index = ChoosePixelFormat(dc, &pixelFormat);
  SetPixelFormat(dc, index, &pixelFormat);
}

LRESULT CALLBACK EngineWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // The cursor is hidden over the window whatever else is going on.
  if (message == WM_SETCURSOR) {
    SetCursor(nullptr);
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      deviceContext = GetDC(hwnd);
      SetupPixelFormat(deviceContext);
      glContext = wglCreateContext(deviceContext);
      wglMakeCurrent(deviceContext, glContext);
      // One frame per refresh where the driver lets us ask.
      RequestSwapInterval(deviceContext, 1, wglGetProcAddress);
      return 0;
    case WM_DESTROY:
      wglMakeCurrent(deviceContext, nullptr);
      wglDeleteContext(glContext);
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      host.Resize(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_DISPLAYCHANGE:
      if (paintEnabled) FollowDisplays();
      return 0;
    case WM_PAINT:
      if (paintEnabled) {
        host.PaintFrame();
      } else {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(deviceContext, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      }
      ValidateRect(hwnd, nullptr);
      return 0;
    case WM_CHAR:
      if (wParam == 27) host.Escape();  // let the puffs fade out
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

int EngineMain(HINSTANCE instance) {
  paintEnabled = false;

  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
  wc.lpfnWndProc = EngineWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = kEngineWindowName;
  if (!RegisterClassA(&wc)) return 0;
  coversRegistered = RegisterCoverClass(instance);
  programInstance = instance;

  HWND created = CreateWindowExA(WS_EX_TOPMOST, kEngineWindowName, kEngineWindowName, WS_POPUP, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                 nullptr, instance, nullptr);
  if (!created) return 0;
  window = created;
  QueryPerformanceFrequency(&counterFrequency);
  host.TakeStartCount(windowPort);

  // Paints that arrive before the GL set-up only fill the window with black.
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  // The keyboard and activation: the saver program, which has no window of
  // its own to hand them over from, has allowed us to take the foreground.
  SetForegroundWindow(window);
  monitors = CurrentMonitorLayout();
  monitorsCheckedAt = windowPort.Now();
  if (coversRegistered) ShowCoverWindows(instance, window, monitors);

  host.SetUpFrames(DisplayRefreshHz(deviceContext));
  paintEnabled = true;
  // Waits between frames are in whole milliseconds; the default timer step
  // (about 16 ms) would halve the frame rate.
  timeBeginPeriod(1);

  MSG msg = {};
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  while (msg.message != WM_QUIT) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      // Another window became active: the user is back.
      if (GetActiveWindow() != window) PostMessageA(window, WM_CLOSE, 0, 0);
      // Monitors that come and go do not always say so: look once a second.
      if (windowPort.Now() - monitorsCheckedAt >= counterFrequency.QuadPart) FollowDisplays();
      if (WaitForMessages(host.CountsBeforeNextFrame())) continue;
      InvalidateRect(window, nullptr, FALSE);
    }
  }
  timeEndPeriod(1);
  paintEnabled = false;
  // Only now, with the engine window gone: under a window system that makes
  // each destruction wait, the saver (which watches that window) would
  // otherwise wait for the covers too.
  DestroyCoverWindows();
  return static_cast<int>(msg.wParam);
}

}  // namespace sorvane::engine

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return sorvane::engine::EngineMain(instance);
}

// Sorvane.dll: the engine's Win32 host. One topmost popup window covering the
// primary screen, a WGL context on it, and a message loop that paints a frame
// at every idle pass until the window is closed. Other monitors get black
// covers that live and die with that window.
#include <windows.h>

#include "cover_windows_win32.h"
#include "gl_include.h"
#include "host_clock.h"
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
LARGE_INTEGER startCount;
HostState host;

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

class WindowPort final : public RenderPort {
 public:
  void SetTitle(const char* title) override { SetWindowTextA(window, title); }
  void PostClose() override { PostMessageA(window, WM_CLOSE, 0, 0); }
};
WindowPort windowPort;

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
    case WM_SIZE: {
      host.clientWidth = LOWORD(lParam);
      host.clientHeight = HIWORD(lParam);
      // The viewport needs a height; the stored one stays as reported.
      glViewport(0, 0, host.clientWidth, host.clientHeight == 0 ? 1 : host.clientHeight);
      return 0;
    }
    case WM_PAINT:
      if (paintEnabled) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        AdvanceFrameClock(host, now.QuadPart, startCount.QuadPart, counterFrequency.QuadPart);
        RenderFrame(host, windowPort);
        SwapBuffers(deviceContext);
      } else {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(deviceContext, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      }
      ValidateRect(hwnd, nullptr);
      return 0;
    case WM_CHAR:
      if (wParam == 27) Scene().stopRequested = true;  // Escape: let the puffs fade out
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
  const bool coversRegistered = RegisterCoverClass(instance);

  HWND created = CreateWindowExA(WS_EX_TOPMOST, kEngineWindowName, kEngineWindowName, WS_POPUP, 0, 0,
                                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                 nullptr, instance, nullptr);
  if (!created) return 0;
  window = created;
  QueryPerformanceFrequency(&counterFrequency);
  QueryPerformanceCounter(&startCount);

  // Paints that arrive before the GL set-up only fill the window with black.
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  if (coversRegistered) CreateCoverWindows(instance, window);

  SetupGlState(host);
  paintEnabled = true;

  MSG msg = {};
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  while (msg.message != WM_QUIT) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      // Another window became active: the user is back.
      if (GetActiveWindow() != window) PostMessageA(window, WM_CLOSE, 0, 0);
      InvalidateRect(window, nullptr, FALSE);
    }
  }
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

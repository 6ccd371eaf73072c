// Sorvane.dll under Windows semantics, driven the way the operating system
// and the saver program meet it: started as a process, found by its title,
// closed from outside, deactivated, sent Escape, photographed on screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cover_windows_win32.h"
#include "swap_control_win32.h"

namespace {

std::string EnginePath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  return dir.substr(0, dir.find_last_of("\\/")) + "\\Sorvane.dll";
}

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK MatchEngineWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char title[64] = {};
  GetWindowTextA(hwnd, title, sizeof title);
  if (pid == search->pid && std::string(title) == "SorvaneVC" && IsWindowVisible(hwnd)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    // The cases share one screen and its active window: one at a time, even
    // when several test processes run at once.
    lock_ = CreateMutexA(nullptr, FALSE, "SorvaneEngineHostTestScreen");
    ASSERT_NE(lock_, nullptr);
    const DWORD got = WaitForSingleObject(lock_, 120000);
    ASSERT_TRUE(got == WAIT_OBJECT_0 || got == WAIT_ABANDONED);
    locked_ = true;

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string path = EnginePath();
    ASSERT_TRUE(CreateProcessA(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_))
        << "cannot start " << path << " (error " << GetLastError() << ")";
    started_ = true;
    const DWORD end = GetTickCount() + 20000;
    while (GetTickCount() < end && !window_) {
      Search search = {process_.dwProcessId, nullptr};
      EnumWindows(MatchEngineWindow, reinterpret_cast<LPARAM>(&search));
      window_ = search.found;
      if (!window_) {
        if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) break;
      }
    }
    ASSERT_NE(window_, nullptr) << "no SorvaneVC window appeared";
  }

  void TearDown() override {
    if (started_) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
      }
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    if (locked_) ReleaseMutex(lock_);
    if (lock_) CloseHandle(lock_);
  }

  // The exit code once the engine has ended within the time, else -1.
  long WaitExit(DWORD ms) {
    if (WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }
  bool Running() { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

  // Milliseconds from `since` until the window is hidden or gone (its
  // destruction has begun), or -1 when that has not happened in time. Wine
  // with no window manager then waits 2 s for the X window's withdrawal
  // before the destruction completes; the exit is checked separately.
  long WaitHidden(DWORD since, DWORD ms) {
    while (GetTickCount() - since < ms) {
      if (!IsWindow(window_) || !IsWindowVisible(window_)) return static_cast<long>(GetTickCount() - since);
      Sleep(5);
    }
    return -1;
  }

  HANDLE lock_ = nullptr;
  bool locked_ = false;
  bool started_ = false;
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};

TEST_F(Engine, OneTopmostScreenSizedWindowFoundByTitleAndClass) {
  EXPECT_EQ(FindWindowA(nullptr, "SorvaneVC"), window_);
  EXPECT_EQ(FindWindowA("SorvaneVC", nullptr), window_);
  char text[64] = {};
  GetClassNameA(window_, text, sizeof text);
  EXPECT_STREQ(text, "SorvaneVC");
  GetWindowTextA(window_, text, sizeof text);
  EXPECT_STREQ(text, "SorvaneVC");

  const LONG exStyle = GetWindowLongA(window_, GWL_EXSTYLE);
  const LONG style = GetWindowLongA(window_, GWL_STYLE);
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
  EXPECT_EQ(GetClassLongPtrA(window_, GCL_STYLE), static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW | CS_OWNDC));

  // The active window from the start (Wine hands over the focus a moment
  // after the window shows); on one monitor nothing else is made.
  for (DWORD since = GetTickCount(); GetForegroundWindow() != window_ && GetTickCount() - since < 3000;) Sleep(20);
  EXPECT_EQ(GetForegroundWindow(), window_);
  if (GetSystemMetrics(SM_CMONITORS) == 1) {
    EXPECT_EQ(FindWindowA(sorvane::engine::kCoverWindowName, nullptr), nullptr);
  }

  RECT r;
  ASSERT_TRUE(GetWindowRect(window_, &r));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));

  // No cursor over it: moving the pointer there leaves no cursor shown.
  SetCursorPos(300, 300);
  Sleep(100);
  SetCursorPos(320, 310);
  Sleep(300);
  CURSORINFO ci = {};
  ci.cbSize = sizeof ci;
  ASSERT_TRUE(GetCursorInfo(&ci));
  EXPECT_EQ(ci.hCursor, nullptr);

  // The title is set again once a second and never changes; other keys,
  // mouse moves and clicks do nothing.
  PostMessageA(window_, WM_CHAR, 'a', 0);
  PostMessageA(window_, WM_CHAR, ' ', 0);
  PostMessageA(window_, WM_KEYDOWN, VK_SPACE, 0);
  PostMessageA(window_, WM_MOUSEMOVE, 0, MAKELPARAM(100, 100));
  PostMessageA(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  PostMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(100, 100));
  Sleep(1500);
  EXPECT_TRUE(Running());
  GetWindowTextA(window_, text, sizeof text);
  EXPECT_STREQ(text, "SorvaneVC");
}

TEST_F(Engine, ClosesWithExitCodeZeroOnWmCloseFromAnotherProcess) {
  Sleep(300);
  const DWORD posted = GetTickCount();
  ASSERT_TRUE(PostMessageA(window_, WM_CLOSE, 0, 0));
  const long hidden = WaitHidden(posted, 1000);
  EXPECT_NE(hidden, -1);
  EXPECT_EQ(WaitExit(5000), 0);
  EXPECT_EQ(FindWindowA(nullptr, "SorvaneVC"), nullptr);
}

LRESULT CALLBACK PlainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(Engine, ClosesWhenAnotherWindowBecomesActive) {
  Sleep(500);
  ASSERT_TRUE(Running()) << "closed while still active";
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PlainWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SorvaneEngineTestOther";
  RegisterClassA(&wc);
  HWND other = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "other", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100,
                               nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  SetActiveWindow(other);
  long code = -1;
  const DWORD end = GetTickCount() + 6000;
  while (GetTickCount() < end) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    code = WaitExit(20);
    if (code != -1) break;
  }
  EXPECT_EQ(code, 0);
  EXPECT_LT(GetTickCount() - (end - 6000), 4000u);
  DestroyWindow(other);
}

TEST_F(Engine, EscapeLetsThePuffsFadeThenCloses) {
  Sleep(800);  // a full stream of puffs
  ASSERT_TRUE(PostMessageA(window_, WM_CHAR, 27, 0));
  const DWORD pressed = GetTickCount();
  const long hidden = WaitHidden(pressed, 3000);
  EXPECT_GT(hidden, 400) << "closed before the last puff had faded";
  EXPECT_NE(hidden, -1) << "still open 3 s after Escape";
  EXPECT_LT(hidden, 2600);
  EXPECT_EQ(WaitExit(5000), 0);
}

struct ScreenCounts {
  long lowerMiddle = 0;  // bright pixels in the lower middle third
  long corners = 0;      // lit pixels in the four 40 x 40 corners
  long coloured = 0;     // pixels that are not grey
};

// Reads the whole screen back, as any program can.
ScreenCounts ReadScreen() {
  ScreenCounts c;
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib) {
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* px = static_cast<const uint32_t*>(bits);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t p = px[static_cast<size_t>(y) * w + x];
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        if (r != g || g != b) ++c.coloured;
        const bool corner = (x < 40 || x >= w - 40) && (y < 40 || y >= h - 40);
        if (corner && r != 0) ++c.corners;
        if (r > 60 && x > w / 3 && x < 2 * w / 3 && y > h / 2) ++c.lowerMiddle;
      }
    }
    SelectObject(memory, old);
    DeleteObject(dib);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return c;
}

TEST_F(Engine, ScreenShowsLightRisingFromTheLowerMiddleOverBlack) {
  Sleep(1200);
  const ScreenCounts c = ReadScreen();
  EXPECT_GT(c.lowerMiddle, 2000);
  EXPECT_EQ(c.corners, 0);
  EXPECT_EQ(c.coloured, 0) << "white light on black only";
  EXPECT_TRUE(Running());
}

// Squashed to no height and back (as a host could do to it), the engine
// keeps running and drawing.
TEST_F(Engine, SurvivesAZeroHeightClientAndDrawsAgainAtFullSize) {
  Sleep(300);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_TRUE(SetWindowPos(window_, nullptr, 0, 0, w, 0, SWP_NOZORDER | SWP_NOACTIVATE));
  RECT r;
  GetClientRect(window_, &r);
  EXPECT_EQ(r.bottom - r.top, 0);
  Sleep(700);
  ASSERT_TRUE(Running());
  ASSERT_TRUE(SetWindowPos(window_, nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOACTIVATE));
  Sleep(1200);
  ASSERT_TRUE(Running());
  const ScreenCounts c = ReadScreen();
  EXPECT_GT(c.lowerMiddle, 2000);
  EXPECT_EQ(c.coloured, 0);
}

// ---------------------------------------------------------------------------
// Vertical sync: what the engine asks of WGL, against a recording stand-in
// and against the real driver.

struct FakeWgl {
  const char* extString = nullptr;  // wglGetExtensionsStringEXT's answer; null: no such entry
  const char* arbString = nullptr;  // wglGetExtensionsStringARB's answer; null: no such entry
  bool hasSwapInterval = true;
  INT_PTR bogusSwapInterval = 0;  // non-zero: wglGetProcAddress answers this junk instead
  std::vector<int> intervals;      // every wglSwapIntervalEXT call
  std::vector<HDC> arbDcs;
};
FakeWgl fake;

const char* WINAPI FakeExtensionsExt() { return fake.extString; }
const char* WINAPI FakeExtensionsArb(HDC dc) {
  fake.arbDcs.push_back(dc);
  return fake.arbString;
}
BOOL WINAPI FakeSwapInterval(int interval) {
  fake.intervals.push_back(interval);
  return TRUE;
}
template <typename Fn>
PROC AsProc(Fn fn) {
  return reinterpret_cast<PROC>(reinterpret_cast<void (*)()>(fn));
}
PROC WINAPI FakeLookup(LPCSTR name) {
  const std::string n = name;
  if (n == "wglGetExtensionsStringEXT" && fake.extString) return AsProc(FakeExtensionsExt);
  if (n == "wglGetExtensionsStringARB" && fake.arbString) return AsProc(FakeExtensionsArb);
  if (n == "wglSwapIntervalEXT") {
    if (fake.bogusSwapInterval) return reinterpret_cast<PROC>(fake.bogusSwapInterval);
    if (fake.hasSwapInterval) return AsProc(FakeSwapInterval);
  }
  return nullptr;
}

TEST(SwapControl, AsksForOneFrameAPerRefreshExactlyWhenTheExtensionIsListed) {
  const HDC dc = reinterpret_cast<HDC>(0x1234);
  struct Case {
    const char* ext;
    const char* arb;
    bool hasSwapInterval;
    INT_PTR bogus;
    bool asks;
  };
  const Case cases[] = {
      // Listed by either string, at any place in the list.
      {"WGL_EXT_swap_control", nullptr, true, 0, true},
      {"WGL_ARB_pixel_format WGL_EXT_swap_control_tear WGL_EXT_swap_control", nullptr, true, 0, true},
      {nullptr, "WGL_ARB_extensions_string WGL_EXT_swap_control ", true, 0, true},
      {"WGL_ARB_pixel_format", "  WGL_EXT_swap_control", true, 0, true},
      // Not listed: names that only start or end like it, an empty list, no
      // way to read the list; the entry point alone is not enough.
      {"WGL_EXT_swap_control_tear", "WGL_EXT_swap_controls XWGL_EXT_swap_control", true, 0, false},
      {"", "", true, 0, false},
      {nullptr, nullptr, true, 0, false},
      // Listed, but the driver hands out no usable entry point.
      {"WGL_EXT_swap_control", nullptr, false, 0, false},
      {"WGL_EXT_swap_control", nullptr, true, 2, false},
      {"WGL_EXT_swap_control", nullptr, true, -1, false},
  };
  for (const Case& c : cases) {
    fake = FakeWgl{};
    fake.extString = c.ext;
    fake.arbString = c.arb;
    fake.hasSwapInterval = c.hasSwapInterval;
    fake.bogusSwapInterval = c.bogus;
    const std::string what = std::string("ext=") + (c.ext ? c.ext : "(none)") + " arb=" + (c.arb ? c.arb : "(none)");
    EXPECT_EQ(sorvane::engine::RequestSwapInterval(dc, 1, FakeLookup), c.asks) << what;
    EXPECT_EQ(fake.intervals, c.asks ? std::vector<int>{1} : std::vector<int>{}) << what;
    for (HDC d : fake.arbDcs) EXPECT_EQ(d, dc) << what;
  }
}

LRESULT CALLBACK GlTestWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The same request on a real context, with the engine's pixel format request:
// where the driver offers the extension, the interval is 1 afterwards.
TEST(SwapControl, RealDriverGetsTheRequestWhenItOffersTheExtension) {
  WNDCLASSA wc = {};
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = GlTestWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SorvaneSwapTest";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "swap", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, wc.hInstance,
                              nullptr);
  ASSERT_NE(hwnd, nullptr);
  HDC dc = GetDC(hwnd);
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DOUBLEBUFFER | PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DEPTH_DONTCARE;
  pfd.cColorBits = static_cast<BYTE>(GetDeviceCaps(dc, BITSPIXEL));
  ASSERT_TRUE(SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd));
  HGLRC gl = wglCreateContext(dc);
  ASSERT_NE(gl, nullptr);
  ASSERT_TRUE(wglMakeCurrent(dc, gl));

  using GetExt = const char*(WINAPI*)();
  using SetInterval = BOOL(WINAPI*)(int);
  using GetInterval = int(WINAPI*)();
  auto entry = [](const char* name) { return reinterpret_cast<void (*)()>(wglGetProcAddress(name)); };
  auto getExt = reinterpret_cast<GetExt>(entry("wglGetExtensionsStringEXT"));
  const std::string list = getExt && getExt() ? getExt() : "";
  std::printf("WGL extensions: %s\n", list.c_str());
  const bool offered = (" " + list + " ").find(" WGL_EXT_swap_control ") != std::string::npos;
  RecordProperty("swap_control_offered", offered ? "yes" : "no");

  auto setInterval = reinterpret_cast<SetInterval>(entry("wglSwapIntervalEXT"));
  auto getInterval = reinterpret_cast<GetInterval>(entry("wglGetSwapIntervalEXT"));
  if (offered) {
    // Start from no sync, so that only the request can make it 1.
    ASSERT_NE(setInterval, nullptr);
    ASSERT_NE(getInterval, nullptr);
    ASSERT_TRUE(setInterval(0));
    ASSERT_EQ(getInterval(), 0);
  }
  EXPECT_EQ(sorvane::engine::RequestSwapInterval(dc, 1, wglGetProcAddress), offered);
  if (offered) {
    EXPECT_EQ(getInterval(), 1);
  }
  wglMakeCurrent(dc, nullptr);
  wglDeleteContext(gl);
  DestroyWindow(hwnd);
}

}  // namespace

// The preview form Sorvane_R on Win32: a black window holding the still,
// made a child of the host's preview window.
#include <windows.h>

#include <algorithm>

#include "saver/launcher/forms.h"
#include "saver/launcher/main_win32.h"
#include "saver/launcher/preview.h"
#include "saver/launcher/utilities.h"
#include "saver/win32/dib.h"

namespace sorvane::saver {
namespace {

HWND AsWindow(int32_t handle) {
  // Window handles are 32-bit values, sign-extended on 64-bit Windows.
  return reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
}

class PreviewForm : public Form, public PreviewPort {
 public:
  ~PreviewForm() override {
    if (still_ != nullptr) DeleteObject(still_);
  }

  // PreviewPort
  ScreenRect GetWindowRect(int32_t window) override {
    RECT rc = {};
    LastResult = ::GetWindowRect(AsWindow(window), &rc);
    if (LastResult == 0) return ScreenRect{};
    return ScreenRect{rc.left, rc.top, rc.right, rc.bottom};
  }
  int TwipsPerPixelX() override { return TwipsPerPixel(LOGPIXELSX); }
  int TwipsPerPixelY() override { return TwipsPerPixel(LOGPIXELSY); }
  void LoadForm() override {
    // Borderless by design: once a child, only the black area and the still
    // show. Made as a popup (an overlapped window would get a caption forced
    // on it), then given its design style, which is neither popup nor child:
    // a popup that also has WS_CHILD is not treated as a child by the system.
    Create("Preview Window", WS_POPUP, 0, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetWindowLongA(hwnd(), GWL_STYLE, WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    still_ = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), "PREVIEW_STILL",
                                             IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }
  int32_t GetFormStyle() override { return GetWindowLongA(hwnd(), GWL_STYLE); }
  void SetFormStyle(int32_t style) override {
    LastResult = SetWindowLongA(hwnd(), GWL_STYLE, style);
  }
  void SetFormParent(int32_t parent) override {
    LastResult = static_cast<int32_t>(
        reinterpret_cast<intptr_t>(SetParent(hwnd(), AsWindow(parent))));
  }
  void PlaceForm(int x, int y, int width, int height) override {
    const int tx = TwipsPerPixelX(), ty = TwipsPerPixelY();
    LastResult = MoveWindow(hwnd(), x / tx, y / ty, width / tx, height / ty, TRUE);
  }
  void PlacePicture(int x, int y, int width, int height) override {
    picture_ = RECT{x, y, x + width, y + height};
    InvalidateRect(hwnd(), nullptr, TRUE);
  }
  void ShowForm() override { ShowWindow(hwnd(), SW_SHOWNORMAL); }
  bool WindowExists(int32_t window) override { return IsWindow(AsWindow(window)) != FALSE; }
  bool FormIsChildOf(int32_t window) override {
    return hwnd() != nullptr && IsChild(AsWindow(window), hwnd()) != FALSE;
  }

 protected:
  bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT* result) override {
    switch (msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd(), &ps);
        PaintStill(dc);
        EndPaint(hwnd(), &ps);
        WriteSnapshotOnce();
        *result = 0;
        return true;
      }
      case WM_DESTROY:
        // The host destroyed its preview window, and this child with it.
        PostQuitMessage(0);
        *result = 0;
        return true;
      default:
        return false;
    }
  }

 private:
  static int TwipsPerPixel(int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? 1440 / dpi : 15;
  }

  // The picture control shows the still at its own size from its top-left
  // corner, cut to the control; the rest of the form stays black.
  void PaintStill(HDC dc) {
    if (still_ == nullptr) return;
    const int w = std::min<int>(picture_.right - picture_.left, kPreviewStillWidth);
    const int h = std::min<int>(picture_.bottom - picture_.top, kPreviewStillHeight);
    if (w <= 0 || h <= 0) return;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, still_);
    BitBlt(dc, picture_.left, picture_.top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }

  // Test hook: when SORVANE_PREVIEW_SNAPSHOT names a file, the first paint
  // also draws the whole form into a 24-bit BMP there. The system composes a
  // child window of another process on screen, but Wine does not, so an
  // end-to-end test under Wine reads the drawing from this file.
  void WriteSnapshotOnce() {
    if (snapshot_written_) return;
    snapshot_written_ = true;
    char path[MAX_PATH] = {};
#ifdef SORVANE_TEST_HOOKS
    if (GetEnvironmentVariableA("SORVANE_PREVIEW_SNAPSHOT", path, sizeof path) == 0) return;
#else
    return;  // release builds carry no test hooks
#endif
    RECT rc;
    GetClientRect(hwnd(), &rc);
    const int w = rc.right, h = rc.bottom;
    if (w <= 0 || h <= 0) return;
    BITMAPINFO bi = DibInfo(w, h, 24, false);  // bottom row first, as the file stores it
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (dib == nullptr) {
      DeleteDC(mem);
      return;
    }
    HGDIOBJ old = SelectObject(mem, dib);
    FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    PaintStill(mem);
    GdiFlush();
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + stride * h;
    bi.bmiHeader.biSizeImage = stride * h;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD n = 0;
      WriteFile(file, &fh, sizeof fh, &n, nullptr);
      WriteFile(file, &bi.bmiHeader, sizeof bi.bmiHeader, &n, nullptr);
      WriteFile(file, bits, stride * h, &n, nullptr);
      CloseHandle(file);
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
  }

  HBITMAP still_ = nullptr;
  RECT picture_ = {0, 0, 0, 0};
  bool snapshot_written_ = false;
};

}  // namespace

void StartPreviewWindow(int32_t parent) {
  static PreviewForm* form = new PreviewForm();  // lives until the process ends
  if (!StartPreview(*form, parent)) ExitProcess(0);
}

}  // namespace sorvane::saver

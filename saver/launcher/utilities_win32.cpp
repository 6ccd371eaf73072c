// The launcher utilities' Windows calls.
#include <windows.h>

#include "text_win32.h"
#include "utilities.h"

namespace sorvane::saver {

bool FileExists(const std::string& path) {
  const std::string p = WithoutTrailingBackslash(path);
  if (p.empty() || p.find('\0') != std::string::npos) return false;
  // Reading alongside others is fine, also beside a program that allows
  // deleting the file; only a file held exclusively is not usable.
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open.
  HANDLE h = CreateFileW(WidePath(p).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

namespace {

class Win32ZoomPort : public ZoomPort {
 public:
  void GetWindowRect(std::uintptr_t window, ZoomRect* rect) override {
    RECT rc;
    if (::GetWindowRect(reinterpret_cast<HWND>(window), &rc)) {
      *rect = ZoomRect{rc.left, rc.top, rc.right, rc.bottom};
    }
  }
  void DrawAnimatedRects(std::uintptr_t window, int animation, const ZoomRect& from,
                         const ZoomRect& to) override {
    RECT a{from.left, from.top, from.right, from.bottom};
    RECT b{to.left, to.top, to.right, to.bottom};
    ::DrawAnimatedRects(reinterpret_cast<HWND>(window), animation, &a, &b);
  }
};

}  // namespace

ZoomPort& PlatformZoomPort() {
  static Win32ZoomPort port;
  return port;
}

}  // namespace sorvane::saver

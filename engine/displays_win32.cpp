#include "displays_win32.h"

namespace sorvane::engine {
namespace {

struct MonitorList {
  ScreenRect rects[kMaxCoverWindows + 1];  // one more: the primary takes a place
  int count = 0;
  int primary = -1;
};

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT rect, LPARAM param) {
  auto* list = reinterpret_cast<MonitorList*>(param);
  if (list->count == kMaxCoverWindows + 1) return FALSE;
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY)) list->primary = list->count;
  list->rects[list->count++] = ScreenRect{rect->left, rect->top, rect->right, rect->bottom};
  return TRUE;
}

}  // namespace

MonitorLayout CurrentMonitorLayout() {
  MonitorList list;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&list));
  // The primary monitor is the screen of SM_CXSCREEN x SM_CYSCREEN at 0,0.
  const ScreenRect screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (list.primary < 0) {
    for (int i = 0; i < list.count; ++i) {
      if (list.rects[i] == screen) list.primary = i;
    }
  }
  if (list.primary < 0) {
    // No monitor reported as the primary: the animation keeps the screen.
    return LayOutMonitors(&screen, 1, 0, screen);
  }
  const ScreenRect virtualScreen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                 GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                 GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  return LayOutMonitors(list.rects, list.count, list.primary, virtualScreen);
}

double DisplayRefreshHz(HDC dc) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) && (mode.dmFields & DM_DISPLAYFREQUENCY) &&
      mode.dmDisplayFrequency > 1) {
    return mode.dmDisplayFrequency;
  }
  return dc != nullptr ? GetDeviceCaps(dc, VREFRESH) : 0;
}

}  // namespace sorvane::engine

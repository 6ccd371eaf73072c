// The monitors and the refresh rate as Windows reports them now.
#pragma once
#include <windows.h>

#include "display_layout.h"

namespace sorvane::engine {

// The primary monitor for the animation, covers for the others.
MonitorLayout CurrentMonitorLayout();

// The primary display's refresh rate in Hz; 0 where it gives none.
double DisplayRefreshHz(HDC dc);

}  // namespace sorvane::engine

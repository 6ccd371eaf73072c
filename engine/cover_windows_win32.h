// Black windows over every monitor that the engine's own window leaves
// showing the desktop. The animation keeps the primary monitor; the covers
// are made with it, sit just below it, are made again when the monitors
// change, and go with it.
#pragma once
#include <windows.h>

#include "display_layout.h"

namespace sorvane::engine {

// Class and title of the covers. Never the engine window's name: the saver
// program watches that one window by its title.
constexpr const char* kCoverWindowName = "SorvaneCover";

// Registers the class, once per process. False when that failed.
bool RegisterCoverClass(HINSTANCE instance);

// Replaces the covers with one for each of `layout`'s, topmost and just
// below `engineWindow`, without taking activation from it: the engine
// closes as soon as it is not the active window.
void ShowCoverWindows(HINSTANCE instance, HWND engineWindow, const MonitorLayout& layout);

// Destroys the covers (with the engine window).
void DestroyCoverWindows();

}  // namespace sorvane::engine

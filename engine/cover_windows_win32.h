// Black windows over every monitor that the engine's own window leaves
// showing the desktop. The animation keeps the primary monitor; the covers
// are made with it, sit just below it, and go with it.
#pragma once
#include <windows.h>

namespace sorvane::engine {

// Class and title of the covers. Never the engine window's name: the saver
// program watches that one window by its title.
constexpr const char* kCoverWindowName = "SorvaneCover";

// More monitors than this on one desktop are not covered beyond the first ones.
constexpr int kMaxCoverWindows = 16;

// Picks the monitor rectangles that need a cover: every one of `monitors`
// that does not lie wholly inside `covered` (a monitor that mirrors the
// primary one already shows the animation). Keeps their order, writes at most
// `capacity` of them to `out` and returns how many it wrote.
int SelectCoverRects(const RECT* monitors, int count, const RECT& covered, RECT* out, int capacity);

// Registers the class, once per process. False when that failed.
bool RegisterCoverClass(HINSTANCE instance);

// Makes and shows a cover for every monitor outside `engineWindow`'s
// rectangle, topmost and just below it, without taking activation from it:
// the engine closes as soon as it is not the active window.
void CreateCoverWindows(HINSTANCE instance, HWND engineWindow);

// Destroys the covers (with the engine window).
void DestroyCoverWindows();

}  // namespace sorvane::engine

// Vertical sync for the engine's WGL context. With sync left to the driver
// and switched off, a saver on a GPU draws thousands of frames a second for a
// picture that looks the same; one frame per refresh is plenty, and the
// animation does not depend on the frame rate.
#pragma once
#include <windows.h>

#include "host.h"  // ExtensionListed

namespace sorvane::engine {

// Where WGL entry points come from: wglGetProcAddress in the engine, a
// recording stand-in in tests.
using WglProcLookup = PROC(WINAPI*)(LPCSTR name);

// With the GL context current on `dc`: asks for `interval` through
// WGL_EXT_swap_control when the context offers it (listed by
// wglGetExtensionsStringEXT or wglGetExtensionsStringARB). Returns whether
// the request was made and accepted; without the extension nothing is asked
// and the engine runs on unthrottled.
bool RequestSwapInterval(HDC dc, int interval, WglProcLookup lookup);

}  // namespace sorvane::engine

// The X11 engine's command line: standalone saver, or an xscreensaver-style
// hack drawing into a window someone else owns. No X calls here.
#pragma once
#include <cstdint>
#include <string>

#include "bgm_loop.h"

namespace sorvane::engine::x11 {

enum class HostMode {
  Standalone,  // our own full-screen window
  WindowId,    // the window given by --window-id
  Root,        // XSCREENSAVER_WINDOW if set, else the virtual root, else the root
  Help,        // print the usage, exit 0
  Error,       // print `error`, exit non-zero
};

struct HostOptions {
  HostMode mode = HostMode::Standalone;
  uint32_t windowId = 0;  // WindowId mode, or Root mode when the daemon named one
  std::string error;
  saver::BgmChoice music;  // --music FILE or --cd TRACK; none by default
};

// Decimal or 0x-hex, non-zero and within X's 29-bit resource ids. Anything
// else (signs, spaces, trailing junk, overflow) is rejected.
bool ParseWindowId(const char* text, uint32_t& id);

// `xscreensaverWindow` is the environment's XSCREENSAVER_WINDOW, or null.
HostOptions ParseHostOptions(int argc, const char* const* argv, const char* xscreensaverWindow);

const char* Usage();

}  // namespace sorvane::engine::x11

#include "x11/options.h"

#include <cstring>

namespace sorvane::engine::x11 {

bool ParseWindowId(const char* text, uint32_t& id) {
  if (!text || !*text) return false;
  unsigned base = 10;
  const char* p = text;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
    if (!*p) return false;
  }
  uint64_t value = 0;
  for (; *p; ++p) {
    unsigned digit;
    if (*p >= '0' && *p <= '9') {
      digit = static_cast<unsigned>(*p - '0');
    } else if (base == 16 && *p >= 'a' && *p <= 'f') {
      digit = static_cast<unsigned>(*p - 'a' + 10);
    } else if (base == 16 && *p >= 'A' && *p <= 'F') {
      digit = static_cast<unsigned>(*p - 'A' + 10);
    } else {
      return false;
    }
    value = value * base + digit;
    if (value > 0x1FFFFFFFu) return false;  // X resource ids have 29 bits
  }
  if (value == 0) return false;
  id = static_cast<uint32_t>(value);
  return true;
}

namespace {

// -1 (no CD), 0 (the whole disc) or a track of an audio CD, 1 to 99.
bool ParseCdTrack(const char* text, int16_t& track) {
  const bool negative = *text == '-';
  const char* p = negative ? text + 1 : text;
  if (!*p || std::strlen(p) > 2) return false;
  int value = 0;
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
  }
  if (negative && value != 1) return false;
  track = static_cast<int16_t>(negative ? -value : value);
  return true;
}

}  // namespace

HostOptions ParseHostOptions(int argc, const char* const* argv, const char* xscreensaverWindow) {
  HostOptions options;
  bool root = false, windowId = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    // Both spellings: xscreensaver passes single-dash options to older hacks.
    if (arg[0] == '-' && arg[1] == '-') ++arg;
    if (std::strcmp(arg, "-help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.mode = HostMode::Help;
      return options;
    }
    if (std::strcmp(arg, "-root") == 0) {
      root = true;
    } else if (std::strcmp(arg, "-window-id") == 0) {
      if (i + 1 >= argc) {
        options.mode = HostMode::Error;
        options.error = "--window-id needs a window id";
        return options;
      }
      if (!ParseWindowId(argv[++i], options.windowId)) {
        options.mode = HostMode::Error;
        options.error = std::string("bad window id '") + argv[i] + "' (decimal or 0x-hex)";
        return options;
      }
      windowId = true;
    } else if (std::strcmp(arg, "-music") == 0 || std::strcmp(arg, "-cd") == 0) {
      const bool cd = arg[1] == 'c';
      if (i + 1 >= argc || !*argv[i + 1]) {
        options.mode = HostMode::Error;
        options.error = cd ? "--cd needs a track number (0 for the whole disc)" : "--music needs a file";
        return options;
      }
      const char* value = argv[++i];
      int16_t track = 0;
      if (cd && !ParseCdTrack(value, track)) {
        options.mode = HostMode::Error;
        options.error = std::string("bad track '") + value + "' (0 for the whole disc, 1 to 99)";
        return options;
      }
      // One music at a time, and the last one given wins: the settings
      // dialog can set both, and a saver that refused to start would be
      // worse than one that plays the other. -1 is that dialog's "no CD".
      if (cd && track >= 0) {
        options.music = {saver::kBgmCd, track, {}};
      } else if (!cd) {
        options.music = {saver::kBgmFile, 0, value};
      }
    } else {
      options.mode = HostMode::Error;
      options.error = std::string("unknown option '") + argv[i] + "'";
      return options;
    }
  }
  // xscreensaver's settings program previews a hack by adding --window-id
  // to its usual command line (--root): the window id wins.
  if (windowId) {
    options.mode = HostMode::WindowId;
    return options;
  }
  // The daemon passes --root and names its window in the environment; a
  // hack started by it with no option at all must still find that window.
  if (root || xscreensaverWindow) {
    options.mode = HostMode::Root;
    options.windowId = 0;
    if (xscreensaverWindow && !ParseWindowId(xscreensaverWindow, options.windowId)) {
      options.mode = HostMode::Error;
      options.error = std::string("bad window id '") + xscreensaverWindow + "' in XSCREENSAVER_WINDOW";
    }
  }
  return options;
}

const char* Usage() {
  return "Usage: sorvane [--root] [--window-id ID] [--music FILE | --cd TRACK] | --help\n"
         "Soft white puffs of light rising through a slowly swaying flow.\n"
         "\n"
         "  (no option)      full-screen saver on every monitor; Escape, a click or\n"
         "                   switching to another window ends it\n"
         "  --root           draw into the window named by XSCREENSAVER_WINDOW, else the\n"
         "                   virtual root, else the root window (as an xscreensaver hack)\n"
         "  --window-id ID   draw into the window ID (decimal or 0x-hex), with or\n"
         "                   without --root\n"
         "  --music FILE     play FILE (any sound file GStreamer plays: MP3, WAV, Ogg,\n"
         "                   FLAC, ...) over and over while it runs\n"
         "  --cd TRACK       play the audio CD: 0 the whole disc, again and again; N\n"
         "                   repeats track N\n"
         "  --help           show this text\n"
         "\n"
         "With --root or --window-id it runs until the window is destroyed or it gets\n"
         "SIGTERM or SIGINT, and then ends by that signal; the music ends with it.\n"
         "Single-dash spellings (-root, -window-id, -music, -cd) work too.\n";
}

}  // namespace sorvane::engine::x11

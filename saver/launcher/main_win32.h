// Win32 pieces of start-up that the saver run and the preview share. Windows only.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "saver/launcher/text_win32.h"

namespace sorvane::saver {

// The argument text after the program name, as a screen saver receives it:
// the program name (quoted or not) and the blanks after it are skipped.
std::string CommandLineText(const char* full_command_line);

// The folder of the running program, without a trailing backslash.
FolderNames ModuleFolder();

// ShowCursor with a test hook: when SORVANE_CURSOR_TRACE names a file, each
// call appends "hide N" or "show N" to it, N being the display counter that
// the call left. The counter belongs to the calling thread's input state and
// cannot be read from another process, so this is how an end-to-end test sees it.
int ShowCursorTraced(bool show);

// The command line text for the whole life of the process (the unload reads it).
const std::string& ProcessCommandLine();

// Shows the still picture inside the host window whose handle followed /p, and
// returns when the host is gone; defined in preview_win32.cpp.
void StartPreviewWindow(int32_t parent);

// Loads the hidden saver form; defined in saver_run_win32.cpp.
void LoadSaverForm();

}  // namespace sorvane::saver

// The program's texts are code page 932 bytes on every system. Windows' "A"
// calls read bytes in the system's code page instead, so everything handed to
// Windows for display or as a file name goes through these conversions and the
// wide ("W") calls. Windows only.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace sorvane::saver {

// Code page 932 bytes as UTF-16. Bytes that are no character of code page 932
// become what the system's table makes of them (never an empty result for a
// non-empty text).
std::wstring WideFrom932(const std::string& text);

// UTF-16 as code page 932 bytes; nothing when a character has no exact
// counterpart there (no best-fit look-alikes, no '?').
std::optional<std::string> Text932From(const std::wstring& text);

// UTF-16 as code page 932 bytes, '?' for each character that has none there
// (as the "A" calls hand back such text).
std::string Text932WithStandIns(const std::wstring& text);

// A path in a form that code page 932 can hold: the path itself when it can,
// else the volume's short (8.3) name for it; nothing when neither can be had.
// `short_name` gives the short form of a path, or empty when there is none.
using ShortNameFn = std::function<std::wstring(const std::wstring&)>;
std::optional<std::string> PathFor932(const std::wstring& path, const ShortNameFn& short_name);
std::optional<std::string> PathFor932(const std::wstring& path);  // ShortPathOf

// The volume's short (8.3) form of an existing path; empty when there is none.
std::wstring ShortPathOf(const std::wstring& path);

// The program folder under both of its names. `text` is what the program
// shows and builds its code page 932 paths from: the folder itself when code
// page 932 can hold it, else its short name, else a stand-in with '?' for each
// character it lacks (no real path holds a '?', so no other path is taken for
// one inside the folder). `wide` is the exact UTF-16 folder; file operations
// on the folder's files go through it (WidePath). No trailing backslash.
struct FolderNames {
  std::string text;
  std::wstring wide;
};
// The folder of a program's full path; both empty when it has no backslash.
FolderNames FolderOf(const std::wstring& program_path, const ShortNameFn& short_name);

// The UTF-16 path of a code page 932 path: one inside `folder` (its text
// followed by a backslash, or the text itself) is taken from the folder's
// exact UTF-16 name; any other path is converted as it is.
std::wstring WidePathIn(const std::string& path, const FolderNames& folder);
// The same for the program folder (ProgramFolder and ProgramFolderW).
std::wstring WidePath(const std::string& path);

// MessageBox with code page 932 text and caption, whatever the system's code page.
int MessageBox932(HWND owner, const std::string& text, const std::string& caption, UINT style);

// True where the system's ANSI code page is 932, so "A" calls read our bytes as meant.
bool SystemIs932();

}  // namespace sorvane::saver

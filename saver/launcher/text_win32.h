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

// A path in a form that code page 932 can hold: the path itself when it can,
// else the volume's short (8.3) name for it; nothing when neither can be had.
// `short_name` gives the short form of a path, or empty when there is none.
using ShortNameFn = std::function<std::wstring(const std::wstring&)>;
std::optional<std::string> PathFor932(const std::wstring& path, const ShortNameFn& short_name);
std::optional<std::string> PathFor932(const std::wstring& path);  // ShortPathOf

// The volume's short (8.3) form of an existing path; empty when there is none.
std::wstring ShortPathOf(const std::wstring& path);

// MessageBox with code page 932 text and caption, whatever the system's code page.
int MessageBox932(HWND owner, const std::string& text, const std::string& caption, UINT style);

// True where the system's ANSI code page is 932, so "A" calls read our bytes as meant.
bool SystemIs932();

}  // namespace sorvane::saver

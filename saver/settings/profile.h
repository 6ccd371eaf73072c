// Profile (INI) files read and written the way Windows' private-profile
// functions do it, for systems that have none. Text is code page 932 bytes.
//
// Reading: lines end in CRLF, LF or CR; every line is trimmed (space, tab,
// 0x0A-0x0D, 0x1A). "[name]" starts a section (name between '[' and the last
// ']', trimmed); any other line is a key line split at its first '=' (key and
// value trimmed; a line without '=' is a key with no value). Names match without
// regard to ASCII case, character by character under code page 932 (a lead byte
// and its trail byte are one character and compare exactly). Only the first
// matching section and, in it, the first matching key count. A value quoted at
// both ends with the same quote loses that pair.
//
// Writing edits the file in place: lines the write does not concern stay byte
// for byte. An existing key's line becomes key=value (the file's own spelling
// of the key); a new key goes after the last line of its section; a new section
// goes at the end of the file; new lines end in CRLF. A missing file is
// created; a missing folder is not.
#pragma once
#include <optional>
#include <string>

namespace sorvane::saver::profile {

// ---- On the file's bytes -------------------------------------------------

// The value of key in section, or nothing where Windows would hand back the
// caller's default (missing section or key, or a key line without '=').
std::optional<std::string> Lookup(const std::string& contents, const std::string& section,
                                  const std::string& key);

// Sets key in section to value (written raw, nothing escaped). Returns false
// when the stored value already equals value, in which case contents are
// untouched.
bool Update(std::string* contents, const std::string& section, const std::string& key,
            const std::string& value);

// True for the first byte of a two-byte code page 932 character.
bool IsLeadByte(unsigned char c);

// ASCII-case-insensitive comparison by code page 932 characters.
bool NamesMatch(const std::string& a, const std::string& b);

// ---- On a file (a path in the platform's own form) -----------------------

// The value, whole; the empty text for a missing or unreadable file, section
// or key. Like the system call's result, it ends at its first NUL byte.
std::string GetString(const std::string& path, const std::string& section,
                      const std::string& key);

// Writes one value; creates the file, section and key as needed. False when
// the file cannot be read or written (missing folder, a folder of that name,
// no write access); the file is then left as it was.
bool WriteString(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value);

}  // namespace sorvane::saver::profile

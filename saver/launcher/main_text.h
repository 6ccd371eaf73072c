// Character-wise views of code page 932 text: the command line and file names
// are Shift_JIS, so "the n-th character" may be two bytes.
#pragma once
#include <cstddef>
#include <string>

namespace sorvane::saver {

// True for a byte that starts a two-byte Shift_JIS character.
bool IsCp932LeadByte(unsigned char byte);

// The text from character `first` (0-based) on; empty when the text is shorter.
std::string Cp932From(const std::string& text, std::size_t first);

// The character at `index` (0-based), or empty when there is none.
std::string Cp932CharAt(const std::string& text, std::size_t index);

// The last `count` characters (the whole text when it is shorter).
std::string Cp932Right(const std::string& text, std::size_t count);

// Upper case for the single-byte Latin letters; everything else unchanged.
std::string UpperAscii(std::string text);

}  // namespace sorvane::saver

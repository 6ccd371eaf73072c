// Numbers as text, the way the saver reads and writes them: the settings file,
// the repeat-track combo box and the preview handle on the command line.
// Every function is locale-independent and never throws.
#pragma once
#include <cstdint>
#include <string>

namespace sorvane::saver {

// Strict reading of a number typed by a person or stored in the settings file:
// optional blanks (space, tab), an optional sign (+ or -), digits with an
// optional decimal fraction (".5", "5." and "007" are numbers), optional blanks.
// Nothing else: no exponent ("1e3"), no "&H" hexadecimal, no thousands
// separators, no currency signs. A settings value that could only be read by
// guessing stays unread, so the setting keeps its default.
// Returns false (and leaves *value alone) when the text is not such a number.
bool ParseGeneralNumber(const std::string& text, double* value);

// The whole number nearest to v; a half goes to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double v);

// Largest whole number not above v, as 16 bits. False when it does not fit
// (or v is not finite); *out is then left alone.
bool FloorToInt16(double v, int16_t* out);

// RoundHalfEven to 16 bits. False when the rounded value does not fit.
bool RoundToInt16(double v, int16_t* out);

// The "##" pattern: digits without leading zeros, a minus sign for negative
// numbers, and the empty text for 0.
std::string FormatHashHash(int32_t value);

// Plain decimal text: optional minus sign and digits, no leading zeros,
// no plus sign, no blanks.
std::string DecimalText(int32_t value);

// Lenient reading of a window handle from the command line. Blanks, tabs and
// line feeds are skipped wherever they stand; reading stops at the first
// character that cannot continue the number; "&H" (either case) starts
// hexadecimal digits, read as a 32-bit pattern (&HFFFFFFFF is -1); otherwise an
// optional sign, digits and a decimal fraction (no exponent), rounded to the
// nearest whole number with a half going to the even neighbour. Text with no
// number gives 0. Returns false when the value does not fit in 32 bits (more
// than 8 hexadecimal digits, or decimal outside -2147483648..2147483647 after
// rounding); *out is then left alone.
bool ParseLenientHandle(const std::string& text, int32_t* out);

}  // namespace sorvane::saver

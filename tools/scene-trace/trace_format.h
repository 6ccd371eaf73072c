// Text conversions of scene-trace that must come out the same on every
// target: decimal text to float (correctly rounded, by exact big-integer
// arithmetic rather than the C runtime's strtof), and a double in glibc's
// printf "%a" form (msvcrt and glibc print hex floats differently).
#pragma once
#include <cstddef>

namespace sorvane::tools {

// Parses [+-]digits[.digits][(e|E)[+-]digits] (at least one digit in the
// mantissa, nothing else before or after) and rounds it to the nearest float,
// ties to even; too large gives infinity, too small zero. False on any other
// text (including "inf", "nan" and hex forms).
bool ParseDecimalFloat(const char* text, float* out);

// Writes v as glibc's printf("%a") does, except that every NaN is written
// "nan" whatever its sign. out must hold at least kHexFloatMax bytes; returns
// the length written (without the terminating NUL).
constexpr std::size_t kHexFloatMax = 32;
std::size_t FormatHexFloat(double v, char* out);

}  // namespace sorvane::tools

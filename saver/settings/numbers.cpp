#include "numbers.h"

#include <charconv>
#include <cmath>

namespace sorvane::saver {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Converts "digits[.digits]" (at least one digit, already checked) without
// depending on the C locale's decimal point.
double ConvertUnsigned(const char* first, const char* last) {
  double v = 0;
  auto r = std::from_chars(first, last, v, std::chars_format::fixed);
  if (r.ec == std::errc::result_out_of_range) {
    // Out of range either way: too large only when a digit before the point
    // is not zero; "0.000...1" is too small, which is 0.
    for (const char* p = first; p != last && *p != '.'; ++p)
      if (*p != '0') return HUGE_VAL;
    return 0.0;
  }
  return v;
}

}  // namespace

bool ParseGeneralNumber(const std::string& text, double* value) {
  size_t i = 0, n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t start = i;
  size_t digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0 || i != n) return false;
  double v = ConvertUnsigned(text.data() + start, text.data() + n);
  *value = negative ? -v : v;
  return true;
}

double RoundHalfEven(double v) {
  // The default floating-point rounding mode is to nearest, ties to even;
  // nothing in the program changes it.
  return std::nearbyint(v);
}

bool FloorToInt16(double v, int16_t* out) {
  if (!std::isfinite(v)) return false;
  double f = std::floor(v);
  if (f < -32768.0 || f > 32767.0) return false;
  *out = static_cast<int16_t>(f);
  return true;
}

bool RoundToInt16(double v, int16_t* out) {
  if (!std::isfinite(v)) return false;
  double r = RoundHalfEven(v);
  if (r < -32768.0 || r > 32767.0) return false;
  *out = static_cast<int16_t>(r);
  return true;
}

std::string FormatHashHash(int32_t value) {
  return value == 0 ? std::string() : DecimalText(value);
}

std::string DecimalText(int32_t value) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

bool ParseLenientHandle(const std::string& text, int32_t* out) {
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  }
  size_t i = 0;
  const size_t n = s.size();
  if (n >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
    uint64_t v = 0;
    for (i = 2; i < n && HexValue(s[i]) >= 0; ++i) {
      v = v * 16 + static_cast<uint64_t>(HexValue(s[i]));
      if (v > 0xFFFFFFFFull) return false;
    }
    *out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const size_t start = i;
  size_t digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    size_t frac = 0;
    while (i < n && IsDigit(s[i])) ++i, ++frac;
    digits += frac;
  }
  if (digits == 0) {
    *out = 0;
    return true;
  }
  double v = ConvertUnsigned(s.data() + start, s.data() + i);
  double r = RoundHalfEven(negative ? -v : v);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) return false;
  *out = static_cast<int32_t>(r);
  return true;
}

}  // namespace sorvane::saver

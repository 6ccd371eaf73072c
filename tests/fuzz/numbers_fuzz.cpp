// The number rules on random text: the general conversion agrees with the C
// library's strtod wherever it accepts a text, the whole-number conversions
// keep their bounds, the lenient handle reading never fails on short text, and
// decimal text reads back as the same number.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "saver/settings/numbers.h"

using namespace sorvane::saver;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  double v = 12345;
  if (ParseGeneralNumber(text, &v)) {
    if (std::isnan(v)) __builtin_trap();
    // Accepted text is digits, a point, a sign and blanks only: strtod reads it whole.
    const std::string c = text.c_str();  // strtod stops at a NUL; so does the check below
    if (c.size() == text.size()) {
      char* end = nullptr;
      const double want = std::strtod(c.c_str(), &end);
      if (want != v) __builtin_trap();
    }
    int16_t f = 0, r = 0;
    if (FloorToInt16(v, &f) && !(f <= v && v < f + 1.0)) __builtin_trap();
    if (RoundToInt16(v, &r) && !(std::fabs(r - v) <= 0.5)) __builtin_trap();
  } else if (v != 12345) {
    __builtin_trap();  // a refused text leaves the value alone
  }

  int32_t handle = 777;
  const bool fits = ParseLenientHandle(text, &handle);
  if (!fits && handle != 777) __builtin_trap();

  if (size >= 4) {
    int32_t n;
    std::memcpy(&n, data, 4);
    double back = 0;
    if (!ParseGeneralNumber(DecimalText(n), &back) || back != n) __builtin_trap();
    int32_t h = 0;
    if (!ParseLenientHandle(DecimalText(n), &h) || h != n) __builtin_trap();
    if ((n == 0) != FormatHashHash(n).empty()) __builtin_trap();
  }
  return 0;
}

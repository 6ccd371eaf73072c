// The scene-trace number reader on random text: wherever it accepts a text,
// it gives the correctly rounded float that glibc's strtof gives.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "trace_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  float v = 0;
  if (!sorvane::tools::ParseDecimalFloat(text.c_str(), &v)) return 0;
  const float want = std::strtof(text.c_str(), nullptr);
  uint32_t a, b;
  std::memcpy(&a, &v, 4);
  std::memcpy(&b, &want, 4);
  if (a != b) __builtin_trap();
  char out[sorvane::tools::kHexFloatMax];
  if (sorvane::tools::FormatHexFloat(v, out) >= sizeof out) __builtin_trap();
  return 0;
}

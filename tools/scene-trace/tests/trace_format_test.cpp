// The trace's text conversions: decimal parsing must round exactly like a
// correctly rounded strtof, and the hex form must be glibc's "%a", on every
// target (so the Windows build cannot lean on its C runtime for either).
#include "trace_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace sorvane::tools {
namespace {

uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}
float BitsFloat(uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

float Parse(const std::string& text) {
  float f = 12345.0f;
  EXPECT_TRUE(ParseDecimalFloat(text.c_str(), &f)) << text;
  return f;
}

std::string Hex(double v) {
  char buf[kHexFloatMax];
  const std::size_t n = FormatHexFloat(v, buf);
  EXPECT_EQ(n, std::strlen(buf));
  return buf;
}

// Exact decimal expansion of a double (every binary fraction terminates).
std::string ExactDecimal(double v) {
  char buf[1200];
  std::snprintf(buf, sizeof buf, "%.1100f", v);
  std::string s = buf;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

TEST(ParseDecimalFloat, RoundsToNearestFloat) {
  EXPECT_EQ(Parse("0.0166667"), 0.0166667f);
  EXPECT_EQ(Parse("2.5"), 2.5f);
  EXPECT_EQ(Parse("+7"), 7.0f);
  EXPECT_EQ(Parse("-0.001"), -0.001f);
  EXPECT_EQ(Parse(".5"), 0.5f);
  EXPECT_EQ(Parse("5."), 5.0f);
  EXPECT_EQ(Parse("123.456e-3"), 0.123456f);
  EXPECT_EQ(Parse("1E+2"), 100.0f);
  EXPECT_EQ(Parse("0.000000000000000000000000000000000000011754943508222875"),
            std::numeric_limits<float>::min());
  EXPECT_EQ(Parse("3.4028234663852886e38"), std::numeric_limits<float>::max());
  EXPECT_EQ(Parse("1.4e-45"), std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(FloatBits(Parse("-0")), 0x80000000u);
  EXPECT_EQ(Parse("0e99999999999"), 0.0f);
  EXPECT_EQ(Parse("1e39"), std::numeric_limits<float>::infinity());
  EXPECT_EQ(Parse("-1e39"), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(Parse("1e-46"), 0.0f);
  EXPECT_EQ(Parse("0.1"), 0.1f);
  // 250 digits: the tail past the kept digits still decides the rounding.
  std::string longOne = "1." + std::string(248, '0') + "1";
  EXPECT_EQ(Parse(longOne), 1.0f);
}

TEST(ParseDecimalFloat, HalfwayCasesTieToEvenAndAnyExcessRoundsUp) {
  // Exactly half-way between two neighbouring floats, in every range.
  const float samples[] = {1.0f, 0.0166667f, 3.0e-39f /* subnormal */, 16384.0f, 1.0e30f,
                           std::numeric_limits<float>::denorm_min()};
  for (float lo : samples) {
    const float hi = std::nextafter(lo, 1.0e38f);
    const double mid = (static_cast<double>(lo) + static_cast<double>(hi)) / 2;  // exact
    const std::string text = ExactDecimal(mid);
    const float even = (FloatBits(lo) & 1) == 0 ? lo : hi;
    EXPECT_EQ(Parse(text), even) << text;
    const std::string tail = text.find('.') == std::string::npos ? ".000000000000000000000001"
                                                                  : "000000000000000000000001";
    EXPECT_EQ(Parse(text + tail), hi) << text;
    // Just below the middle: drop to the lower neighbour.
    const double below = std::nextafter(mid, 0.0);
    EXPECT_EQ(Parse(ExactDecimal(below)), lo);
  }
  // The largest float plus half an ulp overflows; just under it does not.
  const double maxHalf = static_cast<double>(std::numeric_limits<float>::max()) + 0x1p103;
  EXPECT_EQ(Parse(ExactDecimal(maxHalf)), std::numeric_limits<float>::infinity());
  EXPECT_EQ(Parse(ExactDecimal(std::nextafter(maxHalf, 0.0))), std::numeric_limits<float>::max());
  // Half the smallest subnormal ties to zero; a hair more gives the subnormal.
  EXPECT_EQ(Parse(ExactDecimal(0x1p-150)), 0.0f);
  EXPECT_EQ(Parse(ExactDecimal(0x1p-150) + "1"), std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(Parse("1." + std::string(60, '0') + "e-45"), std::numeric_limits<float>::denorm_min());
}

TEST(ParseDecimalFloat, RejectsAnythingButAPlainDecimal) {
  for (const char* bad : {"", "+", "-", ".", "e5", "1e", "1e+", "1.2.3", "0x1p3", "inf", "nan",
                          "1,5", " 1", "1 ", "1f", "--1", "1e5.0"}) {
    float f = 7.0f;
    EXPECT_FALSE(ParseDecimalFloat(bad, &f)) << '"' << bad << '"';
    EXPECT_EQ(f, 7.0f) << "output must stay untouched on failure";
  }
  EXPECT_FALSE(ParseDecimalFloat(nullptr, nullptr));
}

#ifndef _WIN32
// glibc's strtof is correctly rounded: the parser must agree with it on any
// decimal text, including long and extreme ones.
TEST(ParseDecimalFloat, AgreesWithGlibcStrtof) {
  std::mt19937_64 gen(20261209);
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    if (gen() % 2) text += '-';
    const int intDigits = static_cast<int>(gen() % 12);
    const int fracDigits = static_cast<int>(gen() % 30);
    for (int d = 0; d < intDigits; ++d) text += static_cast<char>('0' + gen() % 10);
    if (fracDigits > 0 || intDigits == 0) {
      text += '.';
      for (int d = 0; d < fracDigits || (intDigits == 0 && d == 0); ++d)
        text += static_cast<char>('0' + gen() % 10);
    }
    if (gen() % 3 == 0) text += "e" + std::to_string(static_cast<int>(gen() % 100) - 55);
    const float expected = std::strtof(text.c_str(), nullptr);
    ASSERT_EQ(FloatBits(Parse(text)), FloatBits(expected)) << text;
  }
  // Very long mantissas and extreme exponents: past the 200 kept digits and
  // at the edges of the float range.
  for (int i = 0; i < 3000; ++i) {
    std::string text = (gen() % 2) ? "0." : "";
    const int zeros = static_cast<int>(gen() % 60);
    if (!text.empty()) text += std::string(static_cast<std::size_t>(zeros), '0');
    const int digits = 1 + static_cast<int>(gen() % 400);
    for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + gen() % 10);
    text += "e" + std::to_string(static_cast<int>(gen() % 500) - 300);
    const float expected = std::strtof(text.c_str(), nullptr);
    ASSERT_EQ(FloatBits(Parse(text)), FloatBits(expected)) << text;
  }
  // Exact decimal forms of random floats and of the midpoints between them.
  for (int i = 0; i < 20000; ++i) {
    const float f = BitsFloat(static_cast<uint32_t>(gen()) & 0x7f7fffffu);
    const float g = std::nextafter(f, 1.0e38f);
    const std::string mid = ExactDecimal((static_cast<double>(f) + static_cast<double>(g)) / 2);
    ASSERT_EQ(FloatBits(Parse(mid)), FloatBits(std::strtof(mid.c_str(), nullptr))) << mid;
    ASSERT_EQ(FloatBits(Parse(ExactDecimal(f))), FloatBits(f));
  }
}

TEST(FormatHexFloat, MatchesGlibcPrintf) {
  std::mt19937_64 gen(7);
  auto check = [](double v) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%a", v);
    ASSERT_EQ(Hex(v), expected);
  };
  for (double v : {0.0, -0.0, 1.0, -1.0, 3.0, 0.5, 0.1, 1e300, -1e-300, 0x1p-1022,
                   0x1p-1074, 0x1.fffffffffffffp-1023, 4.9e-324, 1.7976931348623157e308,
                   std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity()}) {
    check(v);
  }
  for (int i = 0; i < 100000; ++i) {
    uint64_t bits = gen();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    const double widened = static_cast<double>(BitsFloat(static_cast<uint32_t>(bits)));
    if (!std::isnan(v)) check(v);
    if (!std::isnan(widened)) check(widened);
  }
}
#endif

TEST(FormatHexFloat, FormsOfFloatsWidened) {
  EXPECT_EQ(Hex(1.0), "0x1p+0");
  EXPECT_EQ(Hex(3.0), "0x1.8p+1");
  EXPECT_EQ(Hex(-2.5), "-0x1.4p+1");
  EXPECT_EQ(Hex(0.0), "0x0p+0");
  EXPECT_EQ(Hex(-0.0), "-0x0p+0");
  EXPECT_EQ(Hex(static_cast<double>(0.1f)), "0x1.99999ap-4");
  EXPECT_EQ(Hex(static_cast<double>(std::numeric_limits<float>::denorm_min())), "0x1p-149");
  EXPECT_EQ(Hex(0x1p-1074), "0x0.0000000000001p-1022");
  EXPECT_EQ(Hex(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(Hex(-std::numeric_limits<double>::infinity()), "-inf");
  // NaN is "nan" whatever its sign or payload.
  EXPECT_EQ(Hex(std::nan("")), "nan");
  EXPECT_EQ(Hex(-std::nan("")), "nan");
  EXPECT_EQ(Hex(static_cast<double>(BitsFloat(0xffc00001u))), "nan");
}

}  // namespace
}  // namespace sorvane::tools

#include "numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace sorvane::saver {
namespace {

struct GeneralCase {
  const char* text;
  bool ok;
  double value;
};

TEST(ParseGeneralNumber, AcceptsSignDigitsAndDecimalFractionOnly) {
  const GeneralCase cases[] = {
      {"0", true, 0},        {"2", true, 2},          {"-1", true, -1},   {"+5", true, 5},
      {"2.9", true, 2.9},    {"-0.5", true, -0.5},    {".5", true, 0.5},  {"5.", true, 5},
      {"007", true, 7},      {"-0010.50", true, -10.5}, {" 12\t", true, 12},
      {"99999", true, 99999}, {"123456789012345678901234567890", true, 1.2345678901234568e29},
      {"", false, 0},        {" ", false, 0},         {"-", false, 0},    {".", false, 0},
      {"+.", false, 0},      {"abc", false, 0},       {"1e3", false, 0},  {"1E3", false, 0},
      {"&H10", false, 0},    {"1,000", false, 0},     {"1 2", false, 0},  {"--1", false, 0},
      {"1.2.3", false, 0},   {"0x10", false, 0},      {"12a", false, 0},  {"\xEF\xBC\x91", false, 0},
      {"inf", false, 0},     {"nan", false, 0},       {"1-", false, 0},
  };
  for (const auto& c : cases) {
    double v = -12345;
    EXPECT_EQ(ParseGeneralNumber(c.text, &v), c.ok) << '"' << c.text << '"';
    if (c.ok) EXPECT_DOUBLE_EQ(v, c.value) << '"' << c.text << '"';
    else EXPECT_EQ(v, -12345) << "left alone for \"" << c.text << '"';
  }
}

TEST(ParseGeneralNumber, StopsAtEmbeddedNulAsText) {
  double v = 0;
  EXPECT_FALSE(ParseGeneralNumber(std::string("1\0" "2", 3), &v));
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-3.5), -4);
  EXPECT_EQ(RoundHalfEven(2.4999999), 2);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(RoundHalfEven(-0.4), 0);
  EXPECT_EQ(RoundHalfEven(7), 7);
}

TEST(WholeNumbers, FloorAndRoundToSixteenBitsRejectWhatDoesNotFit) {
  int16_t v = 99;
  EXPECT_TRUE(FloorToInt16(2.9, &v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(FloorToInt16(-0.5, &v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(FloorToInt16(32767.99, &v));
  EXPECT_EQ(v, 32767);
  EXPECT_TRUE(FloorToInt16(-32768, &v));
  EXPECT_EQ(v, -32768);
  v = 99;
  EXPECT_FALSE(FloorToInt16(32768, &v));
  EXPECT_FALSE(FloorToInt16(-32768.01, &v));
  EXPECT_FALSE(FloorToInt16(1e300 * 10, &v));
  EXPECT_EQ(v, 99);

  EXPECT_TRUE(RoundToInt16(2.5, &v));
  EXPECT_EQ(v, 2);
  EXPECT_TRUE(RoundToInt16(32767.4, &v));
  EXPECT_EQ(v, 32767);
  EXPECT_TRUE(RoundToInt16(-32768.5, &v));  // ties to even: -32768
  EXPECT_EQ(v, -32768);
  v = 99;
  EXPECT_FALSE(RoundToInt16(32767.5, &v));  // ties to even: 32768
  EXPECT_FALSE(RoundToInt16(-32769, &v));
  EXPECT_EQ(v, 99);
}

TEST(NumberText, DecimalAndHashHashFormats) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(2), "2");
  EXPECT_EQ(DecimalText(-1), "-1");
  EXPECT_EQ(DecimalText(-32768), "-32768");
  EXPECT_EQ(DecimalText(INT32_MIN), "-2147483648");
  EXPECT_EQ(FormatHashHash(0), "");
  EXPECT_EQ(FormatHashHash(5), "5");
  EXPECT_EQ(FormatHashHash(30), "30");
  EXPECT_EQ(FormatHashHash(-7), "-7");
  EXPECT_EQ(FormatHashHash(12345), "12345");
}

struct HandleCase {
  const char* text;
  bool ok;
  int32_t value;
};

TEST(ParseLenientHandle, ReadsAsMuchOfANumberAsThereIs) {
  const HandleCase cases[] = {
      {"1234", true, 1234},          {" 1234", true, 1234},         {":1234", true, 0},
      {"  1234", true, 1234},        {"\t12\n34 ", true, 1234},     {"12 34", true, 1234},
      {"1234abc", true, 1234},       {"12:34", true, 12},           {"", true, 0},
      {"abc", true, 0},              {"-5", true, -5},              {"+5", true, 5},
      {"- 5", true, -5},             {"12.5", true, 12},            {"13.5", true, 14},
      {"12.6x", true, 13},           {".5", true, 0},               {"1e3", true, 1},
      {"&H1F", true, 31},            {"&h1f", true, 31},            {"& H1F", true, 31},
      {"&HFFFFFFFF", true, -1},      {"&H7FFFFFFF", true, 2147483647}, {"&H", true, 0},
      {"&HG", true, 0},              {"&Q12", true, 0},             {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN}, {"0002", true, 2},
      {"2147483648", false, 0},      {"-2147483649", false, 0},     {"&H100000000", false, 0},
      {"99999999999999999999999", false, 0},
  };
  for (const auto& c : cases) {
    int32_t v = 777;
    EXPECT_EQ(ParseLenientHandle(c.text, &v), c.ok) << '"' << c.text << '"';
    EXPECT_EQ(v, c.ok ? c.value : 777) << '"' << c.text << '"';
  }
}

TEST(ParseLenientHandle, CopesWithHugeText) {
  int32_t v = 777;
  EXPECT_FALSE(ParseLenientHandle(std::string(1 << 20, '9'), &v));
  EXPECT_TRUE(ParseLenientHandle(std::string(1 << 20, ' ') + "42", &v));
  EXPECT_EQ(v, 42);
}


// Many zeros after the point make a number too small for a double, not a huge
// one: a stored "0.000...1" is 0 (kind 0), not a failed read or infinity.
TEST(Numbers, TinyValuesUnderflowTowardZeroAndHugeOnesStayHuge) {
  for (int zeros = 0; zeros <= 1200; zeros += (zeros < 340 ? 1 : 37)) {
    for (const char* whole : {"", "0", "000"}) {
      for (const char* sign : {"", "+", "-"}) {
        const std::string text = std::string(sign) + whole + "." + std::string(size_t(zeros), '0') + "1";
        double v = 99;
        ASSERT_TRUE(ParseGeneralNumber(text, &v)) << text;
        const double bound = std::pow(10.0, -zeros);  // 0 once below the smallest double
        ASSERT_TRUE(std::isfinite(v)) << zeros;
        EXPECT_LE(std::fabs(v), bound) << zeros;
        if (sign[0] == '-') EXPECT_LE(v, 0.0) << zeros; else EXPECT_GE(v, 0.0) << zeros;
        int16_t whole16 = 123;
        ASSERT_TRUE(FloorToInt16(v, &whole16)) << zeros;
        EXPECT_EQ(whole16, v < 0 ? -1 : 0) << zeros;
        ASSERT_TRUE(RoundToInt16(v, &whole16)) << zeros;
        EXPECT_EQ(whole16, 0) << zeros;
        int32_t handle = 777;
        ASSERT_TRUE(ParseLenientHandle(text, &handle)) << zeros;
        EXPECT_EQ(handle, 0) << zeros;
      }
    }
    // A whole part keeps its value however long the tiny fraction.
    double v = 0;
    ASSERT_TRUE(ParseGeneralNumber("7." + std::string(size_t(zeros), '0') + "1", &v));
    EXPECT_GE(v, 7.0);
    EXPECT_LT(v, 7.2);
  }
  double v = 0;
  ASSERT_TRUE(ParseGeneralNumber("1" + std::string(400, '0') + ".5", &v));
  EXPECT_FALSE(std::isfinite(v) && v < 1e308);
  int16_t whole16 = 5;
  EXPECT_FALSE(FloorToInt16(v, &whole16));
  EXPECT_EQ(whole16, 5);
}

}  // namespace
}  // namespace sorvane::saver

// The portable maths: within one ulp of the exact value (checked against
// glibc's libm natively), exact on the special values the scene runs into,
// and identical in its own right on every target.
#include "detmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

namespace sorvane::engine::detmath {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

TEST(Detmath, SpecialValues) {
  EXPECT_EQ(Sin(0.0), 0.0);
  EXPECT_TRUE(std::signbit(Sin(-0.0)));
  EXPECT_EQ(Cos(0.0), 1.0);
  EXPECT_TRUE(std::isnan(Sin(kInf)));
  EXPECT_TRUE(std::isnan(Cos(-kInf)));
  EXPECT_TRUE(std::isnan(Sin(NAN)));
  EXPECT_EQ(Log(1.0), 0.0);
  EXPECT_EQ(Log(0.0), -kInf);
  EXPECT_EQ(Log(kInf), kInf);
  EXPECT_TRUE(std::isnan(Log(-1.0)));
  EXPECT_TRUE(std::isnan(Log(NAN)));
  // The scene's powers: the alpha of a puff with a negative size is NaN.
  EXPECT_TRUE(std::isnan(Pow(-0.3, 0.5)));
  EXPECT_TRUE(std::isnan(Pow(-1e-30, 0.5)));
  EXPECT_EQ(Pow(0.0, 0.5), 0.0);
  EXPECT_EQ(Pow(0.25, 0.5), 0.5);
  EXPECT_EQ(Pow(0.4, 0.0), 1.0);
  EXPECT_EQ(Pow(NAN, 0.0), 1.0);
  EXPECT_EQ(Pow(0.4, kInf), 0.0);
  EXPECT_EQ(Pow(0.4, -kInf), kInf);
  EXPECT_EQ(Pow(2.0, 10.0), 1024.0);
  EXPECT_EQ(Pow(-2.0, 3.0), -8.0);
  EXPECT_EQ(Pow(0.4, 1.0), 0.4);
  EXPECT_EQ(Pow(0.4, 2000.0), 0.0);  // underflow
  EXPECT_EQ(Pow(0.4, -2000.0), kInf);
  EXPECT_TRUE(std::isnan(Pow(0.4, NAN)));
  // Huge arguments go through the long reduction: sin(1e22) is a classic.
  EXPECT_NEAR(Sin(1e22), -0.8522008497671888, 3e-16);
  EXPECT_NEAR(Cos(1e22), 0.5232147853951389, 3e-16);
  EXPECT_EQ(Scalbn(1.0, -1074), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(Scalbn(1.0, 1024), kInf);
  EXPECT_EQ(Floor(-0.5), -1.0);
  EXPECT_EQ(Floor(2.0), 2.0);
  EXPECT_EQ(Floor(1e300), 1e300);
}

TEST(Detmath, IdentitiesHoldToRounding) {
  std::mt19937_64 gen(5);
  std::uniform_real_distribution<double> any(-30.0, 30.0);
  for (int i = 0; i < 20000; ++i) {
    const double x = any(gen);
    const double s = Sin(x), c = Cos(x);
    ASSERT_NEAR(s * s + c * c, 1.0, 4e-16) << x;
    ASSERT_EQ(Sin(-x), -s);
    ASSERT_EQ(Cos(-x), c);
    const double p = std::fabs(x) + 0.001;
    ASSERT_NEAR(Log(p * 2.0), Log(p) + 0.6931471805599453, 1e-14) << p;
    ASSERT_NEAR(Pow(p, 0.5) * Pow(p, 0.5), p, p * 5e-16);
    ASSERT_NEAR(Pow(0.4, x), Pow(0.4, x / 2) * Pow(0.4, x / 2), Pow(0.4, x) * 1e-15);
  }
}

#if defined(__GLIBC__)
int64_t Ordered(double x) {
  int64_t i;
  std::memcpy(&i, &x, sizeof i);
  return i < 0 ? INT64_MIN - i : i;
}
int64_t Ulps(double a, double b) {
  const int64_t d = Ordered(a) - Ordered(b);
  return d < 0 ? -d : d;
}

// glibc's sin, cos, log and pow are accurate to well under one ulp, so
// agreement within one ulp, and exactly in the great majority of cases,
// shows the portable versions right.
template <typename F, typename G, typename Arg>
void Compare(const char* what, F mine, G libm, Arg arg, int n) {
  std::mt19937_64 gen(11);
  int exact = 0;
  for (int i = 0; i < n; ++i) {
    double x, y;
    arg(gen, x, y);
    const double a = mine(x, y), b = libm(x, y);
    if (std::isnan(b)) {
      ASSERT_TRUE(std::isnan(a)) << what << " " << x << " " << y;
      ++exact;
      continue;
    }
    ASSERT_LE(Ulps(a, b), 1) << what << "(" << x << ", " << y << ")";
    exact += a == b;
  }
  EXPECT_GE(exact, n * 0.9) << what;
  ::testing::Test::RecordProperty(what, exact);
}

TEST(Detmath, AgreesWithGlibc) {
  const int n = 400000;
  auto trig = [](std::mt19937_64& g, double& x, double& y) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int kind = static_cast<int>(g() % 10);
    if (kind < 6) {
      x = u(g) * 25.0;  // the scene's range
    } else if (kind < 9) {
      x = std::ldexp(u(g), static_cast<int>(g() % 80) - 40);
    } else {
      x = u(g) * 1e300;
    }
    y = 0;
  };
  Compare("sin", [](double x, double) { return Sin(x); },
          [](double x, double) { return std::sin(x); }, trig, n);
  Compare("cos", [](double x, double) { return Cos(x); },
          [](double x, double) { return std::cos(x); }, trig, n);
  // Logarithms of the Gauss draws lie in (0, 1); also everything else.
  Compare("log", [](double x, double) { return Log(x); },
          [](double x, double) { return std::log(x); },
          [](std::mt19937_64& g, double& x, double& y) {
            std::uniform_real_distribution<double> u(0.0, 1.0);
            x = (g() % 4) ? u(g) : std::ldexp(u(g), static_cast<int>(g() % 2000) - 1000);
            y = 0;
          },
          n);
  // Powers as the scene takes them: 0.4^dt, 0.998^dt, s^0.5 and more.
  Compare("pow", [](double x, double y) { return Pow(x, y); },
          [](double x, double y) { return std::pow(x, y); },
          [](std::mt19937_64& g, double& x, double& y) {
            std::uniform_real_distribution<double> u(0.0, 1.0);
            switch (g() % 5) {
              case 0: x = 0.4; y = u(g) * 3.0; break;
              case 1: x = static_cast<double>(0.998f); y = u(g) * 3.0; break;
              case 2: x = (u(g) - 0.2) * 3.0; y = 0.5; break;
              case 3: x = 0.4; y = (u(g) - 0.5) * 2000.0; break;
              default: x = u(g) * 100.0; y = (u(g) - 0.5) * 40.0; break;
            }
          },
          n);
}
#endif

}  // namespace
}  // namespace sorvane::engine::detmath

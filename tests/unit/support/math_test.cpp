// The core's elementary functions against the host C library: the same result
// at the points a reader checks (powers of ten, squares, cubes, integer
// exponents), and everywhere else within one unit in the last place of the
// exact result, taken from the C library's long double functions (11 more
// bits than a double).
#include "support/math.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

uint64_t NextRandom(uint64_t& state) {  // splitmix64: the same sequence on every run
  uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

double FromBits(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A random finite positive double of any exponent, subnormals included.
double AnyPositive(uint64_t& state) {
  for (;;) {
    const double value = FromBits(NextRandom(state) >> 1);
    if (std::isfinite(value) && value > 0) return value;
  }
}

// A random double in [low, high).
double Between(uint64_t& state, double low, double high) {
  return low + (high - low) * static_cast<double>(NextRandom(state) >> 11) * 0x1p-53;
}

// |actual - exact| in units of the last place of the double nearest exact.
double UlpError(double actual, long double exact) {
  const double nearest = static_cast<double>(exact);
  if (nearest == 0) return actual == 0 ? 0 : std::numeric_limits<double>::infinity();
  const double ulp = std::nextafter(std::fabs(nearest), HUGE_VAL) - std::fabs(nearest);
  return static_cast<double>(std::fabs(static_cast<long double>(actual) - exact) / ulp);
}

// The largest error seen, with its argument, for the failure message.
struct Worst {
  const char* name;
  double error = 0;
  double argument = 0;
  ~Worst() { std::printf("%s: largest error %.3f ulp, at %.17g\n", name, error, argument); }
  void See(double e, double x) {
    if (e > error) {
      error = e;
      argument = x;
    }
  }
};

// Error bound stated in math.hpp: below one ulp everywhere.
constexpr double kMaxUlp = 1.0;

TEST(Math, SquareRootIsCorrectlyRoundedEverywhere) {
  uint64_t state = 1;
  for (int i = 0; i < 300000; ++i) {
    const double x = AnyPositive(state);
    ASSERT_EQ(SquareRoot(x), std::sqrt(x)) << x;
  }
  for (uint64_t n = 0; n <= 100000; ++n) {
    const double square = static_cast<double>(n * n);
    ASSERT_EQ(SquareRoot(square), static_cast<double>(n)) << n;
    ASSERT_EQ(SquareRoot(square + 1), std::sqrt(square + 1)) << n;
  }
  for (double x : {DBL_MIN, DBL_MAX, DBL_TRUE_MIN, 2.0, 0.25, 1e-300, 1e300, 0x1.fffffffffffffp-1}) {
    EXPECT_EQ(SquareRoot(x), std::sqrt(x)) << x;
  }
  EXPECT_EQ(std::signbit(SquareRoot(-0.0)), true);
  EXPECT_TRUE(std::isnan(SquareRoot(-1.0)));
  EXPECT_TRUE(std::isnan(SquareRoot(NotANumber())));
  EXPECT_EQ(SquareRoot(Infinity()), Infinity());
}

TEST(Math, CubeRootIsExactForCubesAndWithinAnUlpElsewhere) {
  // Cubes of doubles with at most 17 significant bits are exact doubles.
  for (int64_t n = -50000; n <= 50000; ++n) {
    const double root = static_cast<double>(n);
    ASSERT_EQ(CubeRoot(root * root * root), root) << n;
  }
  uint64_t state = 2;
  for (int i = 0; i < 100000; ++i) {
    const double root =
        std::ldexp(static_cast<double>(NextRandom(state) >> 47), static_cast<int>(NextRandom(state) % 600) - 300);
    ASSERT_EQ(CubeRoot(root * root * root), root) << root;
    ASSERT_EQ(CubeRoot(-root * root * root), -root) << root;
  }
  // The exact root, rounded once. (The host's double cbrt is one ulp off at
  // some cubes: 3.0000000000000004 for 27, 0.49999999999999994 for 0.125.)
  for (double x : {0.125, 0.001953125, 27.0, 1000.0, -8.0, -0.008, 2.0, 1e-300}) {
    EXPECT_EQ(CubeRoot(x), static_cast<double>(cbrtl(static_cast<long double>(x)))) << x;
  }
  Worst worst{"CubeRoot"};
  for (int i = 0; i < 300000; ++i) {
    const double x = i % 2 == 0 ? AnyPositive(state) : Between(state, -1000.0, 1000.0);
    worst.See(UlpError(CubeRoot(x), cbrtl(static_cast<long double>(x))), x);
  }
  EXPECT_LT(worst.error, kMaxUlp) << "at " << worst.argument;
  EXPECT_EQ(CubeRoot(-0.0), -0.0);
  EXPECT_EQ(CubeRoot(-Infinity()), -Infinity());
  EXPECT_TRUE(std::isnan(CubeRoot(NotANumber())));
}

TEST(Math, Log10OfPowersOfTenIsExact) {
  for (int n = -22; n <= 22; ++n) {
    const double power = std::pow(10.0, n);
    ASSERT_EQ(Pow10(n), power) << n;
    ASSERT_EQ(Log10(power), static_cast<double>(n)) << n;
    ASSERT_EQ(Log10(power), std::log10(power)) << n;
  }
  // Beyond 10^22 the double is not the power itself; the result stays within an ulp.
  for (int n = 23; n <= 308; ++n) {
    const double power = std::pow(10.0, n);
    EXPECT_LT(UlpError(Log10(power), log10l(static_cast<long double>(power))), kMaxUlp) << n;
    EXPECT_LT(UlpError(Pow10(n), powl(10.0L, n)), kMaxUlp) << n;
    EXPECT_LT(UlpError(Pow10(-n), powl(10.0L, -n)), kMaxUlp) << -n;
  }
  EXPECT_EQ(Pow10(309), Infinity());
  EXPECT_EQ(Pow10(-400), 0.0);
}

TEST(Math, LogarithmsWithinAnUlp) {
  uint64_t state = 3;
  Worst natural{"NaturalLog"}, common{"Log10"};
  for (int i = 0; i < 300000; ++i) {
    // Any magnitude, and the neighbourhood of 1 where the result is smallest.
    const double x = i % 3 == 0 ? AnyPositive(state) : i % 3 == 1 ? Between(state, 0.5, 2.0) : Between(state, 1.0, 1e6);
    natural.See(UlpError(NaturalLog(x), logl(static_cast<long double>(x))), x);
    common.See(UlpError(Log10(x), log10l(static_cast<long double>(x))), x);
  }
  EXPECT_LT(natural.error, kMaxUlp) << "NaturalLog at " << natural.argument;
  EXPECT_LT(common.error, kMaxUlp) << "Log10 at " << common.argument;
  EXPECT_EQ(NaturalLog(1.0), 0.0);
  EXPECT_EQ(NaturalLog(0.0), -Infinity());
  EXPECT_EQ(Log10(0.0), -Infinity());
  EXPECT_TRUE(std::isnan(NaturalLog(-1.0)));
  EXPECT_TRUE(std::isnan(Log10(-1e-300)));
  EXPECT_EQ(NaturalLog(Infinity()), Infinity());
}

TEST(Math, Exp10WithinAnUlpAndExactAtIntegers) {
  for (int n = -22; n <= 22; ++n) ASSERT_EQ(Exp10(n), std::pow(10.0, n)) << n;
  uint64_t state = 4;
  Worst worst{"Exp10"};
  for (int i = 0; i < 300000; ++i) {
    const double y = i % 2 == 0 ? Between(state, -323.0, 308.0) : Between(state, -3.0, 3.0);
    worst.See(UlpError(Exp10(y), exp10l(static_cast<long double>(y))), y);
  }
  EXPECT_LT(worst.error, kMaxUlp) << "at " << worst.argument;
  EXPECT_EQ(Exp10(309.0), Infinity());
  EXPECT_EQ(Exp10(-330.0), 0.0);
  EXPECT_EQ(Exp10(308.25), std::pow(10.0, 308.25));
  EXPECT_TRUE(std::isnan(Exp10(NotANumber())));
}

TEST(Math, TruncationRefusesWhatDoesNotFit) {
  struct Case {
    double value;
    bool fits32;
    int32_t result32;
  };
  const Case cases[] = {
      {0.0, true, 0},
      {-0.999, true, 0},
      {1.999, true, 1},
      {-123.99, true, -123},
      {2147483647.9, true, 2147483647},
      {2147483648.0, false, 0},
      {-2147483648.9, true, -2147483647 - 1},
      {-2147483649.0, false, 0},
      {1e300, false, 0},
      {Infinity(), false, 0},
      {-Infinity(), false, 0},
      {NotANumber(), false, 0},
  };
  for (const Case& c : cases) {
    int32_t result = 77;
    EXPECT_EQ(TruncateToInt32(c.value, &result), c.fits32) << c.value;
    EXPECT_EQ(result, c.fits32 ? c.result32 : 77) << c.value;
  }
  int64_t wide = 5;
  EXPECT_TRUE(TruncateToInt64(-9223372036854775808.0, &wide));
  EXPECT_EQ(wide, INT64_MIN);
  EXPECT_TRUE(TruncateToInt64(300.7, &wide));
  EXPECT_EQ(wide, 300);
  EXPECT_FALSE(TruncateToInt64(9223372036854775808.0, &wide));
  EXPECT_FALSE(TruncateToInt64(NotANumber(), &wide));
  EXPECT_EQ(wide, 300);
}

TEST(Math, Classification) {
  EXPECT_TRUE(IsFinite(DBL_MAX));
  EXPECT_TRUE(IsFinite(-DBL_TRUE_MIN));
  EXPECT_FALSE(IsFinite(Infinity()));
  EXPECT_FALSE(IsFinite(NotANumber()));
  EXPECT_TRUE(IsNan(NotANumber()));
  EXPECT_FALSE(IsNan(-Infinity()));
  EXPECT_FALSE(IsNan(0.0));
}

}  // namespace

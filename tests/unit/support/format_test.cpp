// FormatString and Printf against the host snprintf: every conversion with each
// flag, widths 0..12 and a range of precisions, crossed with boundary values and
// a deterministic pseudo-random sample.
#include "support/format.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

namespace {

uint64_t NextRandom(uint64_t& state) {  // splitmix64: the same sequence on every run
  uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

template <typename... Args>
testing::AssertionResult SameAsLibrary(const char* format, Args... args) {
  static char expected[8192], actual[8192];
  const int expectedLength = snprintf(expected, sizeof expected, format, args...);
  const int actualLength = FormatString(actual, sizeof actual, format, args...);
  if (expectedLength == actualLength && std::strcmp(expected, actual) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << '"' << format << "\": expected [" << expected << "] got [" << actual << ']';
}

// Every flag set x width (none, 0..12) x precision for one conversion.
std::vector<std::string> Formats(const char* conversion, const std::vector<std::string>& precisions,
                                 bool text = false) {
  std::vector<std::string> formats;
  for (const char* flags : {"", "-", "0", "+", " ", "#", "-0", "+0", "- "}) {
    if (text && flags[0] != '\0' && std::strcmp(flags, "-") != 0) continue;  // undefined on %s and %c
    for (int width = -1; width <= 12; ++width) {
      for (const std::string& precision : precisions) {
        formats.push_back(std::string("<%") + flags + (width < 0 ? "" : std::to_string(width)) + precision +
                          conversion + ">");
      }
    }
  }
  return formats;
}

const std::vector<std::string> kIntegerPrecisions = {"", ".", ".0", ".1", ".2", ".5", ".11", ".25"};

TEST(FormatString, IntegersMatchTheCLibrary) {
  std::vector<long long> values = {0, 1, -1, INT_MAX, INT_MIN, UINT_MAX, LLONG_MAX, LLONG_MIN};
  for (int bit = 1; bit < 63; ++bit) {
    for (long long near : {(1LL << bit) - 1, 1LL << bit, (1LL << bit) + 1}) values.insert(values.end(), {near, -near});
  }
  for (long long power = 10; power < LLONG_MAX / 10; power *= 10) {
    for (long long near : {power - 1, power, power + 1}) values.insert(values.end(), {near, -near});
  }
  std::vector<std::string> narrow, wide;
  for (const char* conversion : {"d", "i", "u", "x", "X", "hhd", "hd", "hu", "hhx"}) {
    for (const std::string& format : Formats(conversion, kIntegerPrecisions)) {
      // Each format takes every fourth value, a different quarter for the next format.
      for (size_t v = narrow.size() % 4; v < values.size(); v += 4) {
        ASSERT_TRUE(SameAsLibrary(format.c_str(), static_cast<int>(values[v])));
      }
      narrow.push_back(format);
    }
  }
  for (const char* conversion : {"lld", "llu", "llx", "lX", "ld", "zu", "zx"}) {
    for (const std::string& format : Formats(conversion, kIntegerPrecisions)) {
      for (size_t v = wide.size() % 4; v < values.size(); v += 4) ASSERT_TRUE(SameAsLibrary(format.c_str(), values[v]));
      wide.push_back(format);
    }
  }
  // Random values of random magnitude, each with the next format in turn.
  uint64_t state = 1;
  for (size_t i = 0; i < 60000; ++i) {
    const uint64_t bits = NextRandom(state);
    const auto value = static_cast<long long>(bits >> (NextRandom(state) % 64)) * ((bits & 1) ? -1 : 1);
    ASSERT_TRUE(SameAsLibrary(wide[i % wide.size()].c_str(), value));
    ASSERT_TRUE(SameAsLibrary(narrow[i % narrow.size()].c_str(), static_cast<int>(value)));
  }
}

TEST(FormatString, TextStarsAndLiteralsMatchTheCLibrary) {
  for (const std::string& format : Formats("s", {"", ".", ".0", ".1", ".3", ".6", ".20"}, true)) {
    for (const char* text : {"", "a", "abc", "hello, world", "exactly twelve", static_cast<const char*>(nullptr)}) {
      ASSERT_TRUE(SameAsLibrary(format.c_str(), text));
    }
  }
  for (const std::string& format : Formats("c", {""}, true)) {
    for (int c : {int{'a'}, int{'%'}, 0x7f, 0xe9}) ASSERT_TRUE(SameAsLibrary(format.c_str(), c));
  }
  for (int star = -14; star <= 25; ++star) {
    ASSERT_TRUE(SameAsLibrary("[%*d|%-*d|%0*x|%*s|%*c]", star, -42, star, 42, star, 0xbeef, star, "abc", star, 'q'));
    ASSERT_TRUE(SameAsLibrary("[%.*d|%08.*d|%.*s|%.*f]", star, 12345, star, -7, star, "hello, world", star, 2 / 3.0));
  }
  ASSERT_TRUE(SameAsLibrary("100%% %s%c%d%% and plain text", "done", '!', 7));
}

std::vector<std::string> FloatFormats() {
  std::vector<std::string> precisions = {"", "."};
  for (int p = 0; p <= 20; ++p) precisions.push_back("." + std::to_string(p));
  return Formats("f", precisions);
}

TEST(FormatString, FixedPointMatchesTheCLibrary) {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                0.5,
                                1.5,
                                2.5,
                                -2.5,
                                0.125,
                                0.375,
                                -0.625,
                                1e22,
                                1e23,
                                1e300,
                                -1e300,
                                5e-324,
                                -5e-324,
                                DBL_MIN,
                                DBL_MAX,
                                -DBL_MAX,
                                DBL_EPSILON,
                                0.1,
                                1.0 / 3.0,
                                9.5,
                                999999.5,
                                0.005,
                                4503599627370495.5,
                                9007199254740993.0,
                                std::ldexp(1.0, -1022) / 3,
                                HUGE_VAL,
                                -HUGE_VAL,
                                std::nan(""),
                                -std::nan("")};
  for (int exponent = -30; exponent <= 30; ++exponent) {
    const double power = std::pow(10.0, exponent);
    values.insert(values.end(), {power, std::nextafter(power, 0.0), std::nextafter(power, HUGE_VAL)});
  }
  const std::vector<std::string> formats = FloatFormats();
  for (const std::string& format : formats) {
    for (double value : values) ASSERT_TRUE(SameAsLibrary(format.c_str(), value));
  }
  // Complete expansions of the smallest and largest doubles, and beyond them.
  for (double value : {5e-324, DBL_MIN, DBL_MAX, 0.1, std::ldexp(12345.0, -1074)}) {
    for (const char* format : {"%.1073f", "%.1074f", "%.1075f", "%.1500f", "%.400f"}) {
      ASSERT_TRUE(SameAsLibrary(format, value));
    }
  }
  uint64_t state = 11;
  for (size_t i = 0; i < 40000; ++i) {
    double value;
    if (i % 2 == 0) {  // any bit pattern: every exponent, denormals, infinities, NaNs
      const uint64_t bits = NextRandom(state);
      std::memcpy(&value, &bits, sizeof value);
    } else {  // magnitudes where integer and fraction digits both matter
      value = std::ldexp(static_cast<double>(NextRandom(state) >> 11), static_cast<int>(NextRandom(state) % 140) - 123);
    }
    ASSERT_TRUE(SameAsLibrary(formats[i % formats.size()].c_str(), value));
  }
}

// n + odd / 2^(p+1) lies exactly halfway between two results with p places, so
// only the tie rule (to even, on the exact value) decides the last digit.
TEST(FormatString, FixedPointTiesMatchTheCLibrary) {
  uint64_t state = 7;
  for (int places = 0; places <= 20; ++places) {
    const std::string format = "%." + std::to_string(places) + "f";
    for (int i = 0; i < 400; ++i) {
      const uint64_t odd = (NextRandom(state) % (uint64_t{1} << std::min(places + 1, 30))) | 1;
      const double tie =
          static_cast<double>(NextRandom(state) % 1000) + std::ldexp(static_cast<double>(odd), -places - 1);
      ASSERT_TRUE(SameAsLibrary(format.c_str(), tie));
      ASSERT_TRUE(SameAsLibrary(format.c_str(), -tie));
    }
  }
}

int CallFormatStringV(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = FormatStringV(buffer, size, format, args);
  va_end(args);
  return length;
}

TEST(FormatString, TruncatesAndCountsLikeSnprintf) {
  for (const char* format : {"%lld|%f|%s", "%-12lld|%012.3f|%.2s", "%llx %.0f %s", "text %% %lld %f %s"}) {
    for (size_t size = 0; size <= 48; ++size) {
      char expected[64], actual[64], viaList[64];
      std::memset(expected, '#', sizeof expected);
      std::memset(actual, '#', sizeof actual);
      std::memset(viaList, '#', sizeof viaList);
      const int length = snprintf(expected, size, format, -1234567890123LL, -0.0, "tail text");
      ASSERT_EQ(length, FormatString(actual, size, format, -1234567890123LL, -0.0, "tail text"));
      ASSERT_EQ(length, CallFormatStringV(viaList, size, format, -1234567890123LL, -0.0, "tail text"));
      ASSERT_EQ(0, std::memcmp(expected, actual, sizeof actual)) << format << " size " << size;
      ASSERT_EQ(0, std::memcmp(expected, viaList, sizeof viaList)) << format << " size " << size;
    }
  }
  EXPECT_EQ(5, FormatString(nullptr, 0, "%d", 12345));
}

// Output far longer than the console buffer must arrive whole and in order.
TEST(Printf, LongOutputReachesTheConsoleIntact) {
  std::string text(5000, 'x');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('a' + i % 26);
  static char expected[16384];
  const int length = snprintf(expected, sizeof expected, "%s|%-300d|%.1074f\n", text.c_str(), -5, 5e-324);
  testing::internal::CaptureStdout();
  EXPECT_EQ(length, Printf("%s|%-300d|%.1074f\n", text.c_str(), -5, 5e-324));
  EXPECT_EQ(expected, testing::internal::GetCapturedStdout());
  testing::internal::CaptureStderr();
  EXPECT_EQ(length, ErrorPrintf("%s|%-300d|%.1074f\n", text.c_str(), -5, 5e-324));
  EXPECT_EQ(expected, testing::internal::GetCapturedStderr());
}

}  // namespace

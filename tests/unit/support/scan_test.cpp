// ScanDecimal and AsciiToInt against sscanf and atoi on the same generated
// texts: white space, signs, digits of every length up to far
// past 64 bits, and junk, in every combination. DecimalAccumulator, which they
// and ScanDecimalFromFile share, at each limit.
#include "support/scan.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

uint32_t Next(uint64_t& state) {
  state = state * 6364136223846793005ull + 1442695040888963407ull;
  return static_cast<uint32_t>(state >> 33);
}

std::vector<std::string> GeneratedTexts() {
  std::vector<std::string> texts;
  for (const char* space : {"", " ", "\t", "\n\v\f\r "}) {
    for (const char* sign : {"", "+", "-", "--", "+-"}) {
      for (const char* body :
           {"", "0", "7", "007", "2147483647", "2147483648", "4294967296", "9223372036854775807", "9223372036854775808",
            "18446744073709551616", "99999999999999999999999999", "x", " 5", "0x1f", "\x80", ".", "ab , ;\t"}) {
        for (const char* tail : {"", " ", "abc", "9", "-3", "\n", ",a;b"}) {
          texts.push_back(std::string(space) + sign + body + tail);
        }
      }
    }
  }
  // Random digit strings of every length around the 32- and 64-bit limits, and
  // random mixes of token and delimiter bytes.
  uint64_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    std::string text = Next(state) % 2 ? "-" : "";
    for (size_t length = 1 + Next(state) % 24; length > 0; --length) text += static_cast<char>('0' + Next(state) % 10);
    texts.push_back(text);
    text.clear();
    for (size_t length = Next(state) % 14; length > 0; --length) text += "ab ,;\t-"[Next(state) % 7];
    texts.push_back(text);
  }
  return texts;
}

TEST(Scan, ScanDecimalMatchesSscanfAndAsciiToIntMatchesAtoi) {
  for (const std::string& text : GeneratedTexts()) {
    int expected = 0x5a5a5a5a, actual = 0x5a5a5a5a;
    ASSERT_EQ(std::sscanf(text.c_str(), "%d", &expected), ScanDecimal(text.c_str(), &actual)) << '[' << text << ']';
    ASSERT_EQ(expected, actual) << '[' << text << ']';
    ASSERT_EQ(std::atoi(text.c_str()), AsciiToInt(text.c_str())) << '[' << text << ']';
  }
}

struct AccumulatorCase {
  const char* digits;
  bool negative;
  int32_t expected;  // the low 32 bits of what strtol gives for the signed digits
};

TEST(Scan, DecimalAccumulatorKeepsTheLow32BitsOfStrtolsSaturatedLong) {
  const AccumulatorCase cases[] = {
      {"", false, 0},
      {"0", false, 0},
      {"0", true, 0},
      {"000000000000000000000000000042", false, 42},  // leading zeros never saturate
      {"2147483647", false, 2147483647},
      {"2147483647", true, -2147483647},
      {"2147483648", false, INT32_MIN},
      {"2147483648", true, INT32_MIN},
      {"2147483649", true, 2147483647},
      {"4294967295", false, -1},
      {"4294967296", false, 0},
      {"4294967297", true, -1},
      {"9223372036854775806", false, -2},
      {"9223372036854775807", false, -1},  // LONG_MAX
      {"9223372036854775807", true, 1},
      {"9223372036854775808", false, -1},  // past LONG_MAX: stays there
      {"9223372036854775808", true, 0},    // LONG_MIN
      {"9223372036854775809", true, 0},    // past LONG_MIN: stays there
      {"92233720368547758070", false, -1},
      {"18446744073709551616", false, -1},  // 2^64 would wrap to 0 without saturating
      {"18446744073709551617", true, 0},
      {"99999999999999999999999999999999999999", false, -1},
      {"99999999999999999999999999999999999999", true, 0},
  };
  for (const AccumulatorCase& test : cases) {
    DecimalAccumulator number(test.negative);
    for (const char* digit = test.digits; *digit != '\0'; ++digit) number.Add(*digit - '0');
    EXPECT_EQ(test.expected, number.Result()) << (test.negative ? "-" : "") << test.digits;

    // The table itself, against the C library.
    const std::string text = std::string(test.negative ? "-" : "") + test.digits;
    if (*test.digits != '\0') {
      const long wide = std::strtol(text.c_str(), nullptr, 10);
      EXPECT_EQ(test.expected, static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long>(wide)))) << text;
    }
  }
}

static_assert([] {
  DecimalAccumulator number(true);
  for (int digit : {2, 1, 4, 7, 4, 8, 3, 6, 4, 8}) number.Add(digit);
  return number.Result() == INT32_MIN;
}());

// The chassis type operand: sscanf "%X" on prefixes, signs, hexadecimal digits of
// every length around 32 and 64 bits, and junk after them.
TEST(Scan, ScanHexadecimalMatchesSscanf) {
  std::vector<std::string> texts = GeneratedTexts();
  for (const char* space : {"", " ", "\t\n"}) {
    for (const char* sign : {"", "+", "-"}) {
      for (const char* prefix : {"", "0x", "0X", "0", "x", "0xx"}) {
        for (const char* body : {"", "0", "17", "fF", "g", "1f2E3d4C", "123456789", "FFFFFFFF", "100000000",
                                 "FFFFFFFFFFFFFFFF", "10000000000000000", "ffffffffffffffffffff"}) {
          for (const char* tail : {"", "g", " 1", "x1"})
            texts.push_back(std::string(space) + sign + prefix + body + tail);
        }
      }
    }
  }
  for (const std::string& text : texts) {
    unsigned expected = 0x5a5a5a5a, actual = 0x5a5a5a5a;
    ASSERT_EQ(std::sscanf(text.c_str(), "%X", &expected), ScanHexadecimal(text.c_str(), &actual)) << '[' << text << ']';
    ASSERT_EQ(expected, actual) << '[' << text << ']';
  }
}

}  // namespace

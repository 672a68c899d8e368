// IsSpace, IsDigit and HexDigitValue against the C library's isspace, isdigit
// and isxdigit/strtol in the C locale, for every byte as an int (as read from a
// file), every byte as a char (as read from a string) and end of file.
#include "support/chars.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The C library's answer for the byte a char holds, or for EOF.
int ExpectedHexValue(int byte) {
  if (byte == EOF || !std::isxdigit(byte)) return -1;
  const std::string text(1, static_cast<char>(byte));
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 16));
}

TEST(Chars, EveryByteAndEndOfFileMatchTheCLibrary) {
  for (int byte = -1; byte <= 255; ++byte) {
    EXPECT_EQ(std::isspace(byte) != 0, IsSpace(byte)) << byte;
    EXPECT_EQ(std::isdigit(byte) != 0, IsDigit(byte)) << byte;
    EXPECT_EQ(ExpectedHexValue(byte), HexDigitValue(byte)) << byte;
  }
}

TEST(Chars, CharsAbove7FhAreInNoClass) {
  // A char holding 80h-FFh is negative where char is signed: it must not be taken
  // for a control character or a digit either way.
  for (int byte = 0; byte <= 255; ++byte) {
    const char c = static_cast<char>(byte);
    const int asUnsigned = static_cast<unsigned char>(c);
    EXPECT_EQ(std::isspace(asUnsigned) != 0, IsSpace(c)) << byte;
    EXPECT_EQ(std::isdigit(asUnsigned) != 0, IsDigit(c)) << byte;
    EXPECT_EQ(ExpectedHexValue(asUnsigned), HexDigitValue(c)) << byte;
  }
}

// The neighbours of every range, checked at compile time: the classes are constexpr.
static_assert(!IsSpace('\b') && IsSpace('\t') && IsSpace('\r') && !IsSpace('\x0e') && IsSpace(' ') && !IsSpace('!'));
static_assert(!IsDigit('/') && IsDigit('0') && IsDigit('9') && !IsDigit(':'));
static_assert(HexDigitValue('/') == -1 && HexDigitValue('0') == 0 && HexDigitValue('9') == 9 &&
              HexDigitValue(':') == -1);
static_assert(HexDigitValue('@') == -1 && HexDigitValue('A') == 10 && HexDigitValue('F') == 15 &&
              HexDigitValue('G') == -1);
static_assert(HexDigitValue('`') == -1 && HexDigitValue('a') == 10 && HexDigitValue('f') == 15 &&
              HexDigitValue('g') == -1);

}  // namespace

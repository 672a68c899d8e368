// Number and token readers with the C library's behaviour, for the core.
#pragma once

#include <cstdint>

// Decimal digits accumulated as strtol does into a 64-bit long: a value beyond its
// range sticks at the nearest limit. The caller adds the digits as it reads them
// (after the sign) and keeps the low 32 bits, as storing that long into an int
// does, so 2147483648 reads as -2147483648 and any very long number as -1 (or 0
// when negative). Shared by ScanDecimal, AsciiToInt and ScanDecimalFromFile.
class DecimalAccumulator {
 public:
  constexpr explicit DecimalAccumulator(bool negative)
      : negative_(negative), limit_(negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1) {}

  // digit: 0-9.
  constexpr void Add(int digit) {
    const auto value = static_cast<uint64_t>(digit);
    magnitude_ = (magnitude_ > (limit_ - value) / 10) ? limit_ : magnitude_ * 10 + value;
  }

  constexpr int32_t Result() const {
    const uint64_t wide = negative_ ? uint64_t{0} - magnitude_ : magnitude_;
    return static_cast<int32_t>(static_cast<uint32_t>(wide));
  }

 private:
  bool negative_;
  uint64_t limit_;
  uint64_t magnitude_ = 0;
};

// Reads one decimal integer as sscanf(text, "%d", value) does: leading white space
// and a sign are allowed, reading stops at the first non-digit (12abc gives 12),
// and a value out of range is stored as the C library stores it. Result: 1 when a
// value was converted, 0 when the text does not start with a number, -1 (EOF) when
// the text is empty or only white space. *value is written only when 1 is returned.
int ScanDecimal(const char* text, int* value);

// Reads one hexadecimal number as sscanf(text, "%X", value) does: leading white
// space, a sign and a 0x or 0X prefix are allowed ("0x" followed by no hexadecimal
// digit reads as 0), a negative value wraps as strtoul makes it, and a value
// beyond 64 bits sticks at all ones. Results as ScanDecimal's.
int ScanHexadecimal(const char* text, unsigned* value);

// atoi: the leading decimal number of text, 0 when there is none.
int AsciiToInt(const char* text);

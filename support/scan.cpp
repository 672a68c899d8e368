// Number and token readers with the C library's results, so scripts and input
// files are read the same way on every target.
#include "support/scan.hpp"

#include <cstdint>

#include "support/chars.hpp"

namespace {

// Reads the digits at *cursor (see DecimalAccumulator) and leaves cursor after them.
int32_t AccumulateDigits(const char*& cursor, bool negative) {
  DecimalAccumulator number(negative);
  for (; IsDigit(*cursor); ++cursor) number.Add(*cursor - '0');
  return number.Result();
}

// scanf's start of a number: white space, then an optional sign. false when
// the text ends before anything else (scanf's EOF).
bool SkipSpaceAndSign(const char*& cursor, bool* negative) {
  while (IsSpace(*cursor)) ++cursor;
  if (*cursor == '\0') return false;
  *negative = *cursor == '-';
  if (*cursor == '+' || *cursor == '-') ++cursor;
  return true;
}

}  // namespace

int ScanDecimal(const char* text, int* value) {
  const char* cursor = text;
  bool negative = false;
  if (!SkipSpaceAndSign(cursor, &negative)) return -1;
  if (!IsDigit(*cursor)) return 0;
  *value = AccumulateDigits(cursor, negative);
  return 1;
}

int ScanHexadecimal(const char* text, unsigned* value) {
  const char* cursor = text;
  bool negative = false;
  if (!SkipSpaceAndSign(cursor, &negative)) return -1;
  if (cursor[0] == '0' && (cursor[1] == 'x' || cursor[1] == 'X')) {
    // The C library takes the 0 of a prefix without digits as the number.
    if (HexDigitValue(cursor[2]) < 0) {
      *value = 0;
      return 1;
    }
    cursor += 2;
  }
  if (HexDigitValue(*cursor) < 0) return 0;
  // strtoul into a 64-bit unsigned long: beyond it the value sticks at all ones
  // whatever the sign; the unsigned int keeps the low 32 bits.
  constexpr uint64_t kAllOnes = ~uint64_t{0};
  uint64_t magnitude = 0;
  bool overflow = false;
  for (int digit; (digit = HexDigitValue(*cursor)) >= 0; ++cursor) {
    if (magnitude > (kAllOnes - static_cast<uint64_t>(digit)) / 16) overflow = true;
    magnitude = magnitude * 16 + static_cast<uint64_t>(digit);
  }
  const uint64_t wide = overflow ? kAllOnes : negative ? uint64_t{0} - magnitude : magnitude;
  *value = static_cast<uint32_t>(wide);
  return 1;
}

int AsciiToInt(const char* text) {
  const char* cursor = text;
  while (IsSpace(*cursor)) ++cursor;
  bool negative = false;
  if (*cursor == '+' || *cursor == '-') {
    negative = *cursor == '-';
    ++cursor;
  }
  return AccumulateDigits(cursor, negative);
}

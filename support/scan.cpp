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

// The process-wide position of TokenizeString between calls.
constinit char* tokenPosition = nullptr;

bool IsDelimiter(char c, const char* delimiters) {
  for (const char* d = delimiters; *d != '\0'; ++d) {
    if (*d == c) return true;
  }
  return false;
}

}  // namespace

int ScanDecimal(const char* text, int* value) {
  const char* cursor = text;
  while (IsSpace(*cursor)) ++cursor;
  if (*cursor == '\0') return -1;
  bool negative = false;
  if (*cursor == '+' || *cursor == '-') {
    negative = *cursor == '-';
    ++cursor;
  }
  if (!IsDigit(*cursor)) return 0;
  *value = AccumulateDigits(cursor, negative);
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

char* TokenizeString(char* text, const char* delimiters) {
  char* cursor = text != nullptr ? text : tokenPosition;
  if (cursor == nullptr) return nullptr;
  while (*cursor != '\0' && IsDelimiter(*cursor, delimiters)) ++cursor;
  if (*cursor == '\0') {
    tokenPosition = cursor;
    return nullptr;
  }
  char* token = cursor;
  while (*cursor != '\0' && !IsDelimiter(*cursor, delimiters)) ++cursor;
  if (*cursor == '\0') {
    tokenPosition = cursor;
  } else {
    *cursor = '\0';
    tokenPosition = cursor + 1;
  }
  return token;
}

// Character classes of the C locale and hexadecimal digit values, for the core
// (no C library). Each takes a char or a byte read as int; -1 (end of file) and
// the bytes 80h-FFh, as a negative char or as 128-255, are in no class, as in the
// C locale.
#pragma once

// isspace: space, tab, newline, vertical tab, form feed, carriage return.
constexpr bool IsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// isdigit: 0-9.
constexpr bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// The value of a hexadecimal digit, 0-9, a-f or A-F; -1 for any other byte.
constexpr int HexDigitValue(int c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

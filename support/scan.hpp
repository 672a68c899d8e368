// Number and token readers with the C library's behaviour, for the core.
#pragma once

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

// strtok: splits text in place at any of the delimiter bytes. Pass the string on
// the first call and nullptr on the following ones; nullptr when no token is left.
// Keeps its position in one process-wide pointer, as the C library does.
char* TokenizeString(char* text, const char* delimiters);

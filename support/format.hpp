// printf-style text formatting for the core, with one code path on every target.
//
// Conversions: %s %d %i %u %x %X %c %f %%; flags '-' and '0'; a field width
// (decimal or '*'); a precision ('.' followed by digits or '*') on %s (at most that
// many bytes), on the integer conversions (minimum digits) and on %f (digits after
// the point, 6 when absent). Length modifiers 'l', 'll', 'h', 'hh' and 'z' are
// accepted on the integer conversions. The result is byte for byte what the
// host C library's printf produces for the same format and arguments.
#pragma once

#include <cstdarg>
#include <cstddef>

// Formats to standard output / standard error. Result: the number of bytes written.
int Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int ErrorPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// snprintf semantics: writes at most size - 1 bytes and a terminating NUL (nothing
// when size is 0); the result is the length the whole text would have.
int FormatString(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int FormatStringV(char* buffer, size_t size, const char* format, va_list args);

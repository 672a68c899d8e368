// Text conversion between the core's narrow UTF-8 strings and the UCS-2 strings
// the UEFI firmware and shell use (CHAR16: one 16-bit unit per character, no
// surrogate pairs on the console). Freestanding and free of firmware headers so
// the host tests run exactly this code.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr char16_t kReplacementCharacter = 0xFFFD;

// Converts UTF-8 text to UCS-2 for console output. Writes at most capacity units
// to out (no terminating NUL) and stops before a character that would not fit.
// *consumed: input bytes converted. With crlf, a "\n" that does not follow a "\r"
// becomes "\r\n" (the pair is never split): the firmware console's line feed only
// moves down a row, the carriage return goes back to column 0. *previousWasCr
// carries the last byte's state from one call to the next. Malformed UTF-8 and
// characters outside the 16-bit range become U+FFFD. Returns the units written.
size_t Utf8ToUcs2Chunk(const char* text, size_t length, size_t* consumed, char16_t* out, size_t capacity, bool crlf,
                       bool* previousWasCr);

// NUL-terminated UTF-8 to NUL-terminated UCS-2 (file names, command lines).
// false, with out holding an empty string, when it does not fit in capacity units
// including the NUL.
bool Utf8ToUcs2String(const char* text, char16_t* out, size_t capacity);

// NUL-terminated UCS-2 (shell arguments) to NUL-terminated UTF-8 in at most
// capacity bytes including the NUL; a character that does not fit whole is left
// out together with everything after it. Surrogate pairs become one 4-byte
// sequence, a lone surrogate U+FFFD. Returns the bytes written before the NUL.
size_t Ucs2ToUtf8String(const char16_t* text, char* out, size_t capacity);

// The bytes Ucs2ToUtf8String writes for text, without the NUL.
size_t Utf8LengthOfUcs2(const char16_t* text);

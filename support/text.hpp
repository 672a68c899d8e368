// Small byte and string helpers for the core (no C library).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t StringLength(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

// Whole-string, byte-for-byte, case-sensitive comparison.
constexpr bool StringEquals(const char* a, const char* b) {
  size_t i = 0;
  for (; a[i] != '\0' && a[i] == b[i]; ++i) {
  }
  return a[i] == b[i];
}

constexpr char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Whole-string comparison with a-z folded to A-Z on both sides.
constexpr bool StringEqualsIgnoreCase(const char* a, const char* b) {
  size_t i = 0;
  for (; a[i] != '\0' && AsciiUpper(a[i]) == AsciiUpper(b[i]); ++i) {
  }
  return AsciiUpper(a[i]) == AsciiUpper(b[i]);
}

inline void CopyBytes(void* destination, const void* source, size_t count) {
  auto* to = static_cast<uint8_t*>(destination);
  const auto* from = static_cast<const uint8_t*>(source);
  for (size_t i = 0; i < count; ++i) to[i] = from[i];
}

inline void FillBytes(void* destination, uint8_t value, size_t count) {
  auto* to = static_cast<uint8_t*>(destination);
  for (size_t i = 0; i < count; ++i) to[i] = value;
}

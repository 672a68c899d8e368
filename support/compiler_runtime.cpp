// The four memory routines the compiler may call on its own (for struct copies,
// zero-initialisation and large comparisons) when the program is linked without a
// C library. Host programs get them from their C library instead.
#include <cstddef>
#include <cstdint>

// GCC would recognise these very loops as memset/memcpy and replace them with
// calls to the functions being defined, recursing forever.
#if defined(__GNUC__) && !defined(__clang__)
#define TOLVANE_NO_LOOP_PATTERNS __attribute__((optimize("no-tree-loop-distribute-patterns")))
#else
#define TOLVANE_NO_LOOP_PATTERNS
#endif

extern "C" {

TOLVANE_NO_LOOP_PATTERNS void* memcpy(void* destination, const void* source, size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  const auto* from = static_cast<const unsigned char*>(source);
  for (size_t i = 0; i < count; ++i) to[i] = from[i];
  return destination;
}

TOLVANE_NO_LOOP_PATTERNS void* memmove(void* destination, const void* source, size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  const auto* from = static_cast<const unsigned char*>(source);
  // Copy backwards when the destination starts inside the source, so source bytes
  // are read before they are overwritten.
  if (reinterpret_cast<uintptr_t>(to) - reinterpret_cast<uintptr_t>(from) < count) {
    for (size_t i = count; i-- > 0;) to[i] = from[i];
  } else {
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
  }
  return destination;
}

TOLVANE_NO_LOOP_PATTERNS void* memset(void* destination, int value, size_t count) {
  auto* to = static_cast<unsigned char*>(destination);
  for (size_t i = 0; i < count; ++i) to[i] = static_cast<unsigned char>(value);
  return destination;
}

int memcmp(const void* left, const void* right, size_t count) {
  const auto* a = static_cast<const unsigned char*>(left);
  const auto* b = static_cast<const unsigned char*>(right);
  for (size_t i = 0; i < count; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

}  // extern "C"

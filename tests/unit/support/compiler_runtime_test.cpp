// The freestanding memcpy, memmove, memset and memcmp, compiled here under other
// names, against the host C library's over every small offset, length and overlap.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#define memcpy tolvane_memcpy
#define memmove tolvane_memmove
#define memset tolvane_memset
#define memcmp tolvane_memcmp
#include "support/compiler_runtime.cpp"
#undef memcpy
#undef memmove
#undef memset
#undef memcmp

namespace {

struct Bytes {
  explicit Bytes(unsigned seed) {
    for (size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<unsigned char>(i * 37 + seed * 11 + 5);
  }
  bool operator==(const Bytes& other) const { return std::memcmp(data, other.data, sizeof data) == 0; }
  unsigned char data[96];
};

TEST(CompilerRuntime, MatchesTheCLibrary) {
  const Bytes source(2);
  for (size_t to = 0; to < 40; ++to) {
    for (size_t from = 0; from < 40; ++from) {
      for (size_t count = 0; count <= 48; count += 3) {
        Bytes expected(1), actual(1);
        // Overlapping moves within one buffer, in both directions, then a copy and a fill.
        ASSERT_EQ(actual.data + to, tolvane_memmove(actual.data + to, actual.data + from, count));
        std::memmove(expected.data + to, expected.data + from, count);
        ASSERT_EQ(actual.data + to, tolvane_memcpy(actual.data + to, source.data + from, count));
        std::memcpy(expected.data + to, source.data + from, count);
        const int value = static_cast<int>(from * 97 + 300);  // only the low byte counts
        ASSERT_EQ(actual.data + from, tolvane_memset(actual.data + from, value, count));
        std::memset(expected.data + from, value, count);
        ASSERT_TRUE(expected == actual) << to << ' ' << from << ' ' << count;

        Bytes other(1);
        other.data[to] = static_cast<unsigned char>(other.data[to] + from * 13);
        const int sign = std::memcmp(Bytes(1).data, other.data, count);
        ASSERT_EQ((sign > 0) - (sign < 0), tolvane_memcmp(Bytes(1).data, other.data, count)) << to << ' ' << count;
      }
    }
  }
}

}  // namespace

// Multi-byte fields at the edge of their bytes, and the reply reader's notion
// of a short reply: a field that ends exactly at the last byte is whole, one
// byte further is short.
#include "support/bytes.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TEST(Bytes, FieldsReadAndWrittenOnlyInsideTheirBytes) {
  const std::vector<uint8_t> bytes = {0x11, 0x22, 0x33, 0x44};
  EXPECT_EQ(Le16(bytes, 2), 0x4433);
  EXPECT_EQ(Le16(bytes, 3), 0x0044);  // the byte past the end reads 00h
  EXPECT_EQ(Le24(bytes, 1), 0x443322u);
  EXPECT_EQ(Le32(bytes), 0x44332211u);
  EXPECT_EQ(Le32(bytes, 4), 0u);
  std::vector<uint8_t> out = {0, 0, 0, 0, 0xEE};
  PutLe24(std::span(out).first(4), 2, 0xABCDEF);  // its last byte would lie past the span
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 0xEF, 0xCD, 0xEE}));
}

TEST(Bytes, ReaderIsShortOnlyPastTheEnd) {
  const std::vector<uint8_t> reply = {0x01, 0x34, 0x12, 0xAA};
  ByteReader whole(reply);
  EXPECT_EQ(whole.Byte(), 0x01);
  EXPECT_EQ(whole.Le16(), 0x1234);
  EXPECT_EQ(whole.Rest().size(), 1u);
  EXPECT_EQ(whole.Byte(), 0xAA);
  EXPECT_FALSE(whole.Short());
  EXPECT_TRUE(whole.Rest().empty());
  EXPECT_EQ(whole.Byte(), 0x00);
  EXPECT_TRUE(whole.Short());

  ByteReader skipped(reply);
  skipped.Skip(3);
  EXPECT_EQ(skipped.Le16(), 0x00AA);  // half inside, half past the end
  EXPECT_TRUE(skipped.Short());
}

}  // namespace

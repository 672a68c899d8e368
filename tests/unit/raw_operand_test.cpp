#include <gtest/gtest.h>

#include "transport/raw_request.hpp"

namespace {

TEST(RawOperand, HexadecimalReadingRules) {
  const struct {
    const char* text;
    uint8_t value;
  } cases[] = {
      {"06", 0x06},       {"0x06", 0x06},
      {"0X06", 0x06},     {"006", 0x06},
      {"6", 0x06},        {"106", 0x06},  // low 8 bits: the last two digits
      {"zz", 0x00},       {"x6", 0x00},
      {"X6", 0x00},       {"", 0x00},
      {"0", 0x00},        {"0x", 0x00},
      {"ff", 0xFF},       {"FF", 0xFF},
      {"fF", 0xFF},       {"100", 0x00},
      {"1ff", 0xFF},      {"  \t2e", 0x2E},  // blanks and tabs are skipped
      {"\n2e", 0x00},                        // other white space is not
      {"3cg", 0x3C},                         // digits up to the first other character
      {"00x3c", 0x3C},                       // an x right after skipped zeros
      {"0x0x5", 0x00},                       // ... only once
      {"-5", 0x00},       {"123456789abcdef", 0xEF},
      {"\xff\xfe", 0x00},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadHexOperand(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace

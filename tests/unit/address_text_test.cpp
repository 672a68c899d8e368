// The IPv4 and MAC text forms the LAN commands accept.
#include "lan/address_text.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

TEST(ParseDottedQuad, AcceptedAndRejectedForms) {
  const struct {
    const char* text;
    bool ok;
    std::array<uint8_t, 4> bytes;
  } cases[] = {
      {"192.168.001.010", true, {192, 168, 1, 10}},
      {"0.0.0.0", true, {0, 0, 0, 0}},
      {"255.255.255.255", true, {255, 255, 255, 255}},
      {"255.255.0.255", true, {255, 255, 0, 255}},
      {"1.2.3.4.5", true, {1, 2, 3, 4}},    // tokens after the fourth are ignored
      {"1..2.3.4", true, {1, 2, 3, 4}},     // a run of dots separates once
      {".1.2.3.4.", true, {1, 2, 3, 4}},    // no empty token at either end
      {"1.2.3.4.999", true, {1, 2, 3, 4}},  // ... not even checked
      {"0000000000000000255.1.1.1", true, {255, 1, 1, 1}},
      {"256.1.1.1", false, {}},
      {"1.2.3.256", false, {}},
      {"99999999999999999999.1.1.1", false, {}},
      {"1.2.3", false, {}},
      {"1.2.3.", false, {}},
      {"1.2.3.x", false, {}},
      {"", false, {}},
      {"....", false, {}},
      {" 1.2.3.4", false, {}},
      {"1.2.3.4 ", false, {}},
      {"+1.2.3.4", false, {}},
      {"-1.2.3.4", false, {}},
      {"1,2,3,4", false, {}},
  };
  for (const auto& c : cases) {
    std::array<uint8_t, 4> bytes{0xEE, 0xEE, 0xEE, 0xEE};
    const int result = ParseDottedQuad(c.text, bytes.data());
    EXPECT_EQ(result, c.ok ? 0 : 1) << '"' << c.text << '"';
    if (c.ok) EXPECT_EQ(bytes, c.bytes) << c.text;
  }
}

TEST(ParseMacText, AcceptedAndRejectedForms) {
  const std::array<uint8_t, 6> k0a1b{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
  const struct {
    const char* text;
    bool ok;
    std::array<uint8_t, 6> bytes;
  } cases[] = {
      {"0a:1b:2c:3d:4e:5f", true, k0a1b},
      {"0A:1B:2C:3D:4E:5F", true, k0a1b},
      {"0A1B2C3D4E5F", true, k0a1b},
      {"0a1b2c3d4e5f01234", true, k0a1b},  // 17 digits: the first twelve are used
      {"0a1b2:c3d4e5f0123", true, k0a1b},  // only the colon's position counts, not its byte alignment
      {"0a:1b2c3d4e5f0123", true, k0a1b},  // colons where the colon form has them are optional
      {"ff:ff:ff:ff:ff:ff", true, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"00:00:00:00:00:00", true, {0, 0, 0, 0, 0, 0}},
      {"0a:1b:2c:3d:4e", false, {}},      // 14 characters
      {"0a:1b:2c:3d:4e:5f:", false, {}},  // 18
      {"0A1B2C3D4E5", false, {}},         // 11
      {"0A1B2C3D4E5F0", false, {}},       // 13
      {"0a-1b-2c-3d-4e-5f", false, {}},
      {"0a:1b2c3d4e5", false, {}},  // 12 characters with a colon: runs out of digits
      {":0a1b2c3d4e5f0123", false, {}},
      {"0a:1b:2c:3d:4e:5g", false, {}},
      {"0a:1b:2c:3d::4e5f", false, {}},
      {"", false, {}},
  };
  for (const auto& c : cases) {
    std::array<uint8_t, 6> bytes{};
    bytes.fill(0xEE);
    EXPECT_EQ(ParseMacText(c.text, bytes.data()), c.ok ? 0 : 1) << '"' << c.text << '"';
    if (c.ok) EXPECT_EQ(bytes, c.bytes) << c.text;
  }
}

TEST(ParseMacText, ColonAtEachPositionOfASeventeenCharacterText) {
  // A colon among the first twelve digits must stand at 2, 5, 8 or 11; characters
  // after the twelfth digit are never looked at.
  for (size_t position = 0; position < 17; ++position) {
    std::string text = "0a1b2c3d4e5f01234";
    text[position] = ':';
    uint8_t bytes[6];
    const bool allowed = position == 2 || position == 5 || position == 8 || position == 11 || position >= 12;
    EXPECT_EQ(ParseMacText(text.c_str(), bytes), allowed ? 0 : 1) << text;
  }
}

}  // namespace

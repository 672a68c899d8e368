// Pure pieces of controller identification and the user listing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/identify.hpp"
#include "users/user_accounts.hpp"
#include "users/user_requests.hpp"

namespace {

TEST(BmcTypeFromGuid, PatternsFamiliesAndNearMisses) {
  const struct {
    std::vector<uint8_t> guid;
    uint8_t bmcType;
  } cases[] = {
      {{0x20, 0x00, 0x0E, 0x40, 0x02, 0x7F, 0x78, 0x08}, 3},
      {{0x20, 0x00, 0x0E, 0x40, 0x02, 0x7F, 0x78, 0x08, 0xAA, 0xBB}, 3},
      {{0x20, 0x00, 0x0E, 0x40, 0x02, 0x7F, 0x78, 0x09}, kBmcTypeNone},
      {{0x20, 0x00, 0x0E, 0x40, 0x02, 0x7F, 0x78}, kBmcTypeNone},  // one byte short
      {{0x02, 0x00, 0x00, 0xFF, 0xFE, 0x00}, 4},
      {{0x02, 0x00, 0x00, 0xFF, 0xFE, 0x01}, kBmcTypeNone},
      {{0x02, 0x00, 0x00, 0xFF, 0xFE}, kBmcTypeNone},
      {{'0', '0', '0', '1', 'V', 'Q'}, 5},
      {{'1', '0', '0', '1', 'V', 'Q'}, 6},
      {{'2', '0', '0', '1', 'V', 'Q'}, 9},
      {{'3', '0', '0', '1', 'V', 'Q'}, 7},
      {{'4', '0', '0', '1', 'V', 'Q'}, 10},
      {{'5', '0', '0', '1', 'V', 'Q'}, 10},
      {{'6', '0', '0', '1', 'V', 'Q'}, 11},
      {{'7', '0', '0', '1', 'V', 'Q'}, 13},
      {{'8', '0', '0', '1', 'V', 'Q'}, 8},
      {{'9', '0', '0', '1', 'V', 'Q', 0x00}, 12},
      {{'C', '0', '0', '1', 'V', 'Q'}, 14},
      {{'D', '0', '0', '1', 'V', 'Q'}, 15},
      {{'c', '0', '0', '1', 'V', 'Q'}, kBmcTypeNone},
      {{'A', '0', '0', '1', 'V', 'Q'}, kBmcTypeNone},
      {{'E', '0', '0', '1', 'V', 'Q'}, kBmcTypeNone},
      {{'9', '0', '0', '1', 'V', 'q'}, kBmcTypeNone},
      {{'9', '0', '0', '1', 'V'}, kBmcTypeNone},
      {{}, kBmcTypeNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BmcTypeFromGuid(c.guid.data(), static_cast<uint32_t>(c.guid.size())), c.bmcType)
        << ::testing::PrintToString(c.guid);
  }
  // Only the bytes received are read, whatever follows them in the buffer.
  const uint8_t buffer[] = {'9', '0', '0', '1', 'V', 'Q'};
  EXPECT_EQ(BmcTypeFromGuid(buffer, 5), kBmcTypeNone);
}

TEST(UserListing, PrivilegeAndEnableColumns) {
  const struct {
    uint8_t channelAccess;
    const char* text;
  } privileges[] = {
      {0x01, "Callback"},
      {0x02, "User"},
      {0x03, "Operator"},
      {0x04, "Administrator"},
      {0x14, "Administrator"},
      {0x74, "Administrator"},
      {0x05, "OEM Proprietary"},
      {0x0F, "No Access"},
      {0x3F, "No Access"},
      {0x00, ""},
      {0x06, ""},
      {0x0E, ""},
      {0x10, ""},
  };
  for (const auto& p : privileges) EXPECT_STREQ(PrivilegeText(p.channelAccess), p.text) << int{p.channelAccess};
  const struct {
    uint8_t enableStatus;
    const char* text;
  } enables[] = {{0x40, "Yes"}, {0x7F, "Yes"}, {0x41, "Yes"}, {0x80, "No"}, {0xC0, "No"}, {0x00, "No"}, {0x3F, "No"}};
  for (const auto& e : enables) EXPECT_STREQ(UserEnabledText(e.enableStatus), e.text) << int{e.enableStatus};
}

TEST(UserFields, LimitsCountBytes) {
  EXPECT_TRUE(FitsField("", kUserNameFieldLength));
  EXPECT_TRUE(FitsField(std::string(16, 'a').c_str(), kUserNameFieldLength));
  EXPECT_FALSE(FitsField(std::string(17, 'a').c_str(), kUserNameFieldLength));
  EXPECT_TRUE(FitsField(std::string(20, 'a').c_str(), kPasswordFieldLength));
  EXPECT_FALSE(FitsField(std::string(21, 'a').c_str(), kPasswordFieldLength));
  EXPECT_FALSE(FitsField("\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\x61", kUserNameFieldLength));
}

}  // namespace

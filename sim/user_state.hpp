// The simulated BMC's user accounts (IPMI 2.0 section 22.26 to 22.30), with their
// access on the LAN channel, the only channel with per-user access here.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

class JsonReader;

// User ID enable status, as Get User Access reports it in bits 7:6.
enum class UserEnable : uint8_t { Unspecified = 0, Enabled = 1, Disabled = 2, Reserved = 3 };

struct UserAccount {
  std::vector<uint8_t> name = std::vector<uint8_t>(16, 0);  // 16 bytes, zero-padded
  std::vector<uint8_t> password;                            // 16 or 20 bytes; empty: never set
  UserEnable enable = UserEnable::Unspecified;
  bool callbackOnly = false;
  bool linkAuthentication = false;
  bool ipmiMessaging = false;
  uint8_t privilege = 0x0F;  // bits 3:0 of the channel access byte
  uint8_t sessionLimit = 0;
};

struct UserState {
  unsigned fixedNames = 1;            // IDs 1..fixedNames have names that cannot be set
  std::vector<UserAccount> accounts;  // ID n at index n - 1; the count is the maximum user ID
};

UserState DefaultUserState();
// "users": {"maxUsers": 10, "fixedNames": 1, "accounts": [{"id": 2, "name": "admin",
//   "password": "admin", "passwordSize": 20, "enable": "enabled", "privilege": 4,
//   "ipmiMessaging": true, "linkAuthentication": true, "callbackOnly": false}]}
// Names and passwords that are not printable text are written as "nameHex" /
// "passwordHex" byte strings instead.
void ReadUserState(const nlohmann::json& object, UserState* users, JsonReader& read);
nlohmann::json UserStateToJson(const UserState& users);

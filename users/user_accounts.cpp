#include "users/user_accounts.hpp"

#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "support/text.hpp"
#include "transport/ipmi_defs.hpp"
#include "users/user_requests.hpp"

namespace {

// Get User Access byte 0 and the count in byte 1 are read as five-bit values, so
// the listing covers IDs 2 to 31 at most. ID 1 (the null user) is never listed.
constexpr uint8_t kUserCountMask = 0x1F;
constexpr uint8_t kFirstListedId = 2;
constexpr uint8_t kLastListedId = 31;
constexpr uint8_t kPrivilegeMask = 0x0F;
constexpr uint8_t kEnableStatusMask = 0xC0;
constexpr uint8_t kEnableStatusEnabled = 0x40;  // 01b: enabled by Set User Password
constexpr uint8_t kNullUserId = 1;

constexpr const char kNameTooLong[] = "User name is too long (at most 16 bytes).\n";
constexpr const char kPasswordTooLong[] = "Password is too long (at most 20 bytes).\n";

struct PrivilegeName {
  uint8_t level;
  const char* text;
};
constexpr PrivilegeName kPrivilegeNames[] = {
    {kPrivilegeCallback, "Callback"},           {kPrivilegeUser, "User"},           {kPrivilegeOperator, "Operator"},
    {kPrivilegeAdministrator, "Administrator"}, {kPrivilegeOem, "OEM Proprietary"}, {kPrivilegeNoAccess, "No Access"},
};

constexpr const char* kPrivilegeCodeLines[] = {
    "For privilege level:\n",    "Administrator level : 4\n", "Operator level      : 3\n",
    "User level          : 2\n", "Callback level      : 1\n",
};

// One listed account, as Get User Name and Get User Access reported it.
struct UserRecord {
  uint8_t name[kUserNameFieldLength];
  uint8_t enableStatus;
  uint8_t channelAccess;
};

// The accounts one listing shows, by ID from kFirstListedId.
using UserTable = UserRecord[kLastListedId - kFirstListedId + 1];

// A step of a sequence: prints its failure line and says whether to go on.
bool Succeeded(uint8_t cc, const char* failure) {
  if (cc == kCcSuccess) return true;
  ReportFailure(failure, cc);
  return false;
}

}  // namespace

const char* PrivilegeText(uint8_t channelAccess) {
  for (const PrivilegeName& entry : kPrivilegeNames) {
    if (entry.level == (channelAccess & kPrivilegeMask)) return entry.text;
  }
  return "";
}

const char* UserEnabledText(uint8_t enableStatus) {
  return (enableStatus & kEnableStatusMask) == kEnableStatusEnabled ? "Yes" : "No";
}

int ListUsers() {
  UserAccess access{};
  if (!Succeeded(ReadUserAccess(kNullUserId, &access), "Failed to get number of user")) return kStatusFailed;
  // Filled and printed within this listing; every record starts empty.
  UserTable users{};
  auto recordOf = [&users](uint8_t id) -> UserRecord& { return users[id - kFirstListedId]; };
  const uint8_t maxId = access.maxUserIds & kUserCountMask;
  Printf("Maximum number of Users          : %d\n", maxId);
  Printf("Count of currently enabled Users : %d\n", access.enableStatus & kUserCountMask);

  for (uint8_t id = kFirstListedId; id <= maxId; ++id) {
    UserRecord& record = recordOf(id);
    // An ID whose name cannot be read is skipped without a message.
    if (ReadUserName(id, record.name) != kCcSuccess || record.name[0] == 0) continue;
    UserAccess user{};
    if (!Succeeded(ReadUserAccess(id, &user), "Failed to get user privilege")) {
      return kStatusFailed;
    }
    record.enableStatus = user.enableStatus;
    record.channelAccess = user.channelAccess;
  }

  Printf("User ID | User Name        | Privilege Level | Enable\n");
  Printf("------- | -----------      | --------------- | ------\n");
  for (uint8_t id = kFirstListedId; id <= maxId; ++id) {
    const UserRecord& record = recordOf(id);
    if (record.name[0] == 0) continue;
    // The name field is not terminated when all 16 bytes are used: the precision
    // keeps the text inside it.
    Printf("%7d | %-16.16s | %-15s | %-6s\n", id, reinterpret_cast<const char*>(record.name),
           PrivilegeText(record.channelAccess), UserEnabledText(record.enableStatus));
  }
  return kStatusSuccess;
}

int ShowPrivilegeCodes() {
  for (const char* line : kPrivilegeCodeLines) Printf("%s", line);
  return kStatusSuccess;
}

int AddUser(uint8_t id, const char* name, const char* password, uint8_t privilege) {
  // A longer name or password would reach the BMC cut short, leaving credentials
  // other than the ones typed: refuse it before anything is sent.
  if (!FitsField(name, kUserNameFieldLength)) {
    Printf("%s", kNameTooLong);
    return kStatusInvalidOperand;
  }
  if (!FitsField(password, kPasswordFieldLength)) {
    Printf("%s", kPasswordTooLong);
    return kStatusInvalidOperand;
  }
  if (!Succeeded(WriteUserName(id, name), "Failed to set user name") ||
      !Succeeded(WriteUserPassword(id, password), "Failed to set user password") ||
      !Succeeded(WriteUserEnable(id, kPasswordEnableUser), "Failed to enable user account") ||
      !Succeeded(WriteUserAccess(id, privilege), "Failed to set user privilege")) {
    return kStatusFailed;
  }
  Printf("Done.\n");
  return kStatusSuccess;
}

int DeleteUser(uint8_t id) {
  UserAccess access{};
  // The second access change also switches IPMI messaging and link authentication
  // off for the ID on the LAN channel.
  const uint8_t accessOff = kAccessChangeBits | kLanChannel;
  if (!Succeeded(ReadUserAccess(id, &access), "Failed to get user privilege") ||
      !Succeeded(WriteUserPassword(id, ""), "Failed to set user password") ||
      !Succeeded(WriteUserAccess(id, kPrivilegeNoAccess), "Failed to disable user privilege") ||
      !Succeeded(WriteUserEnable(id, kPasswordDisableUser), "Failed to disable user account") ||
      !Succeeded(WriteUserAccessBits(accessOff, id, kPrivilegeNoAccess), "Failed to disable user(+) account") ||
      !Succeeded(WriteUserName(id, ""), "Failed to set user name")) {
    return kStatusFailed;
  }
  Printf("Done.\n");
  return kStatusSuccess;
}

int SetUserLevel(uint8_t id, uint8_t privilege) {
  if (!Succeeded(WriteUserAccess(id, privilege), "Failed to disable user privilege")) {
    return kStatusFailed;
  }
  Printf("Done.\n");
  return kStatusSuccess;
}

int SetUserPasswordCommand(uint8_t id, const char* password) {
  if (!FitsField(password, kPasswordFieldLength)) {
    Printf("%s", kPasswordTooLong);
    return kStatusInvalidOperand;
  }
  if (!Succeeded(WriteUserPassword(id, password), "Failed to set user password")) {
    return kStatusFailed;
  }
  Printf("Done.\n");
  return kStatusSuccess;
}

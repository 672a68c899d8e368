// The IPMI user commands (IPMI 2.0 sections 22.26 to 22.30) on the LAN channel,
// one request each; every function returns the completion code.
#pragma once

#include <cstdint>

// User commands, NetFn 06h (IPMI 2.0 appendix G).
inline constexpr uint8_t kCmdSetUserAccess = 0x43;
inline constexpr uint8_t kCmdGetUserAccess = 0x44;
inline constexpr uint8_t kCmdSetUserName = 0x45;
inline constexpr uint8_t kCmdGetUserName = 0x46;
inline constexpr uint8_t kCmdSetUserPassword = 0x47;

// Fixed fields of Set User Name and of Set User Password's 20-byte form.
inline constexpr uint32_t kUserNameFieldLength = 16;
inline constexpr uint32_t kPasswordFieldLength = 20;

// Privilege limits (IPMI 2.0 section 6.8).
inline constexpr uint8_t kPrivilegeCallback = 0x01;
inline constexpr uint8_t kPrivilegeUser = 0x02;
inline constexpr uint8_t kPrivilegeOperator = 0x03;
inline constexpr uint8_t kPrivilegeAdministrator = 0x04;
inline constexpr uint8_t kPrivilegeOem = 0x05;
inline constexpr uint8_t kPrivilegeNoAccess = 0x0F;

// Set User Password operations (request byte 2).
inline constexpr uint8_t kPasswordDisableUser = 0x00;
inline constexpr uint8_t kPasswordEnableUser = 0x01;
inline constexpr uint8_t kPasswordSet = 0x02;

// Set User Access request byte 1: bit 7 "change the bits of this byte", bit 5
// link authentication, bit 4 IPMI messaging, bits 3:0 the channel.
inline constexpr uint8_t kAccessChangeBits = 0x80;
inline constexpr uint8_t kAccessLinkAuthentication = 0x20;
inline constexpr uint8_t kAccessIpmiMessaging = 0x10;

// What Get User Access reports for one user on the LAN channel (response bytes
// 0, 1 and 3), as received. IPMI puts the counts in bits 5:0; the listing reads
// them with a 1Fh mask (users/user_accounts.cpp).
struct UserAccess {
  uint8_t maxUserIds;     // bits 5:0 the number of user IDs
  uint8_t enableStatus;   // bits 7:6 enable status, 5:0 count of enabled IDs
  uint8_t channelAccess;  // bits 3:0 privilege limit
};

// A reply shorter than its four bytes gives kCcResponseTooShort (CEh) and
// leaves *access unchanged.
uint8_t ReadUserAccess(uint8_t id, UserAccess* access);
// name: up to 16 bytes, sent zero-filled.
uint8_t WriteUserName(uint8_t id, const char* name);
// Operation 02h with the 20-byte password field; password: up to 20 bytes,
// sent zero-filled.
uint8_t WriteUserPassword(uint8_t id, const char* password);
// Operation 00h (disable) or 01h (enable); the password field is all zeros.
uint8_t WriteUserEnable(uint8_t id, uint8_t operation);
// Set User Access: accessByte (with the channel in bits 3:0), id, privilege, no
// session limit of its own.
uint8_t WriteUserAccessBits(uint8_t accessByte, uint8_t id, uint8_t privilege);
// Set User Access with link authentication and IPMI messaging enabled.
uint8_t WriteUserAccess(uint8_t id, uint8_t privilege);
// Get User Name: the 16 name bytes; a reply shorter than 16 bytes gives
// kCcResponseTooShort (CEh) and leaves name unchanged.
uint8_t ReadUserName(uint8_t id, uint8_t name[kUserNameFieldLength]);

// Whether text fits a field of that many bytes (the terminating NUL not counted).
bool FitsField(const char* text, uint32_t fieldLength);

#include "users/user_requests.hpp"

#include "support/text.hpp"
#include "transport/ipmi.hpp"

namespace {

// Set User Password byte 1 bit 7: the password field is the 20-byte form.
constexpr uint8_t kPasswordSize20 = 0x80;
// Set User Access byte 4: the user's own session limit; 0 means none of its own.
constexpr uint8_t kNoSessionLimit = 0x00;

// Copies text into a fixed field, zero-filled; never more than the field holds.
void FillField(uint8_t* field, uint32_t fieldLength, const char* text) {
  FillBytes(field, 0, fieldLength);
  for (uint32_t i = 0; i < fieldLength && text[i] != '\0'; ++i) field[i] = static_cast<uint8_t>(text[i]);
}

uint8_t SetUserPassword(uint8_t id, uint8_t operation, const char* password) {
  uint8_t request[2 + kPasswordFieldLength];
  request[0] = static_cast<uint8_t>(id | kPasswordSize20);
  request[1] = operation;
  FillField(request + 2, kPasswordFieldLength, password);
  return IpmiCommand(kNetFnApp, kCmdSetUserPassword, request);
}

}  // namespace

bool FitsField(const char* text, uint32_t fieldLength) {
  for (uint32_t i = 0; i <= fieldLength; ++i) {
    if (text[i] == '\0') return true;
  }
  return false;
}

uint8_t ReadUserAccess(uint8_t id, UserAccess* access) {
  const uint8_t request[] = {kLanChannel, id};
  IpmiResponse response;
  const uint8_t cc = IpmiExchange(kNetFnApp, kCmdGetUserAccess, request, &response);
  // Bytes 0, 1 and 3; byte 2 (the count of fixed names) is not read.
  ByteReader reader = response.Reader();
  const uint8_t maxUserIds = reader.Byte();
  const uint8_t enableStatus = reader.Byte();
  reader.Skip(1);
  const uint8_t channelAccess = reader.Byte();
  const uint8_t result = DecodedResult(cc, reader);
  if (result == kCcSuccess) *access = {maxUserIds, enableStatus, channelAccess};
  return result;
}

uint8_t ReadUserName(uint8_t id, uint8_t name[kUserNameFieldLength]) {
  const uint8_t request[] = {id};
  IpmiResponse response;
  const uint8_t cc = IpmiExchange(kNetFnApp, kCmdGetUserName, request, &response);
  ByteReader reader = response.Reader();
  uint8_t field[kUserNameFieldLength];
  reader.Copy(field);
  const uint8_t result = DecodedResult(cc, reader);
  if (result == kCcSuccess) CopyBytes(name, field, kUserNameFieldLength);
  return result;
}

uint8_t WriteUserName(uint8_t id, const char* name) {
  uint8_t request[1 + kUserNameFieldLength];
  request[0] = id;
  FillField(request + 1, kUserNameFieldLength, name);
  return IpmiCommand(kNetFnApp, kCmdSetUserName, request);
}

uint8_t WriteUserPassword(uint8_t id, const char* password) { return SetUserPassword(id, kPasswordSet, password); }

uint8_t WriteUserEnable(uint8_t id, uint8_t operation) { return SetUserPassword(id, operation, ""); }

uint8_t WriteUserAccessBits(uint8_t accessByte, uint8_t id, uint8_t privilege) {
  const uint8_t request[] = {accessByte, id, privilege, kNoSessionLimit};
  return IpmiCommand(kNetFnApp, kCmdSetUserAccess, request);
}

uint8_t WriteUserAccess(uint8_t id, uint8_t privilege) {
  return WriteUserAccessBits(kAccessChangeBits | kAccessLinkAuthentication | kAccessIpmiMessaging | kLanChannel, id,
                             privilege);
}

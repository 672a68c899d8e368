// User accounts: Get/Set User Access, Get/Set User Name and Set User Password as
// IPMI 2.0 sections 22.26 to 22.30 define them, on the LAN channel.
#include <algorithm>
#include <array>

#include "sim/bmc_model.hpp"
#include "sim/handler.hpp"
#include "sim/ipmi_message.hpp"
#include "sim/json_reader.hpp"
#include "sim/user_state.hpp"

namespace {

constexpr uint8_t kNetFnApp = 0x06;
constexpr uint8_t kCmdSetUserAccess = 0x43;
constexpr uint8_t kCmdGetUserAccess = 0x44;
constexpr uint8_t kCmdSetUserName = 0x45;
constexpr uint8_t kCmdGetUserName = 0x46;
constexpr uint8_t kCmdSetUserPassword = 0x47;

constexpr uint8_t kLanChannel = 0x01;
constexpr uint8_t kChannelMask = 0x0F;
constexpr uint8_t kUserIdMask = 0x3F;  // bits 7:6 of a user ID byte are reserved (or the password size)
constexpr uint8_t kCountMask = 0x3F;
constexpr size_t kNameLength = 16;

// Set User Access byte 1.
constexpr uint8_t kAccessChangeBits = 0x80;
constexpr uint8_t kAccessCallbackOnly = 0x40;
constexpr uint8_t kAccessLinkAuthentication = 0x20;
constexpr uint8_t kAccessIpmiMessaging = 0x10;
constexpr uint8_t kPrivilegeMask = 0x0F;
constexpr uint8_t kSessionLimitMask = 0x0F;

// Set User Password.
constexpr uint8_t kPasswordSize20 = 0x80;
constexpr uint8_t kOperationMask = 0x03;
constexpr uint8_t kDisableUser = 0x00;
constexpr uint8_t kEnableUser = 0x01;
constexpr uint8_t kSetPassword = 0x02;
constexpr uint8_t kTestPassword = 0x03;
constexpr size_t kPassword16 = 16;
constexpr size_t kPassword20 = 20;
constexpr uint8_t kCcPasswordMismatch = 0x80;   // test failed: the size is right, the data are not
constexpr uint8_t kCcPasswordWrongSize = 0x81;  // test failed: stored with the other size

// Privilege limits a user can be given: Callback to OEM Proprietary, and No Access.
bool ValidPrivilege(uint8_t privilege) { return (privilege >= 0x01 && privilege <= 0x05) || privilege == 0x0F; }

UserState& Users(BmcModel& bmc) { return bmc.State().users; }

// The account a user ID byte names, or nullptr for ID 0 and IDs past the maximum.
UserAccount* Account(BmcModel& bmc, uint8_t idByte) {
  const unsigned id = idByte & kUserIdMask;
  auto& accounts = Users(bmc).accounts;
  if (id == 0 || id > accounts.size()) return nullptr;
  return &accounts[id - 1];
}

IpmiReply GetUserAccess(BmcModel& bmc, const IpmiMessage& request) {
  if ((request.data[0] & kChannelMask) != kLanChannel) return Refuse(kSimCcInvalidDataField);
  const UserAccount* account = Account(bmc, request.data[1]);
  if (account == nullptr) return Refuse(kSimCcInvalidDataField);
  const UserState& users = Users(bmc);
  const auto enabled = std::count_if(users.accounts.begin(), users.accounts.end(),
                                     [](const UserAccount& a) { return a.enable == UserEnable::Enabled; });
  const uint8_t access =
      static_cast<uint8_t>((account->callbackOnly ? kAccessCallbackOnly : 0) |
                           (account->linkAuthentication ? kAccessLinkAuthentication : 0) |
                           (account->ipmiMessaging ? kAccessIpmiMessaging : 0) | (account->privilege & kPrivilegeMask));
  return Reply({static_cast<uint8_t>(users.accounts.size() & kCountMask),
                static_cast<uint8_t>(static_cast<uint8_t>(account->enable) << 6 | (enabled & kCountMask)),
                static_cast<uint8_t>(users.fixedNames & kCountMask), access});
}

IpmiReply SetUserAccess(BmcModel& bmc, const IpmiMessage& request) {
  const uint8_t flags = request.data[0];
  if ((flags & kChannelMask) != kLanChannel) return Refuse(kSimCcInvalidDataField);
  UserAccount* account = Account(bmc, request.data[1]);
  const uint8_t privilege = request.data[2] & kPrivilegeMask;
  if (account == nullptr || !ValidPrivilege(privilege)) return Refuse(kSimCcInvalidDataField);
  if (request.data.size() > 4) return Refuse(kSimCcRequestDataLengthInvalid);
  // Bits 6:4 change only when bit 7 says so; the privilege limit always does.
  if (flags & kAccessChangeBits) {
    account->callbackOnly = (flags & kAccessCallbackOnly) != 0;
    account->linkAuthentication = (flags & kAccessLinkAuthentication) != 0;
    account->ipmiMessaging = (flags & kAccessIpmiMessaging) != 0;
  }
  account->privilege = privilege;
  if (request.data.size() == 4) account->sessionLimit = request.data[3] & kSessionLimitMask;
  return Reply({});
}

IpmiReply GetUserName(BmcModel& bmc, const IpmiMessage& request) {
  const UserAccount* account = Account(bmc, request.data[0]);
  if (account == nullptr) return Refuse(kSimCcInvalidDataField);
  return Reply(account->name);
}

IpmiReply SetUserName(BmcModel& bmc, const IpmiMessage& request) {
  if (request.data.size() != 1 + kNameLength) return Refuse(kSimCcRequestDataLengthInvalid);
  UserAccount* account = Account(bmc, request.data[0]);
  // Fixed names (the null user) cannot be changed.
  if (account == nullptr || (request.data[0] & kUserIdMask) <= Users(bmc).fixedNames) {
    return Refuse(kSimCcInvalidDataField);
  }
  account->name.assign(request.data.begin() + 1, request.data.end());
  return Reply({});
}

IpmiReply SetUserPassword(BmcModel& bmc, const IpmiMessage& request) {
  UserAccount* account = Account(bmc, request.data[0]);
  if (account == nullptr) return Refuse(kSimCcInvalidDataField);
  const size_t size = (request.data[0] & kPasswordSize20) ? kPassword20 : kPassword16;
  const uint8_t operation = request.data[1] & kOperationMask;
  switch (operation) {
    case kDisableUser:
    case kEnableUser:
      // The password field is not used by these operations.
      account->enable = operation == kEnableUser ? UserEnable::Enabled : UserEnable::Disabled;
      return Reply({});
    case kSetPassword:
    case kTestPassword:
      break;
  }
  if (request.data.size() != 2 + size) return Refuse(kSimCcRequestDataLengthInvalid);
  const std::vector<uint8_t> password(request.data.begin() + 2, request.data.end());
  if (operation == kSetPassword) {
    account->password = password;
    return Reply({});
  }
  if (account->password.size() != size) return Refuse(kCcPasswordWrongSize);
  return account->password == password ? Reply({}) : Refuse(kCcPasswordMismatch);
}

constexpr HandlerEntry kUserHandlers[] = {
    {kNetFnApp, kCmdSetUserAccess, 3, SetUserAccess},     {kNetFnApp, kCmdGetUserAccess, 2, GetUserAccess},
    {kNetFnApp, kCmdSetUserName, 1, SetUserName},         {kNetFnApp, kCmdGetUserName, 1, GetUserName},
    {kNetFnApp, kCmdSetUserPassword, 2, SetUserPassword},
};

// ---- scenario JSON ----

constexpr std::array<EnumName<UserEnable>, 4> kEnableNames{{
    {UserEnable::Unspecified, "unspecified"},
    {UserEnable::Enabled, "enabled"},
    {UserEnable::Disabled, "disabled"},
    {UserEnable::Reserved, "reserved"},
}};

std::vector<uint8_t> Field(const std::string& text, size_t length) {
  std::vector<uint8_t> field(length, 0);
  std::copy_n(text.begin(), std::min(text.size(), length), field.begin());
  return field;
}

// Printable text followed only by zeros reads back as text; anything else as hex.
bool AsText(const std::vector<uint8_t>& field, std::string* text) {
  const auto end = std::find(field.begin(), field.end(), 0);
  if (!std::all_of(end, field.end(), [](uint8_t b) { return b == 0; })) return false;
  if (!std::all_of(field.begin(), end, [](uint8_t b) { return b >= 0x20 && b < 0x7F; })) return false;
  text->assign(field.begin(), end);
  return true;
}

void ReadField(const nlohmann::json& entry, const char* textKey, const char* hexKey, size_t length,
               std::vector<uint8_t>* field, JsonReader& read) {
  if (entry.contains(textKey)) {
    std::string text;
    read.Text(entry, textKey, &text);
    if (text.size() > length) read.Fail(textKey, "at most " + std::to_string(length) + " bytes");
    *field = Field(text, length);
  }
  if (entry.contains(hexKey)) {
    read.Bytes(entry, hexKey, field);
    if (field->size() != length) read.Fail(hexKey, std::to_string(length) + " bytes");
  }
}

UserAccount MakeAccount(const char* name, const char* password, uint8_t privilege) {
  UserAccount account;
  account.name = Field(name, kNameLength);
  account.password = Field(password, kPassword20);
  account.enable = UserEnable::Enabled;
  account.linkAuthentication = true;
  account.ipmiMessaging = true;
  account.privilege = privilege;
  return account;
}

}  // namespace

std::span<const HandlerEntry> UserHandlers() { return kUserHandlers; }

UserState DefaultUserState() {
  UserState users;
  users.accounts.resize(10);
  users.accounts[0].enable = UserEnable::Disabled;  // the null user
  users.accounts[1] = MakeAccount("admin", "admin", 0x04);
  users.accounts[2] = MakeAccount("operator", "operator", 0x03);
  return users;
}

void ReadUserState(const nlohmann::json& object, UserState* users, JsonReader& read) {
  unsigned maxUsers = static_cast<unsigned>(users->accounts.size());
  read.Unsigned(object, "maxUsers", &maxUsers);
  if (maxUsers > kCountMask) read.Fail("maxUsers", "at most 63");
  read.Unsigned(object, "fixedNames", &users->fixedNames);
  if (object.contains("accounts")) users->accounts.assign(std::min<unsigned>(maxUsers, kCountMask), UserAccount{});
  users->accounts.resize(std::min<unsigned>(maxUsers, kCountMask));
  if (!object.contains("accounts")) return;
  for (const nlohmann::json& entry : object.at("accounts")) {
    unsigned id = 0;
    read.Unsigned(entry, "id", &id);
    if (id == 0 || id > users->accounts.size()) {
      read.Fail("id", "a user ID from 1 to maxUsers");
      return;
    }
    UserAccount& account = users->accounts[id - 1];
    ReadField(entry, "name", "nameHex", kNameLength, &account.name, read);
    unsigned passwordSize = kPassword20;
    read.Unsigned(entry, "passwordSize", &passwordSize);
    if (passwordSize != kPassword16 && passwordSize != kPassword20) read.Fail("passwordSize", "16 or 20");
    if (entry.contains("password") || entry.contains("passwordHex")) {
      ReadField(entry, "password", "passwordHex", passwordSize, &account.password, read);
    }
    read.Name(entry, "enable", kEnableNames, &account.enable);
    read.Byte(entry, "privilege", &account.privilege);
    account.privilege &= kPrivilegeMask;
    read.Bool(entry, "callbackOnly", &account.callbackOnly);
    read.Bool(entry, "linkAuthentication", &account.linkAuthentication);
    read.Bool(entry, "ipmiMessaging", &account.ipmiMessaging);
    read.Byte(entry, "sessionLimit", &account.sessionLimit);
  }
}

nlohmann::json UserStateToJson(const UserState& users) {
  nlohmann::json accounts = nlohmann::json::array();
  for (size_t i = 0; i < users.accounts.size(); ++i) {
    const UserAccount& account = users.accounts[i];
    nlohmann::json entry = {{"id", i + 1}};
    std::string text;
    if (AsText(account.name, &text)) {
      entry["name"] = text;
    } else {
      entry["nameHex"] = HexBytesText(account.name);
    }
    if (!account.password.empty()) {
      entry["passwordSize"] = account.password.size();
      if (AsText(account.password, &text)) {
        entry["password"] = text;
      } else {
        entry["passwordHex"] = HexBytesText(account.password);
      }
    }
    entry["enable"] = NameOf(kEnableNames, account.enable);
    entry["privilege"] = account.privilege;
    entry["callbackOnly"] = account.callbackOnly;
    entry["linkAuthentication"] = account.linkAuthentication;
    entry["ipmiMessaging"] = account.ipmiMessaging;
    entry["sessionLimit"] = account.sessionLimit;
    accounts.push_back(entry);
  }
  return {{"maxUsers", users.accounts.size()}, {"fixedNames", users.fixedNames}, {"accounts", accounts}};
}

#include "app/dispatch.hpp"

#include <climits>

#include "controller/fan_mode.hpp"
#include "controller/firmware_version.hpp"
#include "controller/reset.hpp"
#include "controller/self_test.hpp"
#include "fru/fru_backup.hpp"
#include "fru/fru_display.hpp"
#include "fru/fru_fields.hpp"
#include "fru/fru_write.hpp"
#include "fru/smbios_update.hpp"
#include "lan/lan_address.hpp"
#include "lan/vlan_arp.hpp"
#include "sel/sel_listing.hpp"
#include "sel/sel_log.hpp"
#include "sdr/sensor_listing.hpp"
#include "support/exit_status.hpp"
#include "support/scan.hpp"
#include "support/text.hpp"
#include "transport/raw_request.hpp"
#include "users/user_accounts.hpp"

namespace {

constexpr const char kVlanTagMessage[] = "Please enter an integer between 1 and 4094 inclusive for VLAN Tag.\n";
constexpr const char kInvalidModeMessage[] = "Invalid mode.\n";
constexpr const char kInvalidParametersMessage[] = "Invalid parameters.\n";

constexpr const char kFruWord[] = "-fru";
constexpr const char kFru1Word[] = "-fru1";

constexpr int kMinVlanTag = 1;
constexpr int kMaxVlanTag = 4094;
constexpr unsigned kMaxFanMode = 4;
constexpr int kMaxByteOperand = 255;

constexpr SubWordRule kAnySubWord = {nullptr, nullptr};
constexpr SubWordRule Is(const char* word) { return {word, nullptr}; }
// FRU field codes, case ignored: BV is shown only under -fru1, written under either word.
constexpr SubWordRule kFruDisplayCode = {nullptr, IsFruDisplayCode};
constexpr SubWordRule kFruWriteCode = {nullptr, IsFruWriteCode};
// Updates from the SMBIOS tables: "1m" ... "3s", exactly.
constexpr SubWordRule kSmbiosUpdateCode = {nullptr, IsSmbiosUpdateCode};

using enum OperandKind;

// The command table, in the order the command words are compared. Forms of one
// word are tried in order; the first whose count and sub-word match is taken.
// Operands are read in the order listed, and the first that fails its check
// ends the run.
constexpr CommandForm kCommandForms[] = {
    {"-m", 2, 2, kAnySubWord, {}, false, false, "ShowIpAndMac", [](const Operands&) { return ShowIpAndMac(); }},
    {"-m", 3, 3, kAnySubWord, {{Text, 2}}, false, false, "SetIpAddress",
     [](const Operands& o) { return SetIpAddress(o.text); }},
    {"-a", 3, 3, kAnySubWord, {{Text, 2}}, false, false, "SetMacAddress",
     [](const Operands& o) { return SetMacAddress(o.text); }},
    {"-k", 2, 2, kAnySubWord, {}, false, false, "ShowSubnetMask", [](const Operands&) { return ShowSubnetMask(); }},
    {"-k", 3, 3, kAnySubWord, {{Text, 2}}, false, false, "SetSubnetMask",
     [](const Operands& o) { return SetSubnetMask(o.text); }},
    {"-dhcp", 2, 2, kAnySubWord, {}, false, false, "ShowDhcpState", [](const Operands&) { return ShowDhcpState(); }},
    {"-dhcp", 3, 3, Is("on"), {}, true, false, "SetDhcp", [](const Operands& o) { return SetDhcp(o.on ? 1 : 0); }},
    {"-dhcp", 3, 3, Is("off"), {}, false, false, "SetDhcp", [](const Operands& o) { return SetDhcp(o.on ? 1 : 0); }},
    {"-g", 2, 2, kAnySubWord, {}, false, false, "ShowGateway", [](const Operands&) { return ShowGateway(); }},
    {"-g", 3, 3, kAnySubWord, {{Text, 2}}, false, false, "SetGateway",
     [](const Operands& o) { return SetGateway(o.text); }},
    {"-r", 2, 2, kAnySubWord, {}, false, false, "ColdResetBmc", [](const Operands&) { return ColdResetBmc(); }},
    {"-r", 3, 3, Is("-d"), {}, false, true, "ColdResetBmc", [](const Operands&) { return ColdResetBmc(); }},
    {"-garp", 3, 3, Is("on"), {}, true, false, "SetGratuitousArp",
     [](const Operands& o) { return SetGratuitousArp(o.on ? 1 : 0); }},
    {"-garp", 3, 3, Is("off"), {}, false, false, "SetGratuitousArp",
     [](const Operands& o) { return SetGratuitousArp(o.on ? 1 : 0); }},
    {"-fd", 2, 2, kAnySubWord, {}, false, false, "FactoryDefault", [](const Operands&) { return FactoryDefault(); }},
    {"-fd", 3, 3, Is("-d"), {}, false, true, "FactoryDefault", [](const Operands&) { return FactoryDefault(); }},
    {"-fdl", 2, 2, kAnySubWord, {}, false, false, "FactoryDefaultCleanLan",
     [](const Operands&) { return FactoryDefaultCleanLan(); }},
    {"-fdl", 3, 3, Is("-d"), {}, false, true, "FactoryDefaultCleanLan",
     [](const Operands&) { return FactoryDefaultCleanLan(); }},
    {"-fde", 2, 2, kAnySubWord, {}, false, false, "FactoryDefaultCleanFruLan",
     [](const Operands&) { return FactoryDefaultCleanFruLan(); }},
    {"-fde", 3, 3, Is("-d"), {}, false, true, "FactoryDefaultCleanFruLan",
     [](const Operands&) { return FactoryDefaultCleanFruLan(); }},
    {"-ver", 2, 2, kAnySubWord, {}, false, false, "ShowFirmwareVersion",
     [](const Operands&) { return ShowFirmwareVersion(); }},
    {"-vlan", 2, 2, kAnySubWord, {}, false, false, "ShowVlanState", [](const Operands&) { return ShowVlanState(); }},
    // Without a tag the BMC keeps the tag it holds.
    {"-vlan", 3, 3, Is("on"), {}, true, false, "SetVlan",
     [](const Operands& o) { return SetVlan(o.on ? 1 : 0, o.vlanTag); }},
    {"-vlan", 3, 3, Is("off"), {}, false, false, "SetVlan",
     [](const Operands& o) { return SetVlan(o.on ? 1 : 0, o.vlanTag); }},
    {"-vlan", 4, 4, Is("on"), {{VlanTag, 3}}, true, false, "SetVlan",
     [](const Operands& o) { return SetVlan(o.on ? 1 : 0, o.vlanTag); }},
    {"-selftest", 2, 2, kAnySubWord, {}, false, false, "ShowSelfTest", [](const Operands&) { return ShowSelfTest(); }},
    {"-raw", 4, INT_MAX, kAnySubWord, {{RawOperands, 2}}, false, false, "RawRequest",
     [](const Operands& o) { return RawRequest(o.argc, o.rawOperands); }},
    {"-sel", 3, 3, Is("info"), {}, false, false, "ShowSelInfo", [](const Operands&) { return ShowSelInfo(); }},
    {"-sel", 3, 3, Is("list"), {}, false, false, "ShowSelListing", [](const Operands&) { return ShowSelListing(); }},
    {"-sel", 3, 3, Is("del"), {}, false, false, "ClearSel", [](const Operands&) { return ClearSel(); }},
    {"-sel", 3, 3, Is("raw"), {}, false, false, "DumpSelRaw", [](const Operands&) { return DumpSelRaw(); }},
    {"-sdr", 2, 2, kAnySubWord, {}, false, false, "ShowSensors", [](const Operands&) { return ShowSensors(); }},
    // "-fru1" takes these rows too (SelectCommand).
    {"-fru", 3, 3, Is("info"), {}, false, false, "ShowFruInfo", [](const Operands&) { return ShowFruInfo(); }},
    {"-fru", 3, 3, Is("list"), {}, false, false, "ListFru", [](const Operands&) { return ListFru(); }},
    {"-fru", 3, 3, Is("cthelp"), {}, false, false, "ShowChassisTypes",
     [](const Operands&) { return ShowChassisTypes(); }},
    {"-fru", 3, 3, Is("help"), {}, false, false, "ShowFruHelp", [](const Operands&) { return ShowFruHelp(); }},
    {"-fru", 3, 3, kFruDisplayCode, {{Code, 2}}, false, false, "ShowFruField",
     [](const Operands& o) { return ShowFruField(o.code); }},
    {"-fru", 3, 3, kSmbiosUpdateCode, {{Code, 2}}, false, false, "UpdateFruFromSmbios",
     [](const Operands& o) { return UpdateFruFromSmbios(o.code); }},
    {"-fru", 4, 4, kFruWriteCode, {{Code, 2}, {Text, 3}}, false, false, "WriteFruField",
     [](const Operands& o) { return WriteFruField(o.code, o.text); }},
    {"-fru", 4, 4, Is("backup"), {{FileName, 3}}, false, false, "BackupFru",
     [](const Operands& o) { return BackupFru(o.fileName); }},
    {"-fru", 4, 4, Is("restore"), {{FileName, 3}}, false, false, "RestoreFru",
     [](const Operands& o) { return RestoreFru(o.fileName); }},
    {"-fan", 2, 2, kAnySubWord, {}, false, false, "ShowFanMode", [](const Operands&) { return ShowFanMode(); }},
    {"-fan", 3, 3, kAnySubWord, {{FanMode, 2}}, false, false, "SetFanMode",
     [](const Operands& o) { return SetFanMode(o.fanMode); }},
    {"-user", 3, 3, Is("list"), {}, false, false, "ListUsers", [](const Operands&) { return ListUsers(); }},
    {"-user", 3, 3, Is("help"), {}, false, false, "ShowPrivilegeCodes",
     [](const Operands&) { return ShowPrivilegeCodes(); }},
    {"-user", 4, 4, Is("del"), {{UserId, 3}}, false, false, "DeleteUser",
     [](const Operands& o) { return DeleteUser(o.userId); }},
    {"-user", 5, 5, Is("level"), {{UserId, 3}, {Privilege, 4}}, false, false, "SetUserLevel",
     [](const Operands& o) { return SetUserLevel(o.userId, o.privilege); }},
    {"-user", 5, 5, Is("setpwd"), {{UserId, 3}, {Password, 4}}, false, false, "SetUserPasswordCommand",
     [](const Operands& o) { return SetUserPasswordCommand(o.userId, o.password); }},
    {"-user", 7, 7, Is("add"), {{UserId, 3}, {UserName, 4}, {Password, 5}, {Privilege, 6}}, false, false, "AddUser",
     [](const Operands& o) { return AddUser(o.userId, o.userName, o.password, o.privilege); }},
};

constexpr bool EveryFormRuns() {
  for (const CommandForm& form : kCommandForms) {
    if (form.run == nullptr || form.operation == nullptr) return false;
  }
  return true;
}
static_assert(EveryFormRuns(), "every command form names the operation it runs");

void Finish(Selection* selection, int status, const char* message = nullptr) {
  selection->form = nullptr;
  selection->status = status;
  selection->message = message;
}

bool ReadDecimal(const char* text, int* value) { return ScanDecimal(text, value) == 1; }

// User IDs and privileges travel as single bytes, so a value outside 0..255 is
// refused too: cut to 8 bits it would name another user or privilege (258
// would be user 2).
bool ReadByteOperand(const char* text, uint8_t* value) {
  int number = 0;
  if (!ReadDecimal(text, &number) || number < 0 || number > kMaxByteOperand) return false;
  *value = static_cast<uint8_t>(number);
  return true;
}

// Reads one operand into s->operands; false after ending the run.
bool ReadOperand(OperandKind kind, int position, int argc, char* argv[], Selection* s) {
  Operands& o = s->operands;
  const char* text = argv[position];
  switch (kind) {
    case Text:
      o.text = text;
      return true;
    case UserName:
      o.userName = text;
      return true;
    case Password:
      o.password = text;
      return true;
    case FileName:
      o.fileName = text;
      return true;
    case Code:
      o.code = text;
      return true;
    case RawOperands:
      o.argc = argc;
      o.rawOperands = argv + position;
      return true;
    case UserId:
    case Privilege:
      if (!ReadByteOperand(text, kind == UserId ? &o.userId : &o.privilege)) {
        Finish(s, kStatusInvalidOperand, kInvalidParametersMessage);
        return false;
      }
      return true;
    case VlanTag: {
      int tag = 0;
      if (!ReadDecimal(text, &tag)) {
        Finish(s, kStatusUsage);
        return false;
      }
      if (tag < kMinVlanTag || tag > kMaxVlanTag) {
        Finish(s, kStatusInvalidOperand, kVlanTagMessage);
        return false;
      }
      o.vlanTag = tag;
      return true;
    }
    case FanMode: {
      int mode = 0;
      if (!ReadDecimal(text, &mode)) {
        Finish(s, kStatusUsage);
        return false;
      }
      // Taken as unsigned, so a negative mode is out of range too.
      if (static_cast<unsigned>(mode) > kMaxFanMode) {
        Finish(s, kStatusInvalidOperand, kInvalidModeMessage);
        return false;
      }
      o.fanMode = static_cast<uint8_t>(mode);
      return true;
    }
  }
  return false;
}

bool SubWordMatches(const SubWordRule& rule, const char* word, bool fru1Mode) {
  if (rule.exact != nullptr) return StringEquals(rule.exact, word);
  if (rule.matches != nullptr) return rule.matches(word, fru1Mode);
  return true;
}

bool FormMatches(const CommandForm& form, const char* word, int argc, char* argv[], bool fru1Mode) {
  return StringEquals(form.word, word) && argc >= form.minArgc && argc <= form.maxArgc &&
         (argc < 3 || SubWordMatches(form.subWord, argv[2], fru1Mode));
}

}  // namespace

Selection SelectCommand(int argc, char* argv[]) {
  Selection s{};
  Finish(&s, kStatusUsage);
  if (argc < 2 || argv[1][0] != '-') return s;

  s.fruCommand = StringEquals(argv[1], kFruWord) || StringEquals(argv[1], kFru1Word);
  s.fru1Mode = StringEquals(argv[1], kFru1Word);
  // "-fru1" takes every form of "-fru"; the sub-word rules see fru1Mode.
  const char* word = s.fru1Mode ? kFruWord : argv[1];

  for (const CommandForm& form : kCommandForms) {
    if (!FormMatches(form, word, argc, argv, s.fru1Mode)) continue;
    s.form = &form;
    s.status = kStatusSuccess;
    s.operands.on = form.on;
    for (const OperandAt& operand : form.operands) {
      if (operand.position == 0) break;
      if (!ReadOperand(operand.kind, operand.position, argc, argv, &s)) return s;
    }
    return s;
  }
  return s;
}

CommandTable AllCommandForms() {
  return {kCommandForms, static_cast<int>(sizeof kCommandForms / sizeof kCommandForms[0])};
}

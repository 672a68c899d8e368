#include "app/dispatch.hpp"

#include "app/run_state.hpp"
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
#include "sdr/sensor_listing.hpp"
#include "sel/sel_listing.hpp"
#include "sel/sel_log.hpp"
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
constexpr const char kOn[] = "on";
constexpr const char kOff[] = "off";

constexpr int kMinVlanTag = 1;
constexpr int kMaxVlanTag = 4094;
constexpr unsigned kMaxFanMode = 4;
constexpr int kMaxByteOperand = 255;
constexpr int kAnyNumber = 1 << 30;  // -raw: as many data bytes as typed (the request refuses too many)

// Forms that take exactly this many arguments after the command word.
constexpr ArgumentCount kNoArguments = {0, 0};
constexpr ArgumentCount kOneArgument = {1, 1};
constexpr ArgumentCount kTwoArguments = {2, 2};
constexpr ArgumentCount kThreeArguments = {3, 3};
constexpr ArgumentCount kFiveArguments = {5, 5};

constexpr SubWordRule Is(const char* word) { return {word, nullptr}; }
bool IsOnOrOff(const char* word, bool) { return StringEquals(word, kOn) || StringEquals(word, kOff); }
constexpr SubWordRule kOnOrOff = {nullptr, IsOnOrOff};
// FRU field codes, case ignored: BV is shown only under -fru1, written under either word.
constexpr SubWordRule kFruDisplayCode = {nullptr, IsFruDisplayCode};
constexpr SubWordRule kFruWriteCode = {nullptr, IsFruWriteCode};
// Updates from the SMBIOS tables: "1m" ... "3s", exactly.
constexpr SubWordRule kSmbiosUpdateCode = {nullptr, IsSmbiosUpdateCode};

using enum OperandKind;

// The command table, in the order the command words are compared. Forms of one
// word are tried in order; the first whose count and sub-word match is taken.
// Operands are read in the order listed, and the first that fails its check
// ends the run. "-fru1" takes the rows of "-fru" (SelectCommand).
constexpr CommandForm kCommandForms[] = {
    {.word = "-m", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowIpAndMac)},
    {.word = "-m",
     .arguments = kOneArgument,
     .operands = {{Text, 1}},
     .operation = TOLVANE_OPERATION(SetIpAddress, o.text)},
    {.word = "-a",
     .arguments = kOneArgument,
     .operands = {{Text, 1}},
     .operation = TOLVANE_OPERATION(SetMacAddress, o.text)},
    {.word = "-k", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowSubnetMask)},
    {.word = "-k",
     .arguments = kOneArgument,
     .operands = {{Text, 1}},
     .operation = TOLVANE_OPERATION(SetSubnetMask, o.text)},
    {.word = "-dhcp", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowDhcpState)},
    {.word = "-dhcp",
     .arguments = kOneArgument,
     .subWord = kOnOrOff,
     .operands = {{Switch, 1}},
     .operation = TOLVANE_OPERATION(SetDhcp, o.on)},
    {.word = "-g", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowGateway)},
    {.word = "-g",
     .arguments = kOneArgument,
     .operands = {{Text, 1}},
     .operation = TOLVANE_OPERATION(SetGateway, o.text)},
    {.word = "-r", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ColdResetBmc, o.waitAfterReset)},
    {.word = "-r",
     .arguments = kOneArgument,
     .subWord = Is("-d"),
     .operands = {{Wait, 1}},
     .operation = TOLVANE_OPERATION(ColdResetBmc, o.waitAfterReset)},
    {.word = "-garp",
     .arguments = kOneArgument,
     .subWord = kOnOrOff,
     .operands = {{Switch, 1}},
     .operation = TOLVANE_OPERATION(SetGratuitousArp, o.on)},
    {.word = "-fd", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(FactoryDefault, o.waitAfterReset)},
    {.word = "-fd",
     .arguments = kOneArgument,
     .subWord = Is("-d"),
     .operands = {{Wait, 1}},
     .operation = TOLVANE_OPERATION(FactoryDefault, o.waitAfterReset)},
    {.word = "-fdl",
     .arguments = kNoArguments,
     .operation = TOLVANE_OPERATION(FactoryDefaultCleanLan, o.waitAfterReset)},
    {.word = "-fdl",
     .arguments = kOneArgument,
     .subWord = Is("-d"),
     .operands = {{Wait, 1}},
     .operation = TOLVANE_OPERATION(FactoryDefaultCleanLan, o.waitAfterReset)},
    {.word = "-fde",
     .arguments = kNoArguments,
     .operation = TOLVANE_OPERATION(FactoryDefaultCleanFruLan, o.waitAfterReset)},
    {.word = "-fde",
     .arguments = kOneArgument,
     .subWord = Is("-d"),
     .operands = {{Wait, 1}},
     .operation = TOLVANE_OPERATION(FactoryDefaultCleanFruLan, o.waitAfterReset)},
    {.word = "-ver", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowFirmwareVersion)},
    {.word = "-vlan", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowVlanState)},
    // Without a tag the BMC keeps the tag it holds.
    {.word = "-vlan",
     .arguments = kOneArgument,
     .subWord = kOnOrOff,
     .operands = {{Switch, 1}},
     .operation = TOLVANE_OPERATION(SetVlan, o.on, o.vlanTag)},
    {.word = "-vlan",
     .arguments = kTwoArguments,
     .subWord = Is(kOn),
     .operands = {{Switch, 1}, {VlanTag, 2}},
     .operation = TOLVANE_OPERATION(SetVlan, o.on, o.vlanTag)},
    {.word = "-selftest", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowSelfTest)},
    {.word = "-raw",
     .arguments = {2, kAnyNumber},
     .operands = {{RawBytes, 1}},
     .operation = TOLVANE_OPERATION(RawRequest, o.rawRequest)},
    {.word = "-sel",
     .arguments = kOneArgument,
     .subWord = Is("info"),
     .operation = TOLVANE_OPERATION(ShowSelInfo, run.sel)},
    {.word = "-sel",
     .arguments = kOneArgument,
     .subWord = Is("list"),
     .operation = TOLVANE_OPERATION(ShowSelListing, run.sel, run.sdr)},
    {.word = "-sel",
     .arguments = kOneArgument,
     .subWord = Is("del"),
     .operation = TOLVANE_OPERATION(ClearSel, run.sel)},
    {.word = "-sel",
     .arguments = kOneArgument,
     .subWord = Is("raw"),
     .operation = TOLVANE_OPERATION(DumpSelRaw, run.sel)},
    {.word = "-sdr", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowSensors, run.sdr)},
    {.word = "-fru",
     .arguments = kOneArgument,
     .subWord = Is("info"),
     .operation = TOLVANE_OPERATION(ShowFruInfo, run.fru)},
    {.word = "-fru",
     .arguments = kOneArgument,
     .subWord = Is("list"),
     .operation = TOLVANE_OPERATION(ListFru, run.fru, o.fru1Mode)},
    {.word = "-fru",
     .arguments = kOneArgument,
     .subWord = Is("cthelp"),
     .operation = TOLVANE_OPERATION(ShowChassisTypes)},
    {.word = "-fru",
     .arguments = kOneArgument,
     .subWord = Is("help"),
     .operation = TOLVANE_OPERATION(ShowFruHelp, o.fru1Mode)},
    {.word = "-fru",
     .arguments = kOneArgument,
     .subWord = kFruDisplayCode,
     .operands = {{Code, 1}},
     .operation = TOLVANE_OPERATION(ShowFruField, run.fru, o.fru1Mode, o.code)},
    {.word = "-fru",
     .arguments = kOneArgument,
     .subWord = kSmbiosUpdateCode,
     .operands = {{Code, 1}},
     .operation = TOLVANE_OPERATION(UpdateFruFromSmbios, run.fru, o.fru1Mode, o.code)},
    {.word = "-fru",
     .arguments = kTwoArguments,
     .subWord = kFruWriteCode,
     .operands = {{Code, 1}, {Text, 2}},
     .operation = TOLVANE_OPERATION(WriteFruField, run.fru, o.fru1Mode, o.code, o.text)},
    {.word = "-fru",
     .arguments = kTwoArguments,
     .subWord = Is("backup"),
     .operands = {{FileName, 2}},
     .operation = TOLVANE_OPERATION(BackupFru, run.fru, o.fru1Mode, o.fileName)},
    {.word = "-fru",
     .arguments = kTwoArguments,
     .subWord = Is("restore"),
     .operands = {{FileName, 2}},
     .operation = TOLVANE_OPERATION(RestoreFru, run.fru, o.fru1Mode, o.fileName)},
    {.word = "-fan", .arguments = kNoArguments, .operation = TOLVANE_OPERATION(ShowFanMode)},
    {.word = "-fan",
     .arguments = kOneArgument,
     .operands = {{FanMode, 1}},
     .operation = TOLVANE_OPERATION(SetFanMode, o.fanMode)},
    {.word = "-user", .arguments = kOneArgument, .subWord = Is("list"), .operation = TOLVANE_OPERATION(ListUsers)},
    {.word = "-user",
     .arguments = kOneArgument,
     .subWord = Is("help"),
     .operation = TOLVANE_OPERATION(ShowPrivilegeCodes)},
    {.word = "-user",
     .arguments = kTwoArguments,
     .subWord = Is("del"),
     .operands = {{UserId, 2}},
     .operation = TOLVANE_OPERATION(DeleteUser, o.userId)},
    {.word = "-user",
     .arguments = kThreeArguments,
     .subWord = Is("level"),
     .operands = {{UserId, 2}, {Privilege, 3}},
     .operation = TOLVANE_OPERATION(SetUserLevel, o.userId, o.privilege)},
    {.word = "-user",
     .arguments = kThreeArguments,
     .subWord = Is("setpwd"),
     .operands = {{UserId, 2}, {Password, 3}},
     .operation = TOLVANE_OPERATION(SetUserPasswordCommand, o.userId, o.password)},
    {.word = "-user",
     .arguments = kFiveArguments,
     .subWord = Is("add"),
     .operands = {{UserId, 2}, {UserName, 3}, {Password, 4}, {Privilege, 5}},
     .operation = TOLVANE_OPERATION(AddUser, o.userId, o.userName, o.password, o.privilege)},
};

constexpr bool EveryFormRuns() {
  for (const CommandForm& form : kCommandForms) {
    if (form.operation.run == nullptr || form.operation.name == nullptr) return false;
  }
  return true;
}
static_assert(EveryFormRuns(), "every command form names the operation it runs");

// The argument vector after the program name: [0] the command word.
using Arguments = std::span<char* const>;

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
bool ReadOperand(OperandAt operand, Arguments arguments, Selection* s) {
  Operands& o = s->operands;
  const char* text = arguments[operand.position];
  switch (operand.kind) {
    case None:
      return true;
    case Switch:
      o.on = StringEquals(text, kOn);
      return true;
    case Wait:
      o.waitAfterReset = true;
      return true;
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
    case RawBytes:
      o.rawRequest = arguments.subspan(operand.position);
      return true;
    case UserId:
    case Privilege:
      if (!ReadByteOperand(text, operand.kind == UserId ? &o.userId : &o.privilege)) {
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

bool FormMatches(const CommandForm& form, const char* word, Arguments arguments, bool fru1Mode) {
  const auto count = static_cast<int>(arguments.size()) - 1;
  return StringEquals(form.word, word) && count >= form.arguments.min && count <= form.arguments.max &&
         (count == 0 || SubWordMatches(form.subWord, arguments[1], fru1Mode));
}

}  // namespace

Selection SelectCommand(int argc, char* argv[]) {
  Selection s{};
  Finish(&s, kStatusUsage);
  if (argc < 2 || argv[1][0] != '-') return s;
  const Arguments arguments(argv + 1, static_cast<size_t>(argc - 1));

  // "-fru1" takes every form of "-fru"; the sub-word rules see fru1Mode.
  s.operands.fru1Mode = StringEquals(arguments[0], kFru1Word);
  const char* word = s.operands.fru1Mode ? kFruWord : arguments[0];

  for (const CommandForm& form : kCommandForms) {
    if (!FormMatches(form, word, arguments, s.operands.fru1Mode)) continue;
    s.form = &form;
    s.status = kStatusSuccess;
    for (const OperandAt& operand : form.operands) {
      if (operand.kind == None) break;
      if (!ReadOperand(operand, arguments, &s)) return s;
    }
    return s;
  }
  return s;
}

CommandTable AllCommandForms() {
  return {kCommandForms, static_cast<int>(sizeof kCommandForms / sizeof kCommandForms[0])};
}

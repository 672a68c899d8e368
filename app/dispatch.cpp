#include "app/dispatch.hpp"

#include <climits>

#include "support/scan.hpp"
#include "support/text.hpp"

namespace {

constexpr const char kVlanTagMessage[] = "Please enter an integer between 1 and 4094 inclusive for VLAN Tag.\n";
constexpr const char kInvalidModeMessage[] = "Invalid mode.\n";
constexpr const char kInvalidParametersMessage[] = "Invalid parameters.\n";

constexpr int kMinVlanTag = 1;
constexpr int kMaxVlanTag = 4094;
constexpr unsigned kMaxFanMode = 4;
constexpr int kMaxByteOperand = 255;

// Operand checks that a form makes after its word, count and sub-word matched.
// They fill in the operands, or end the run through Finish().
using FormCheck = void (*)(Selection* selection);

struct CommandForm {
  const char* word;
  int minArgc;
  int maxArgc;
  const char* subWord;  // argv[2] must equal this; nullptr: any
  Operation operation;
  int flag;
  bool waitAfterReset;
  FormCheck check;
};

void Finish(Selection* selection, int status, const char* message = nullptr) {
  selection->operation = Operation::None;
  selection->status = status;
  selection->message = message;
}

bool ReadDecimal(const char* text, int* value) { return ScanDecimal(text, value) == 1; }

void CheckVlanTag(Selection* s) {
  int tag = 0;
  if (!ReadDecimal(s->argv[3], &tag)) return Finish(s, kStatusUsage);
  if (tag < kMinVlanTag || tag > kMaxVlanTag) return Finish(s, kStatusInvalidOperand, kVlanTagMessage);
  s->number[0] = tag;
}

void CheckFanMode(Selection* s) {
  int mode = 0;
  if (!ReadDecimal(s->argv[2], &mode)) return Finish(s, kStatusUsage);
  // Taken as unsigned, so a negative mode is out of range too.
  if (static_cast<unsigned>(mode) > kMaxFanMode) return Finish(s, kStatusInvalidOperand, kInvalidModeMessage);
  s->number[0] = mode;
}

// Reads the decimal operands at the given argument positions into number[],
// in order; the first that does not convert ends the run. User IDs and
// privileges travel as single bytes, so a value outside 0..255 is refused too:
// cut to 8 bits it would name another user or privilege (258 would be user 2).
void CheckUserNumbers(Selection* s, int first, int second) {
  const int positions[] = {first, second};
  for (int i = 0; i < 2 && positions[i] != 0; ++i) {
    if (!ReadDecimal(s->argv[positions[i]], &s->number[i]) || s->number[i] < 0 || s->number[i] > kMaxByteOperand) {
      return Finish(s, kStatusInvalidOperand, kInvalidParametersMessage);
    }
  }
}
void CheckUserId(Selection* s) { CheckUserNumbers(s, 3, 0); }
void CheckUserIdAndPrivilege(Selection* s) { CheckUserNumbers(s, 3, 4); }
void CheckUserAdd(Selection* s) { CheckUserNumbers(s, 3, 6); }

// FRU field codes; "bv" is shown only by "-fru1" but written by either word.
struct FruFieldCode {
  const char* code;
  bool showOnlyInFru1Mode;
};
constexpr FruFieldCode kFruFieldCodes[] = {
    {"ct", false}, {"cp", false}, {"cs", false}, {"bdt", false}, {"bm", false},
    {"bpn", false}, {"bs", false}, {"bp", false}, {"pm", false}, {"pn", false},
    {"ppm", false}, {"pv", false}, {"ps", false}, {"pat", false}, {"bv", true},
};
constexpr const char* kFruUpdateCodes[] = {"1m", "1p", "1s", "2m", "2p", "2s", "3s"};

bool IsFruFieldCode(const char* text, bool forShow, bool fru1) {
  for (const FruFieldCode& field : kFruFieldCodes) {
    if (StringEqualsIgnoreCase(text, field.code)) return !(forShow && field.showOnlyInFru1Mode && !fru1);
  }
  return false;
}

bool IsFruUpdateCode(const char* text) {
  for (const char* code : kFruUpdateCodes) {
    if (StringEquals(text, code)) return true;
  }
  return false;
}

struct FruWord {
  const char* word;
  Operation operation;
};
constexpr FruWord kFruShowWords[] = {
    {"info", Operation::ShowFruInfo},
    {"list", Operation::ListFru},
    {"cthelp", Operation::ShowChassisTypes},
    {"help", Operation::ShowFruHelp},
};
constexpr FruWord kFruFileWords[] = {
    {"backup", Operation::BackupFru},
    {"restore", Operation::RestoreFru},
};

void CheckFruShow(Selection* s) {
  const char* word = s->argv[2];
  for (const FruWord& entry : kFruShowWords) {
    if (StringEquals(word, entry.word)) {
      s->operation = entry.operation;
      return;
    }
  }
  if (IsFruFieldCode(word, true, s->fru1Mode)) {
    s->operation = Operation::ShowFruField;
  } else if (IsFruUpdateCode(word)) {
    s->operation = Operation::UpdateFruFromSmbios;
  } else {
    Finish(s, kStatusUsage);
  }
}

void CheckFruWrite(Selection* s) {
  const char* word = s->argv[2];
  if (IsFruFieldCode(word, false, s->fru1Mode)) {
    s->operation = Operation::WriteFruField;
    return;
  }
  for (const FruWord& entry : kFruFileWords) {
    if (StringEquals(word, entry.word)) {
      s->operation = entry.operation;
      return;
    }
  }
  Finish(s, kStatusUsage);
}

// The command table, in the order the command words are compared. Forms of one
// word are tried in order; the first whose count and sub-word match is taken.
constexpr CommandForm kCommandForms[] = {
    {"-m", 2, 2, nullptr, Operation::ShowIpAndMac, 0, false, nullptr},
    {"-m", 3, 3, nullptr, Operation::SetIpAddress, 0, false, nullptr},
    {"-a", 3, 3, nullptr, Operation::SetMacAddress, 0, false, nullptr},
    {"-k", 2, 2, nullptr, Operation::ShowSubnetMask, 0, false, nullptr},
    {"-k", 3, 3, nullptr, Operation::SetSubnetMask, 0, false, nullptr},
    {"-dhcp", 2, 2, nullptr, Operation::ShowDhcpState, 0, false, nullptr},
    {"-dhcp", 3, 3, "on", Operation::SetDhcp, 1, false, nullptr},
    {"-dhcp", 3, 3, "off", Operation::SetDhcp, 0, false, nullptr},
    {"-g", 2, 2, nullptr, Operation::ShowGateway, 0, false, nullptr},
    {"-g", 3, 3, nullptr, Operation::SetGateway, 0, false, nullptr},
    {"-r", 2, 2, nullptr, Operation::ColdResetBmc, 0, false, nullptr},
    {"-r", 3, 3, "-d", Operation::ColdResetBmc, 0, true, nullptr},
    {"-garp", 3, 3, "on", Operation::SetGratuitousArp, 1, false, nullptr},
    {"-garp", 3, 3, "off", Operation::SetGratuitousArp, 0, false, nullptr},
    {"-fd", 2, 2, nullptr, Operation::FactoryDefault, 0, false, nullptr},
    {"-fd", 3, 3, "-d", Operation::FactoryDefault, 0, true, nullptr},
    {"-fdl", 2, 2, nullptr, Operation::FactoryDefaultCleanLan, 0, false, nullptr},
    {"-fdl", 3, 3, "-d", Operation::FactoryDefaultCleanLan, 0, true, nullptr},
    {"-fde", 2, 2, nullptr, Operation::FactoryDefaultCleanFruLan, 0, false, nullptr},
    {"-fde", 3, 3, "-d", Operation::FactoryDefaultCleanFruLan, 0, true, nullptr},
    {"-ver", 2, 2, nullptr, Operation::ShowFirmwareVersion, 0, false, nullptr},
    {"-vlan", 2, 2, nullptr, Operation::ShowVlanState, 0, false, nullptr},
    {"-vlan", 3, 3, "on", Operation::SetVlan, 1, false, nullptr},  // tag 0: keep the saved tag
    {"-vlan", 3, 3, "off", Operation::SetVlan, 0, false, nullptr},
    {"-vlan", 4, 4, "on", Operation::SetVlan, 1, false, CheckVlanTag},
    {"-selftest", 2, 2, nullptr, Operation::ShowSelfTest, 0, false, nullptr},
    {"-raw", 4, INT_MAX, nullptr, Operation::RawRequest, 0, false, nullptr},
    {"-fru", 3, 3, nullptr, Operation::None, 0, false, CheckFruShow},
    {"-fru", 4, 4, nullptr, Operation::None, 0, false, CheckFruWrite},
    {"-fru1", 3, 3, nullptr, Operation::None, 0, false, CheckFruShow},
    {"-fru1", 4, 4, nullptr, Operation::None, 0, false, CheckFruWrite},
    {"-sel", 3, 3, "info", Operation::ShowSelInfo, 0, false, nullptr},
    {"-sel", 3, 3, "list", Operation::ListSel, 0, false, nullptr},
    {"-sel", 3, 3, "del", Operation::ClearSel, 0, false, nullptr},
    {"-sel", 3, 3, "raw", Operation::DumpSelRaw, 0, false, nullptr},
    {"-sdr", 2, 2, nullptr, Operation::ListSensors, 0, false, nullptr},
    {"-fan", 2, 2, nullptr, Operation::ShowFanMode, 0, false, nullptr},
    {"-fan", 3, 3, nullptr, Operation::SetFanMode, 0, false, CheckFanMode},
    {"-user", 3, 3, "list", Operation::ListUsers, 0, false, nullptr},
    {"-user", 3, 3, "help", Operation::ShowPrivilegeCodes, 0, false, nullptr},
    {"-user", 4, 4, "del", Operation::DeleteUser, 0, false, CheckUserId},
    {"-user", 5, 5, "level", Operation::SetUserLevel, 0, false, CheckUserIdAndPrivilege},
    {"-user", 5, 5, "setpwd", Operation::SetUserPassword, 0, false, CheckUserId},
    {"-user", 7, 7, "add", Operation::AddUser, 0, false, CheckUserAdd},
};

bool FormMatches(const CommandForm& form, int argc, char* argv[]) {
  return StringEquals(form.word, argv[1]) && argc >= form.minArgc && argc <= form.maxArgc &&
         (form.subWord == nullptr || StringEquals(form.subWord, argv[2]));
}

}  // namespace

Selection SelectOperation(int argc, char* argv[]) {
  Selection s{};
  s.argc = argc;
  s.argv = argv;
  Finish(&s, kStatusUsage);
  if (argc < 2 || argv[1][0] != '-') return s;

  s.fruCommand = StringEquals(argv[1], "-fru") || StringEquals(argv[1], "-fru1");
  s.fru1Mode = StringEquals(argv[1], "-fru1");

  for (const CommandForm& form : kCommandForms) {
    if (!FormMatches(form, argc, argv)) continue;
    s.operation = form.operation;
    s.status = kStatusSuccess;
    s.flag = form.flag;
    s.waitAfterReset = form.waitAfterReset;
    if (form.check != nullptr) form.check(&s);
    return s;
  }
  return s;
}

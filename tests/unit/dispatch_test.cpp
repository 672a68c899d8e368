// The command table: which operation an argument vector selects, with which
// operands, and which of the dispatcher's own checks ends a run.
#include "app/dispatch.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr const char kVlanTag[] = "Please enter an integer between 1 and 4094 inclusive for VLAN Tag.\n";
constexpr const char kInvalidMode[] = "Invalid mode.\n";
constexpr const char kInvalidParameters[] = "Invalid parameters.\n";

// The operation a form runs, by name; "" when the dispatcher ends the run itself.
struct Expect {
  std::vector<std::string> args;  // after the program name
  std::string operation;
  int status = 0;  // with no operation
  const char* message = nullptr;
  int on = 0;
  std::vector<int> numbers = {};  // the form's decimal operands, in the order it lists them
  bool wait = false;
};

Selection Select(std::vector<std::string> args) {
  static std::vector<std::string> storage;  // argv must outlive the selection
  storage = {"tolvane"};
  storage.insert(storage.end(), args.begin(), args.end());
  static std::vector<char*> argv;
  argv.clear();
  for (auto& a : storage) argv.push_back(a.data());
  argv.push_back(nullptr);
  return SelectCommand(static_cast<int>(storage.size()), argv.data());
}

std::string Describe(const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args) text += "[" + a + "]";
  return text;
}

// The decimal operands a form read, in the order it lists them.
std::vector<int> DecimalOperands(const Selection& s) {
  std::vector<int> numbers;
  for (const OperandAt& operand : s.form->operands) {
    if (operand.kind == OperandKind::None) break;
    switch (operand.kind) {
      case OperandKind::VlanTag:
        numbers.push_back(s.operands.vlanTag);
        break;
      case OperandKind::FanMode:
        numbers.push_back(s.operands.fanMode);
        break;
      case OperandKind::UserId:
        numbers.push_back(s.operands.userId);
        break;
      case OperandKind::Privilege:
        numbers.push_back(s.operands.privilege);
        break;
      default:
        break;
    }
  }
  return numbers;
}

void Check(const Expect& e) {
  SCOPED_TRACE(Describe(e.args));
  const Selection s = Select(e.args);
  if (e.operation.empty()) {
    EXPECT_EQ(s.form, nullptr);
    EXPECT_EQ(s.status, e.status);
    EXPECT_STREQ(s.message, e.message);
    return;
  }
  ASSERT_NE(s.form, nullptr);
  EXPECT_EQ(s.form->operation.name, e.operation);
  EXPECT_EQ(s.operands.on, e.on == 1);
  EXPECT_EQ(DecimalOperands(s), e.numbers);
  EXPECT_EQ(s.operands.waitAfterReset, e.wait);
}

Expect Usage(std::vector<std::string> args) { return {std::move(args), "", 31}; }
Expect Message(std::vector<std::string> args, const char* message) { return {std::move(args), "", 12, message}; }

TEST(Dispatch, EveryCommandForm) {
  const Expect cases[] = {
      {{"-m"}, "ShowIpAndMac"},
      {{"-m", "10.0.0.5"}, "SetIpAddress"},
      {{"-a", "00:11:22:33:44:55"}, "SetMacAddress"},
      {{"-k"}, "ShowSubnetMask"},
      {{"-k", "255.255.255.0"}, "SetSubnetMask"},
      {{"-dhcp"}, "ShowDhcpState"},
      {{"-dhcp", "on"}, "SetDhcp", 0, nullptr, 1},
      {{"-dhcp", "off"}, "SetDhcp", 0, nullptr, 0},
      {{"-g"}, "ShowGateway"},
      {{"-g", "10.0.0.1"}, "SetGateway"},
      {{"-r"}, "ColdResetBmc"},
      {{"-r", "-d"}, "ColdResetBmc", 0, nullptr, 0, {}, true},
      {{"-garp", "on"}, "SetGratuitousArp", 0, nullptr, 1},
      {{"-garp", "off"}, "SetGratuitousArp", 0, nullptr, 0},
      {{"-fd"}, "FactoryDefault"},
      {{"-fd", "-d"}, "FactoryDefault", 0, nullptr, 0, {}, true},
      {{"-fdl"}, "FactoryDefaultCleanLan"},
      {{"-fdl", "-d"}, "FactoryDefaultCleanLan", 0, nullptr, 0, {}, true},
      {{"-fde"}, "FactoryDefaultCleanFruLan"},
      {{"-fde", "-d"}, "FactoryDefaultCleanFruLan", 0, nullptr, 0, {}, true},
      {{"-ver"}, "ShowFirmwareVersion"},
      {{"-vlan"}, "ShowVlanState"},
      {{"-vlan", "on"}, "SetVlan", 0, nullptr, 1},
      {{"-vlan", "off"}, "SetVlan", 0, nullptr, 0},
      {{"-vlan", "on", "4094"}, "SetVlan", 0, nullptr, 1, {4094}},
      {{"-vlan", "on", "1"}, "SetVlan", 0, nullptr, 1, {1}},
      {{"-vlan", "on", "12abc"}, "SetVlan", 0, nullptr, 1, {12}},
      {{"-vlan", "on", " +300"}, "SetVlan", 0, nullptr, 1, {300}},
      {{"-selftest"}, "ShowSelfTest"},
      {{"-raw", "06", "01"}, "RawRequest"},
      {{"-raw", "06", "01", "00", "ff"}, "RawRequest"},
      {{"-sel", "info"}, "ShowSelInfo"},
      {{"-sel", "list"}, "ShowSelListing"},
      {{"-sel", "del"}, "ClearSel"},
      {{"-sel", "raw"}, "DumpSelRaw"},
      {{"-sdr"}, "ShowSensors"},
      {{"-fan"}, "ShowFanMode"},
      {{"-fan", "0"}, "SetFanMode", 0, nullptr, 0, {0}},
      {{"-fan", "4"}, "SetFanMode", 0, nullptr, 0, {4}},
      {{"-user", "list"}, "ListUsers"},
      {{"-user", "help"}, "ShowPrivilegeCodes"},
      {{"-user", "del", "200"}, "DeleteUser", 0, nullptr, 0, {200}},
      {{"-user", "del", "255"}, "DeleteUser", 0, nullptr, 0, {255}},
      {{"-user", "del", "0"}, "DeleteUser", 0, nullptr, 0, {0}},
      {{"-user", "level", "3", "4"}, "SetUserLevel", 0, nullptr, 0, {3, 4}},
      {{"-user", "setpwd", "3", "secret"}, "SetUserPasswordCommand", 0, nullptr, 0, {3}},
      {{"-user", "add", "5", "alice", "pw", "4"}, "AddUser", 0, nullptr, 0, {5, 4}},
  };
  for (const Expect& e : cases) Check(e);
}

// The FRU forms, under "-fru" and "-fru1" alike: sub-words exact, field codes
// without regard to case, BV shown only under "-fru1" and written under both.
TEST(Dispatch, FruForms) {
  for (const char* word : {"-fru", "-fru1"}) {
    const std::string w = word;
    const Expect cases[] = {
        {{w, "info"}, "ShowFruInfo"},
        {{w, "list"}, "ListFru"},
        {{w, "cthelp"}, "ShowChassisTypes"},
        {{w, "help"}, "ShowFruHelp"},
        {{w, "CT"}, "ShowFruField"},
        {{w, "bdt"}, "ShowFruField"},
        {{w, "pPm"}, "ShowFruField"},
        {{w, "PAT"}, "ShowFruField"},
        {{w, "ps", "123456789"}, "WriteFruField"},
        {{w, "Bdt", "201007161200"}, "WriteFruField"},
        {{w, "BV", "R1.0"}, "WriteFruField"},
        {{w, "bv", ""}, "WriteFruField"},
        {{w, "backup", "fru.bin"}, "BackupFru"},
        {{w, "restore", "fs0:\\fru.bin"}, "RestoreFru"},
        Usage({w, "INFO"}),
        Usage({w, "Help"}),
        {{w, "1m"}, "UpdateFruFromSmbios"},
        {{w, "1p"}, "UpdateFruFromSmbios"},
        {{w, "1s"}, "UpdateFruFromSmbios"},
        {{w, "2m"}, "UpdateFruFromSmbios"},
        {{w, "2p"}, "UpdateFruFromSmbios"},
        {{w, "2s"}, "UpdateFruFromSmbios"},
        {{w, "3s"}, "UpdateFruFromSmbios"},
        Usage({w, "1M"}),  // update codes are matched exactly
        Usage({w, "3m"}),
        Usage({w, "1s", "x"}),
        Usage({w, "pss"}),
        Usage({w, "p"}),
        Usage({w, ""}),
        Usage({w, "backup"}),
        Usage({w, "BACKUP", "f"}),
        Usage({w, "list", "x"}),
        Usage({w, "ps", "a", "b"}),
    };
    for (const Expect& e : cases) Check(e);
  }
  Check(Usage({"-fru", "bv"}));
  Check(Usage({"-fru", "BV"}));
  Check({{"-fru1", "bv"}, "ShowFruField"});
  Check({{"-fru1", "Bv"}, "ShowFruField"});

  const Selection write = Select({"-fru", "Ps", "SN 1"});
  ASSERT_NE(write.form, nullptr);
  EXPECT_STREQ(write.operands.code, "Ps");
  EXPECT_STREQ(write.operands.text, "SN 1");
  const Selection backup = Select({"-fru1", "backup", "a b.bin"});
  ASSERT_NE(backup.form, nullptr);
  EXPECT_STREQ(backup.operands.fileName, "a b.bin");
}

TEST(Dispatch, UsageForEverythingTheTableDoesNotList) {
  const Expect cases[] = {
      Usage({}),
      Usage({"m"}),
      Usage({"-M"}),
      Usage({"-m 10.0.0.5"}),
      Usage({""}),
      Usage({"-"}),
      Usage({"--m"}),
      Usage({"-ver", "x"}),
      Usage({"-m", "1", "2"}),
      Usage({"-a"}),
      Usage({"-r", "-D"}),
      Usage({"-r", "x"}),
      Usage({"-r", "-d", "-d"}),
      Usage({"-dhcp", "ON"}),
      Usage({"-garp"}),
      Usage({"-vlan", "on", "abc"}),
      Usage({"-vlan", "off", "5"}),
      Usage({"-vlan", "maybe"}),
      Usage({"-fan", "x"}),
      Usage({"-fan", ""}),
      Usage({"-user", "remove", "3"}),
      Usage({"-user", "add", "3", "bob", "pw"}),
      Usage({"-user", "LIST"}),
      Usage({"-fru"}),
      Usage({"-fru", "INFO"}),
      Usage({"-fru", "bv"}),
      Usage({"-fru", "1M"}),
      Usage({"-fru", "xx"}),
      Usage({"-fru", "Backup", "f"}),
      Usage({"-fru", "info", "x"}),
      Usage({"-fru", "a", "b", "c"}),
      Usage({"-raw"}),
      Usage({"-raw", "06"}),
      Usage({"-sel"}),
      Usage({"-sel", "list", "x"}),
      Usage({"-sel", "Info"}),
      Usage({"-sel", "clear"}),
      Usage({"-sel", "info", "raw"}),
      Usage({"-sdr", "x"}),
      Usage({"-selftest", "x"}),
  };
  for (const Expect& e : cases) Check(e);
}

TEST(Dispatch, OperandChecksAtTheirBoundaries) {
  const Expect cases[] = {
      Message({"-vlan", "on", "0"}, kVlanTag),
      Message({"-vlan", "on", "4095"}, kVlanTag),
      Message({"-vlan", "on", "-1"}, kVlanTag),
      Message({"-vlan", "on", "99999999999"}, kVlanTag),
      Message({"-fan", "5"}, kInvalidMode),
      Message({"-fan", "-1"}, kInvalidMode),
      Message({"-user", "del", "x"}, kInvalidParameters),
      Message({"-user", "level", "x", "4"}, kInvalidParameters),
      Message({"-user", "level", "3", "x"}, kInvalidParameters),
      Message({"-user", "setpwd", "", "pw"}, kInvalidParameters),
      Message({"-user", "add", "x", "bob", "pw", "4"}, kInvalidParameters),
      Message({"-user", "add", "3", "bob", "pw", "admin"}, kInvalidParameters),
      // IDs and privileges are single bytes: 256 would reach user 0, -1 user 255.
      Message({"-user", "del", "256"}, kInvalidParameters),
      Message({"-user", "del", "-1"}, kInvalidParameters),
      Message({"-user", "level", "3", "260"}, kInvalidParameters),
      Message({"-user", "setpwd", "258", "pw"}, kInvalidParameters),
      Message({"-user", "add", "2", "bob", "pw", "-4"}, kInvalidParameters),
  };
  for (const Expect& e : cases) Check(e);
}

// Text operands reach the operation as typed, each under its own name.
TEST(Dispatch, TextOperandsAreHandedOverByName) {
  const Selection add = Select({"-user", "add", "5", "alice", "pw", "4"});
  ASSERT_NE(add.form, nullptr);
  EXPECT_STREQ(add.operands.userName, "alice");
  EXPECT_STREQ(add.operands.password, "pw");
  const Selection setpwd = Select({"-user", "setpwd", "3", "secret"});
  ASSERT_NE(setpwd.form, nullptr);
  EXPECT_STREQ(setpwd.operands.password, "secret");
  const Selection ip = Select({"-m", "10.0.0.5"});
  ASSERT_NE(ip.form, nullptr);
  EXPECT_STREQ(ip.operands.text, "10.0.0.5");
  // Without a tag, SetVlan gets 0: keep the tag the BMC holds.
  EXPECT_EQ(Select({"-vlan", "on"}).operands.vlanTag, 0);
  const Selection raw = Select({"-raw", "06", "01", "ff"});
  ASSERT_NE(raw.form, nullptr);
  ASSERT_EQ(raw.operands.rawRequest.size(), 3u);
  EXPECT_STREQ(raw.operands.rawRequest[0], "06");
  EXPECT_STREQ(raw.operands.rawRequest[2], "ff");
}

// Every row reads only arguments its counts guarantee, and every row runs
// something; a row that read past argc would read the terminating null.
TEST(Dispatch, EveryFormReadsOnlyArgumentsItTakes) {
  const CommandTable table = AllCommandForms();
  ASSERT_GT(table.count, 0);
  for (int i = 0; i < table.count; ++i) {
    const CommandForm& form = table.forms[i];
    SCOPED_TRACE(std::string(form.word) + " " + form.operation.name);
    EXPECT_NE(form.operation.run, nullptr);
    EXPECT_LE(form.arguments.min, form.arguments.max);
    if (form.subWord.exact != nullptr || form.subWord.matches != nullptr) EXPECT_GE(form.arguments.min, 1);
    for (const OperandAt& operand : form.operands) {
      if (operand.kind == OperandKind::None) break;
      EXPECT_GE(operand.position, 1);
      EXPECT_LE(operand.position, form.arguments.min);
    }
  }
}

TEST(Dispatch, FruModeFollowsTheCommandWordBeforeTheCount) {
  EXPECT_TRUE(Select({"-fru1"}).operands.fru1Mode);
  EXPECT_TRUE(Select({"-fru1", "list"}).operands.fru1Mode);
  EXPECT_FALSE(Select({"-fru", "info"}).operands.fru1Mode);
  EXPECT_FALSE(Select({"-sel", "info"}).operands.fru1Mode);
}

}  // namespace

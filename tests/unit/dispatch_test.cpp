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

struct Expect {
  std::vector<std::string> args;  // after the program name
  Operation operation;
  int status = 0;  // with Operation::None
  const char* message = nullptr;
  int flag = 0;
  std::vector<int> numbers = {};
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
  return SelectOperation(static_cast<int>(storage.size()), argv.data());
}

std::string Describe(const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args) text += "[" + a + "]";
  return text;
}

void Check(const Expect& e) {
  SCOPED_TRACE(Describe(e.args));
  const Selection s = Select(e.args);
  EXPECT_EQ(s.operation, e.operation);
  if (e.operation == Operation::None) {
    EXPECT_EQ(s.status, e.status);
    EXPECT_STREQ(s.message, e.message);
    return;
  }
  EXPECT_EQ(s.flag, e.flag);
  for (size_t i = 0; i < e.numbers.size(); ++i) EXPECT_EQ(s.number[i], e.numbers[i]) << "operand " << i;
  EXPECT_EQ(s.waitAfterReset, e.wait);
}

Expect Usage(std::vector<std::string> args) { return {std::move(args), Operation::None, 31}; }
Expect Message(std::vector<std::string> args, const char* message) {
  return {std::move(args), Operation::None, 12, message};
}

TEST(Dispatch, EveryCommandForm) {
  using O = Operation;
  const Expect cases[] = {
      {{"-m"}, O::ShowIpAndMac},
      {{"-m", "10.0.0.5"}, O::SetIpAddress},
      {{"-a", "00:11:22:33:44:55"}, O::SetMacAddress},
      {{"-k"}, O::ShowSubnetMask},
      {{"-k", "255.255.255.0"}, O::SetSubnetMask},
      {{"-dhcp"}, O::ShowDhcpState},
      {{"-dhcp", "on"}, O::SetDhcp, 0, nullptr, 1},
      {{"-dhcp", "off"}, O::SetDhcp, 0, nullptr, 0},
      {{"-g"}, O::ShowGateway},
      {{"-g", "10.0.0.1"}, O::SetGateway},
      {{"-r"}, O::ColdResetBmc},
      {{"-r", "-d"}, O::ColdResetBmc, 0, nullptr, 0, {}, true},
      {{"-garp", "on"}, O::SetGratuitousArp, 0, nullptr, 1},
      {{"-garp", "off"}, O::SetGratuitousArp, 0, nullptr, 0},
      {{"-fd"}, O::FactoryDefault},
      {{"-fd", "-d"}, O::FactoryDefault, 0, nullptr, 0, {}, true},
      {{"-fdl"}, O::FactoryDefaultCleanLan},
      {{"-fdl", "-d"}, O::FactoryDefaultCleanLan, 0, nullptr, 0, {}, true},
      {{"-fde"}, O::FactoryDefaultCleanFruLan},
      {{"-fde", "-d"}, O::FactoryDefaultCleanFruLan, 0, nullptr, 0, {}, true},
      {{"-ver"}, O::ShowFirmwareVersion},
      {{"-vlan"}, O::ShowVlanState},
      {{"-vlan", "on"}, O::SetVlan, 0, nullptr, 1, {0}},
      {{"-vlan", "off"}, O::SetVlan, 0, nullptr, 0, {0}},
      {{"-vlan", "on", "4094"}, O::SetVlan, 0, nullptr, 1, {4094}},
      {{"-vlan", "on", "1"}, O::SetVlan, 0, nullptr, 1, {1}},
      {{"-vlan", "on", "12abc"}, O::SetVlan, 0, nullptr, 1, {12}},
      {{"-vlan", "on", " +300"}, O::SetVlan, 0, nullptr, 1, {300}},
      {{"-selftest"}, O::ShowSelfTest},
      {{"-raw", "06", "01"}, O::RawRequest},
      {{"-raw", "06", "01", "00", "ff"}, O::RawRequest},
      {{"-fru", "info"}, O::ShowFruInfo},
      {{"-fru", "list"}, O::ListFru},
      {{"-fru", "cthelp"}, O::ShowChassisTypes},
      {{"-fru", "help"}, O::ShowFruHelp},
      {{"-fru", "CT"}, O::ShowFruField},
      {{"-fru", "pAt"}, O::ShowFruField},
      {{"-fru1", "bv"}, O::ShowFruField},
      {{"-fru1", "BV"}, O::ShowFruField},
      {{"-fru", "1m"}, O::UpdateFruFromSmbios},
      {{"-fru1", "3s"}, O::UpdateFruFromSmbios},
      {{"-fru", "bv", "value"}, O::WriteFruField},
      {{"-fru", "BPN", "value"}, O::WriteFruField},
      {{"-fru", "backup", "fru.bin"}, O::BackupFru},
      {{"-fru1", "restore", "fru.bin"}, O::RestoreFru},
      {{"-sel", "info"}, O::ShowSelInfo},
      {{"-sel", "list"}, O::ListSel},
      {{"-sel", "del"}, O::ClearSel},
      {{"-sel", "raw"}, O::DumpSelRaw},
      {{"-sdr"}, O::ListSensors},
      {{"-fan"}, O::ShowFanMode},
      {{"-fan", "0"}, O::SetFanMode, 0, nullptr, 0, {0}},
      {{"-fan", "4"}, O::SetFanMode, 0, nullptr, 0, {4}},
      {{"-user", "list"}, O::ListUsers},
      {{"-user", "help"}, O::ShowPrivilegeCodes},
      {{"-user", "del", "200"}, O::DeleteUser, 0, nullptr, 0, {200}},
      {{"-user", "del", "255"}, O::DeleteUser, 0, nullptr, 0, {255}},
      {{"-user", "del", "0"}, O::DeleteUser, 0, nullptr, 0, {0}},
      {{"-user", "level", "3", "4"}, O::SetUserLevel, 0, nullptr, 0, {3, 4}},
      {{"-user", "setpwd", "3", "secret"}, O::SetUserPassword, 0, nullptr, 0, {3}},
      {{"-user", "add", "5", "alice", "pw", "4"}, O::AddUser, 0, nullptr, 0, {5, 4}},
  };
  for (const Expect& e : cases) Check(e);
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

TEST(Dispatch, FruModeFollowsTheCommandWordBeforeTheCount) {
  EXPECT_TRUE(Select({"-fru1"}).fru1Mode);
  EXPECT_TRUE(Select({"-fru1"}).fruCommand);
  EXPECT_FALSE(Select({"-fru", "info"}).fru1Mode);
  EXPECT_TRUE(Select({"-fru", "info"}).fruCommand);
  EXPECT_FALSE(Select({"-sel", "info"}).fruCommand);
}

}  // namespace

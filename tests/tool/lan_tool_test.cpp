// LAN address commands, gratuitous ARP and VLAN: output, status and the exact
// requests, against the simulated BMC's LAN parameters.
#include <gtest/gtest.h>

#include "tests/tool/tool_harness.hpp"

namespace {

constexpr uint64_t kApplyWaitUs = 6000000;

// Requests as the BMC logs them: NetFn, command, data.
const std::string kGetSource = "0C 02 01 04 00 00";
const std::string kGetIp = "0C 02 01 03 00 00";
const std::string kGetMac = "0C 02 01 05 00 00";
const std::string kGetMask = "0C 02 01 06 00 00";
const std::string kGetGateway = "0C 02 01 0C 00 00";
const std::string kGetVlan = "0C 02 01 14 00 00";

struct Case {
  const char* name;
  std::string scenario;  // JSON changes to the default BMC
  std::vector<std::string> args;
  int status;
  std::string output;
  std::vector<std::string> requests;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = RunTool(ScenarioFrom(c.scenario), c.args);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.requests, c.requests);
  }
}

// Fails the n-th request of the run with the given code.
std::string FailNth(int n, const char* code) {
  return R"({"completionCodes": [{"nth": )" + std::to_string(n) + R"(, "code": ")" + code + R"("}]})";
}

TEST(ToolLan, ShowCommands) {
  // clang-format off
  RunCases({
      {"-m", "{}", {"-m"}, 0, "IP=192.168.0.120\nMAC=00:1B:21:5A:3C:7E\n", {kGetIp, kGetMac}},
      {"-m ip fails: MAC not tried", FailNth(1, "C1"), {"-m"}, 11,
       "Failed to get IP Address, Completion Code=C1h\n", {kGetIp}},
      {"-m MAC fails", FailNth(2, "D4"), {"-m"}, 11,
       "IP=192.168.0.120\nFailed to get MAC Address, Completion Code=D4h\n", {kGetIp, kGetMac}},
      {"-k", "{}", {"-k"}, 0, "Subnet Mask=255.255.255.0\n", {kGetMask}},
      {"-k fails", FailNth(1, "FF"), {"-k"}, 11, "Failed to get subnet mask, Completion Code=FFh\n", {kGetMask}},
      {"-g", R"({"lan": {"0C": "0A 00 00 FE"}})", {"-g"}, 0, "Gateway=10.0.0.254\n", {kGetGateway}},
      {"-g fails", FailNth(1, "C3"), {"-g"}, 11, "Failed to get gateway IP Address, Completion Code=C3h\n",
       {kGetGateway}},
      {"-dhcp static", "{}", {"-dhcp"}, 0, "DHCP is currently disabled.\n", {kGetSource}},
      {"-dhcp fails", FailNth(1, "C0"), {"-dhcp"}, 11,
       "Failed to determine IP address source, Completion Code=C0h\n", {kGetSource}},
      // Every source but 01h counts as DHCP.
      {"-dhcp 00", R"({"lan": {"04": "00"}})", {"-dhcp"}, 0, "DHCP is currently enabled.\n", {kGetSource}},
      {"-dhcp 02", R"({"lan": {"04": "02"}})", {"-dhcp"}, 0, "DHCP is currently enabled.\n", {kGetSource}},
      {"-dhcp 03", R"({"lan": {"04": "03"}})", {"-dhcp"}, 0, "DHCP is currently enabled.\n", {kGetSource}},
      {"-dhcp 81", R"({"lan": {"04": "81"}})", {"-dhcp"}, 0, "DHCP is currently enabled.\n", {kGetSource}},
      // A response shorter than the parameter is not shown as an address.
      {"-m short response", R"({"lan": {"03": "C0 A8"}})", {"-m"}, 11,
       "Failed to get IP Address, Completion Code=CEh\n", {kGetIp}},
      {"unsupported parameter", R"({"lan": {"06": null}})", {"-k"}, 11,
       "Failed to get subnet mask, Completion Code=80h\n", {kGetMask}},
  });
  // clang-format on
}

TEST(ToolLan, SetIpv4Values) {
  // clang-format off
  RunCases({
      {"-m set", "{}", {"-m", "192.168.001.010"}, 0, "IP=192.168.1.10\n",
       {kGetSource, "0C 01 01 03 C0 A8 01 0A", kGetIp}},
      {"-m extra dots", "{}", {"-m", ".1..2.3.4.5"}, 0, "IP=1.2.3.4\n", {kGetSource, "0C 01 01 03 01 02 03 04", kGetIp}},
      {"-k any octets", "{}", {"-k", "255.255.0.255"}, 0, "Subnet Mask=255.255.0.255\n",
       {kGetSource, "0C 01 01 06 FF FF 00 FF", kGetMask}},
      {"-g set", "{}", {"-g", "10.1.2.3"}, 0, "Gateway=10.1.2.3\n", {kGetSource, "0C 01 01 0C 0A 01 02 03", kGetGateway}},
      {"-m malformed", "{}", {"-m", "256.1.1.1"}, 12, "Not a valid IP address format.\n", {kGetSource}},
      {"-m three octets", "{}", {"-m", "1.2.3"}, 12, "Not a valid IP address format.\n", {kGetSource}},
      {"-m empty", "{}", {"-m", ""}, 12, "Not a valid IP address format.\n", {kGetSource}},
      {"-k malformed", "{}", {"-k", "1.2.3.x"}, 12, "Subnet Mask format error.\n", {kGetSource}},
      {"-g malformed", "{}", {"-g", "a.b.c.d"}, 12, "Not a valid IP address format.\n", {kGetSource}},
      // DHCP refuses before the text is even parsed.
      {"-m under DHCP", R"({"lan": {"04": "00"}})", {"-m", "bogus"}, 11,
       "IP address can not be changed because DHCP option is enabled.\n", {kGetSource}},
      {"-k under DHCP", R"({"lan": {"04": "02"}})", {"-k", "255.0.0.0"}, 11,
       "Subnet mask can not be changed because DHCP option is enabled.\n", {kGetSource}},
      {"-g under DHCP", R"({"lan": {"04": "04"}})", {"-g", "1.1.1.1"}, 11,
       "Gateway can not be changed because DHCP option is enabled.\n", {kGetSource}},
      {"-m source fails", FailNth(1, "C1"), {"-m", "1.2.3.4"}, 11,
       "Failed to determine lan source, Completion Code=C1h\n", {kGetSource}},
      {"-k source fails", FailNth(1, "C1"), {"-k", "1.2.3.4"}, 11,
       "Failed to determine IP address source, Completion Code=C1h\n", {kGetSource}},
      {"-g source fails", FailNth(1, "C1"), {"-g", "1.2.3.4"}, 11,
       "Failed to determine IP address source, Completion Code=C1h\n", {kGetSource}},
      {"-m set fails", FailNth(2, "D5"), {"-m", "1.2.3.4"}, 11, "Failed to set IP address, Completion Code=D5h\n",
       {kGetSource, "0C 01 01 03 01 02 03 04"}},
      {"-k set fails", FailNth(2, "D5"), {"-k", "1.2.3.4"}, 11, "Failed to set subnet mask, Completion Code=D5h\n",
       {kGetSource, "0C 01 01 06 01 02 03 04"}},
      {"-g set fails", FailNth(2, "D5"), {"-g", "1.2.3.4"}, 11,
       "Failed to set gateway IP address, Completion Code=D5h\n", {kGetSource, "0C 01 01 0C 01 02 03 04"}},
      {"-m read-back fails", FailNth(3, "C3"), {"-m", "1.2.3.4"}, 11,
       "Failed to get IP Address, Completion Code=C3h\n", {kGetSource, "0C 01 01 03 01 02 03 04", kGetIp}},
      {"-k read-back fails", FailNth(3, "C3"), {"-k", "1.2.3.4"}, 11,
       "Failed to get subnet mask, Completion Code=C3h\n", {kGetSource, "0C 01 01 06 01 02 03 04", kGetMask}},
      {"-g read-back fails", FailNth(3, "C3"), {"-g", "1.2.3.4"}, 11,
       "Failed to get gateway IP Address, Completion Code=C3h\n",
       {kGetSource, "0C 01 01 0C 01 02 03 04", kGetGateway}},
  });
  // clang-format on
}

TEST(ToolLan, SetMacAndDhcp) {
  // clang-format off
  RunCases({
      {"-a colons", "{}", {"-a", "0a:1b:2c:3d:4e:5f"}, 0, "MAC=0A:1B:2C:3D:4E:5F\n",
       {"0C 01 01 05 0A 1B 2C 3D 4E 5F", kGetMac}},
      {"-a bare, DHCP on: no source check", R"({"lan": {"04": "02"}})", {"-a", "0A1B2C3D4E5F"}, 0,
       "MAC=0A:1B:2C:3D:4E:5F\n", {"0C 01 01 05 0A 1B 2C 3D 4E 5F", kGetMac}},
      {"-a 14 characters", "{}", {"-a", "0a:1b:2c:3d:4e"}, 12, "Not a valid MAC address format.\n", {}},
      {"-a dashes", "{}", {"-a", "0a-1b-2c-3d-4e-5f"}, 12, "Not a valid MAC address format.\n", {}},
      {"-a set fails", FailNth(1, "C1"), {"-a", "0a1b2c3d4e5f"}, 11, "Failed to set MAC address, Completion Code=C1h\n",
       {"0C 01 01 05 0A 1B 2C 3D 4E 5F"}},
      {"-a read-back fails", FailNth(2, "C1"), {"-a", "0a1b2c3d4e5f"}, 11,
       "Failed to get MAC Address, Completion Code=C1h\n", {"0C 01 01 05 0A 1B 2C 3D 4E 5F", kGetMac}},
      {"-dhcp on", "{}", {"-dhcp", "on"}, 0, "Successfully enable DHCP.\n", {"0C 01 01 04 02"}},
      {"-dhcp off", R"({"lan": {"04": "02"}})", {"-dhcp", "off"}, 0, "Successfully disable DHCP.\n", {"0C 01 01 04 01"}},
      {"-dhcp on fails", FailNth(1, "CC"), {"-dhcp", "on"}, 11, "Failed to enable DHCP, Completion Code=CCh\n",
       {"0C 01 01 04 02"}},
      {"-dhcp off fails", FailNth(1, "CC"), {"-dhcp", "off"}, 11, "Failed to disable DHCP, Completion Code=CCh\n",
       {"0C 01 01 04 01"}},
  });
  // clang-format on
}

TEST(ToolLan, GratuitousArpAndVlan) {
  // clang-format off
  RunCases({
      {"-garp on", "{}", {"-garp", "on"}, 0, "Successfully enable Gratuitous ARP.\n", {"0C 01 01 0A 01"}},
      {"-garp off", "{}", {"-garp", "off"}, 0, "Successfully disable Gratuitous ARP.\n", {"0C 01 01 0A 00"}},
      {"-garp unsupported", R"({"lan": {"0A": null}})", {"-garp", "on"}, 11,
       "Gratuitous ARP is not supported for this BMC.\n", {"0C 01 01 0A 01"}},
      {"-garp fails", FailNth(1, "C1"), {"-garp", "off"}, 11,
       "Failed to disable Gratuitous ARP, Completion Code=C1h\n", {"0C 01 01 0A 00"}},
      {"-vlan disabled", "{}", {"-vlan"}, 0, "VLAN is now disabled.\n", {kGetVlan}},
      {"-vlan enabled", R"({"lan": {"14": "2C 81"}})", {"-vlan"}, 0, "VLAN is now enabled.\nTag: 300\n", {kGetVlan}},
      // Bits 6..4 are not part of the ID; bit 7 clear means disabled.
      {"-vlan 7F", R"({"lan": {"14": "FF 7F"}})", {"-vlan"}, 0, "VLAN is now disabled.\n", {kGetVlan}},
      {"-vlan fails", FailNth(1, "C1"), {"-vlan"}, 11, "Failed to get VLan status, Completion Code=C1h\n", {kGetVlan}},
      {"-vlan on keeps ID 100", R"({"lan": {"14": "64 00"}})", {"-vlan", "on"}, 0, "VLAN is now enabled.\nTag: 100\n",
       {kGetVlan, "0C 01 01 14 64 80", kGetVlan}},
      {"-vlan off keeps ID 300", R"({"lan": {"14": "2C 81"}})", {"-vlan", "off"}, 0, "VLAN is now disabled.\n",
       {kGetVlan, "0C 01 01 14 2C 01", kGetVlan}},
      {"-vlan on 4094", "{}", {"-vlan", "on", "4094"}, 0, "VLAN is now enabled.\nTag: 4094\n",
       {kGetVlan, "0C 01 01 14 FE 8F", kGetVlan}},
      {"-vlan on 1", "{}", {"-vlan", "on", "1"}, 0, "VLAN is now enabled.\nTag: 1\n",
       {kGetVlan, "0C 01 01 14 01 80", kGetVlan}},
      {"-vlan on 4095", "{}", {"-vlan", "on", "4095"}, 12,
       "Please enter an integer between 1 and 4094 inclusive for VLAN Tag.\n", {}},
      {"-vlan read fails: nothing set", FailNth(1, "C1"), {"-vlan", "on", "5"}, 11,
       "Failed to get VLan status, Completion Code=C1h\n", {kGetVlan}},
      {"-vlan set fails", FailNth(2, "D5"), {"-vlan", "on", "5"}, 11,
       "Failed to set VLan status, Completion Code=D5h\n", {kGetVlan, "0C 01 01 14 05 80"}},
      {"-vlan read-back fails", FailNth(3, "C3"), {"-vlan", "on", "5"}, 11,
       "Failed to get VLan status, Completion Code=C3h\n", {kGetVlan, "0C 01 01 14 05 80", kGetVlan}},
  });
  // clang-format on
}

TEST(ToolLan, ChangesWaitSixSecondsBeforeTheReadBack) {
  const ToolRun set = RunTool({"-m", "1.2.3.4"});
  const ToolRun show = RunTool({"-m"});
  // A show takes only transfer time; a set adds the six seconds.
  EXPECT_GE(set.elapsedMicroseconds, kApplyWaitUs);
  EXPECT_LT(set.elapsedMicroseconds, kApplyWaitUs + show.elapsedMicroseconds * 3);
  EXPECT_LT(show.elapsedMicroseconds, 1000000u);
  const ToolRun mac = RunTool({"-a", "0a1b2c3d4e5f"});
  EXPECT_GE(mac.elapsedMicroseconds, kApplyWaitUs);
  const ToolRun dhcp = RunTool({"-dhcp", "on"});
  EXPECT_LT(dhcp.elapsedMicroseconds, 1000000u);  // no wait, no read-back
}

}  // namespace

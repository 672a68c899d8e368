// The simulated BMC's controller and user commands, and its restart as the tool's
// transport sees it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controller/controller_commands.hpp"
#include "platform/host/host_session.hpp"
#include "sim/bmc_model.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

Scenario FromJson(const char* text) {
  Scenario scenario;
  std::string error;
  EXPECT_TRUE(ScenarioFromJson(nlohmann::json::parse(text), &scenario, &error)) << error;
  return scenario;
}

// One request in "NN CC DD ..." text (NetFn unshifted); the answer as
// "CC DD ..." (completion code first), or "none".
class Bmc {
 public:
  explicit Bmc(const Scenario& scenario = DefaultScenario()) : model_(scenario, &clock_) {}
  std::string Send(const std::string& request) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ParseHexBytes(request, &bytes)) << request;
    bytes[0] = static_cast<uint8_t>(bytes[0] << 2);
    const auto response = model_.HandleFrame(bytes);
    if (!response) return "none";
    return HexBytesText(std::span<const uint8_t>(*response).subspan(2));
  }
  VirtualClock clock_;
  BmcModel model_;
};

std::string Zeros(size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) text += " 00";
  return text;
}
std::string Text16(const std::string& text) {
  std::string hex;
  for (char c : text) {
    char byte[4];
    std::snprintf(byte, sizeof byte, " %02X", static_cast<unsigned char>(c));
    hex += byte;
  }
  return hex + Zeros(16 - text.size());
}
std::string Password20(const std::string& text) {
  return Text16(text).substr(0, text.size() * 3) + Zeros(20 - text.size());
}

TEST(SimUsers, AccessNamesAndPasswordsFollowTheStandard) {
  Bmc bmc;
  // Default: 10 IDs, 2 enabled, 1 fixed name; admin is Administrator with
  // messaging and link authentication.
  EXPECT_EQ(bmc.Send("06 44 01 02"), "00 0A 42 01 34");
  EXPECT_EQ(bmc.Send("06 44 01 05"), "00 0A 02 01 0F");
  EXPECT_EQ(bmc.Send("06 46 02"), "00" + Text16("admin"));

  // Name, password, enable, access: the account as -user add leaves it.
  EXPECT_EQ(bmc.Send("06 45 05" + Text16("carol")), "00");
  EXPECT_EQ(bmc.Send("06 46 05"), "00" + Text16("carol"));
  EXPECT_EQ(bmc.Send("06 47 85 02" + Password20("pw")), "00");
  EXPECT_EQ(bmc.Send("06 47 85 01" + Zeros(20)), "00");
  EXPECT_EQ(bmc.Send("06 43 B1 05 03 00"), "00");
  EXPECT_EQ(bmc.Send("06 44 01 05"), "00 0A 43 01 33");
  // Test password: right, wrong data (80h), wrong size (81h).
  EXPECT_EQ(bmc.Send("06 47 85 03" + Password20("pw")), "00");
  EXPECT_EQ(bmc.Send("06 47 85 03" + Password20("px")), "80");
  EXPECT_EQ(bmc.Send("06 47 05 03" + Text16("pw")), "81");
  // Without bit 7 only the privilege changes; disable counts the user out.
  EXPECT_EQ(bmc.Send("06 43 01 05 0F"), "00");
  EXPECT_EQ(bmc.Send("06 47 85 00"), "00");
  EXPECT_EQ(bmc.Send("06 44 01 05"), "00 0A 82 01 3F");
  EXPECT_EQ(bmc.Send("06 43 81 05 0F 00"), "00");
  EXPECT_EQ(bmc.Send("06 44 01 05"), "00 0A 82 01 0F");
  // The user ID is bits 5:0: C8h names user 8.
  EXPECT_EQ(bmc.Send("06 45 C8" + Text16("eight")), "00");
  EXPECT_EQ(bmc.Send("06 46 08"), "00" + Text16("eight"));
}

TEST(SimUsers, RefusesWhatTheStandardRefuses) {
  Bmc bmc;
  const struct {
    const char* request;
    const char* answer;
  } cases[] = {
      {"06 44 01 00", "CC"},           // user ID 0
      {"06 44 01 0B", "CC"},           // past the maximum
      {"06 44 02 02", "CC"},           // not the LAN channel
      {"06 44 01", "C7"},              // too short
      {"06 43 B1 02 06 00", "CC"},     // privilege 6 is reserved
      {"06 43 B1 02 00 00", "CC"},     // privilege 0 too
      {"06 43 B1 02 04 00 00", "C7"},  // too long
      {"06 45 02 41 42", "C7"},        // name not 16 bytes
      {"06 47 82 02 41 42", "C7"},     // password not 20 bytes
      {"06 47 02 02 41 42", "C7"},     // nor 16
      {"06 47 0B 01", "CC"},           // no such user
  };
  for (const auto& c : cases) EXPECT_EQ(bmc.Send(c.request), c.answer) << c.request;
  EXPECT_EQ(bmc.Send("06 45 01" + Text16("anon")), "CC");  // the null user's name is fixed
}

TEST(SimController, ChannelAuthenticationCapabilities) {
  Bmc ipmi20;
  EXPECT_EQ(ipmi20.Send("06 38 81 01"), "00 01 94 00 03 00 00 00 00");
  EXPECT_EQ(ipmi20.Send("06 38 01 04"), "00 01 14 00 00 00 00 00 00");
  EXPECT_EQ(ipmi20.Send("06 38 02 01"), "CC");
  EXPECT_EQ(ipmi20.Send("06 38 81 00"), "CC");
  Bmc noIpmi20(FromJson(R"({"controller": {"channelAuth": {"ipmi20Connections": false}}})"));
  EXPECT_EQ(noIpmi20.Send("06 38 81 01"), "00 01 94 00 01 00 00 00 00");
  Bmc ipmi15(FromJson(R"({"controller": {"channelAuth": {"extendedCapabilities": false}}})"));
  EXPECT_EQ(ipmi15.Send("06 38 81 01"), "CC");
  EXPECT_EQ(ipmi15.Send("06 38 01 01"), "00 01 14 00 00 00 00 00 00");
}

// What the Linux driver asks while it starts: it enables the event message
// buffer and interrupts, clears the flags and scans the channels.
TEST(SimSystemInterface, WhatAHostDriverAsksAtStart) {
  Bmc bmc;
  const struct {
    const char* request;
    const char* answer;
  } cases[] = {
      {"06 2F", "00 08"},  // system event logging only, until the driver asks for more
      {"06 2E 0F", "00"},
      {"06 2F", "00 0F"},
      {"06 2E 10", "CC"},  // reserved bit
      {"06 2E", "C7"},
      {"06 30 08", "00"},
      {"06 31", "00 00"},
      {"06 35", "80"},  // the event message buffer is empty
      {"06 42 00", "00 00 01 01 00 F2 1B 00 00 00"},
      {"06 42 01", "00 01 04 01 80 F2 1B 00 00 00"},  // the LAN channel the LAN commands use
      {"06 42 02", "CC"},
      {"06 42 0D", "CC"},
      {"06 42", "C7"},
  };
  for (const auto& c : cases) EXPECT_EQ(bmc.Send(c.request), c.answer) << c.request;
  // Through the system interface, the current channel (0Eh) is channel 0Fh.
  EXPECT_EQ(bmc.Send("06 42 0E"), bmc.Send("06 42 0F"));
  EXPECT_EQ(bmc.Send("06 42 0F").substr(0, 11), "00 0F 0C 05");
  EXPECT_EQ(bmc.Send("06 08"), bmc.Send("06 37"));
}

TEST(SimController, FanModeFunctions) {
  Bmc bmc(FromJson(R"({"controller": {"fan": {"mode": 2, "supportedModes": "15"}}})"));
  EXPECT_EQ(bmc.Send("30 45 00"), "00 02");
  EXPECT_EQ(bmc.Send("30 45 02"), "00 15");
  EXPECT_EQ(bmc.Send("30 45 01 01"), "CC");  // bit 1 clear
  EXPECT_EQ(bmc.Send("30 45 01 04"), "00");
  EXPECT_EQ(bmc.Send("30 45 00"), "00 04");
  EXPECT_EQ(bmc.Send("30 45 01"), "C7");
  EXPECT_EQ(bmc.Send("30 45 03"), "CC");
  EXPECT_EQ(bmc.Send("30 45"), "C7");
}

TEST(SimController, ResetsAndFactoryDefaultsRestartTheBmc) {
  const struct {
    const char* request;
    const char* answer;
    bool restarts;
  } cases[] = {
      {"06 02", "00", true},
      {"30 40", "00", true},
      {"30 41", "00", true},
      {"30 41 01", "00", true},
      {"30 41 02", "CC", false},
      {"30 42", "00", true},
      {"30 42 01", "C7", false},
      {"2E CC 5E 2B 00 0A 01 FF 00 00 00", "00 5E 2B 00", true},
      {"2E CC 5E 2B 01 0A 01 FF 00 00 00", "C1", false},  // another enterprise
      {"2E CC 5E 2B 00 0A 01 FF 00 00", "C7", false},
      {"2E CC 5E 2B 00 0A 02 FF 00 00 00", "CC", false},
  };
  for (const auto& c : cases) {
    Bmc bmc(FromJson(R"({"controller": {"restart": {"seconds": 3}}})"));
    EXPECT_EQ(bmc.Send(c.request), c.answer) << c.request;
    EXPECT_EQ(bmc.Send("06 01"), c.restarts ? "none" : "00 20 01 01 02 02 BF 00 00 00 00 00 00 00 00 00") << c.request;
    bmc.clock_.Advance(2999999);
    EXPECT_EQ(bmc.Send("06 01") == "none", c.restarts) << c.request;
    bmc.clock_.Advance(1);
    EXPECT_NE(bmc.Send("06 01"), "none") << c.request;
  }
  Bmc never(FromJson(R"({"controller": {"restart": {"seconds": 0, "neverEnds": true}}})"));
  EXPECT_EQ(never.Send("06 02"), "00");
  never.clock_.Advance(3600000000);
  EXPECT_EQ(never.Send("06 01"), "none");
  // Requests a restarting BMC never took are not in its log.
  EXPECT_EQ(never.model_.RequestLog().size(), 1u);
}

// Through the KCS device, as the tool sees it: a transfer failure (not a hang)
// while the BMC restarts, a working interface once it is back.
TEST(SimController, KcsInterfaceFailsFastWhileRestartingAndRecovers) {
  SimulatedBmc bmc(FromJson(R"({"controller": {"restart": {"seconds": 2}}})"));
  bmc.Attach(false);
  std::string console;
  CaptureConsole(&console);
  uint8_t response[kMaxResponseData];
  uint32_t count = 0;
  EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdColdReset, {}, response, &count), kCcSuccess);
  for (int i = 0; i < 3; ++i) {
    const uint64_t before = bmc.Clock().NowMicroseconds();
    count = 77;
    EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, response, &count), kCcTransferFailed);
    EXPECT_EQ(count, 77u);
    EXPECT_LT(bmc.Clock().NowMicroseconds() - before, 10000u);  // bounded polling, no hang
  }
  EXPECT_EQ(console,
            "Error: It is timeout for IBF clear.\nError: It is timeout for IBF clear.\n"
            "Error: It is timeout for IBF clear.\n");
  bmc.Clock().Advance(2000000);
  EXPECT_EQ(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, response, &count), kCcSuccess);
  EXPECT_EQ(count, 15u);
  CaptureConsole(nullptr);
  SelectPortDriver(nullptr);
  ASSERT_EQ(bmc.Model().RequestLog().size(), 2u);
}

TEST(SimScenario, ControllerAndUsersRoundTripThroughJson) {
  const Scenario s = FromJson(R"({
      "controller": {"channelAuth": {"extendedCapabilities": false, "ipmi20Connections": false},
                     "oemFirmwareVersion": "05 00 00 00", "fan": {"mode": 3, "supportedModes": "01 02"},
                     "restart": {"seconds": 7, "neverEnds": true}},
      "users": {"maxUsers": 4, "fixedNames": 0, "accounts": [
          {"id": 1, "name": "one", "password": "pw", "passwordSize": 16, "enable": "reserved", "privilege": 5,
           "callbackOnly": true, "sessionLimit": 3},
          {"id": 4, "nameHex": "41 00 42 00 00 00 00 00 00 00 00 00 00 00 00 00", "passwordHex":
           "FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01"}]}})");
  EXPECT_FALSE(s.state.controller.extendedCapabilities);
  EXPECT_EQ(s.state.controller.fanSupportedModes, (std::vector<uint8_t>{0x01, 0x02}));
  ASSERT_EQ(s.state.users.accounts.size(), 4u);
  EXPECT_EQ(s.state.users.accounts[0].password.size(), 16u);
  EXPECT_EQ(s.state.users.accounts[0].enable, UserEnable::Reserved);
  EXPECT_EQ(s.state.users.accounts[3].name[2], 0x42);
  Scenario back;
  std::string error;
  ASSERT_TRUE(ScenarioFromJson(ScenarioToJson(s), &back, &error)) << error;
  EXPECT_EQ(ScenarioToJson(back), ScenarioToJson(s));
  EXPECT_EQ(back.state.users.accounts[3].password, s.state.users.accounts[3].password);
  EXPECT_EQ(ScenarioToJson(back)["users"]["accounts"][3].contains("nameHex"), true);

  const struct {
    const char* json;
    const char* error;
  } bad[] = {
      {R"({"users": {"maxUsers": 64}})", "\"maxUsers\" must be at most 63"},
      {R"({"users": {"accounts": [{"id": 11}]}})", "\"id\" must be a user ID from 1 to maxUsers"},
      {R"({"users": {"accounts": [{"id": 2, "name": "ABCDEFGHIJKLMNOPQ"}]}})", "\"name\" must be at most 16 bytes"},
      {R"({"users": {"accounts": [{"id": 2, "enable": "yes"}]}})",
       "\"enable\" must be one of unspecified, enabled, disabled, reserved"},
      {R"({"controller": {"restart": {"seconds": -1}}})", "\"seconds\" must be a number of 0 or more"},
  };
  for (const auto& c : bad) {
    Scenario scenario;
    EXPECT_FALSE(ScenarioFromJson(nlohmann::json::parse(c.json), &scenario, &error)) << c.json;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace

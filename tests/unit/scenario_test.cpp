// Scenario files: what tests and the host tool load, and what the host tool
// writes back as the BMC's state.
#include "sim/scenario.hpp"

#include <gtest/gtest.h>

#include "sim/bmc_model.hpp"

namespace {

Scenario Parse(const char* text, std::string* error) {
  Scenario scenario;
  EXPECT_TRUE(ScenarioFromJson(nlohmann::json::parse(text), &scenario, error)) << *error;
  return scenario;
}

TEST(Scenario, MissingKeysKeepTheDefaults) {
  std::string error;
  const Scenario s = Parse(R"({"deviceId": "21 02"})", &error);
  EXPECT_EQ(s.state.deviceId, (std::vector<uint8_t>{0x21, 0x02}));
  EXPECT_EQ(s.state.systemGuid, DefaultScenario().state.systemGuid);
  EXPECT_FALSE(s.kcs.obfNeverSet);
}

TEST(Scenario, RoundTripsThroughJson) {
  std::string error;
  const Scenario s = Parse(R"({
      "completionCodes": [{"netFn": "06", "cmd": 1, "nth": 2, "code": "C1"}, {"code": "D5", "data": "01 0A"}],
      "kcs": {"onTransfer": 3, "ibfHoldReads": 7, "forceStateAt": "writeEnd", "forcedState": "idle",
              "leadingZeroBytes": 1, "obfLateReads": 9, "obfLateAfterByte": 4, "responseFrame": "1C 01"},
      "lan": {"0A": null}})",
                           &error);
  Scenario back;
  ASSERT_TRUE(ScenarioFromJson(ScenarioToJson(s), &back, &error)) << error;
  EXPECT_EQ(ScenarioToJson(back), ScenarioToJson(s));
  ASSERT_EQ(back.completionCodes.size(), 2u);
  EXPECT_EQ(back.completionCodes[0].netFn, 0x06);
  EXPECT_EQ(back.completionCodes[0].cmd, 0x01);
  EXPECT_EQ(back.completionCodes[0].nth, 2u);
  EXPECT_FALSE(back.completionCodes[1].netFn.has_value());
  EXPECT_EQ(back.completionCodes[1].dataPrefix, (std::vector<uint8_t>{0x01, 0x0A}));
  EXPECT_EQ(back.kcs.forceStateAt, KcsPhase::WriteEnd);
  EXPECT_EQ(back.kcs.forcedState, KcsStateCode::Idle);
  EXPECT_EQ(back.kcs.responseFrame, (std::vector<uint8_t>{0x1C, 0x01}));
  EXPECT_EQ(back.kcs.obfLateReads, 9u);
  EXPECT_EQ(back.kcs.obfLateAfterByte, 4u);
  // A parameter the BMC does not support stays unsupported.
  EXPECT_EQ(back.state.lan.parameters.count(0x0A), 0u);
}

TEST(Scenario, MalformedValuesAreNamed) {
  const struct {
    const char* json;
    const char* error;
  } cases[] = {
      {R"({"deviceId": "2G"})", "\"deviceId\" must be hexadecimal bytes such as \"20 81 0A\""},
      {R"({"deviceId": "123"})", "\"deviceId\" must be hexadecimal bytes such as \"20 81 0A\""},
      {R"({"completionCodes": [{"netFn": 300, "code": "C1"}]})", "\"netFn\" must be one byte, e.g. \"C1\""},
      {R"({"completionCodes": [{"netFn": "06"}]})", "\"code\" must be given for every completion code fault"},
      {R"({"kcs": {"ibfHoldReads": -1}})", "\"ibfHoldReads\" must be a number of 0 or more"},
      {R"({"kcs": {"forcedState": "busy"}})", "\"forcedState\" must be one of idle, read, write, error"},
      {R"([1, 2])", "a scenario is a JSON object"},
  };
  for (const auto& c : cases) {
    Scenario scenario;
    std::string error;
    EXPECT_FALSE(ScenarioFromJson(nlohmann::json::parse(c.json), &scenario, &error)) << c.json;
    EXPECT_EQ(error, c.error);
  }
}

TEST(BmcModel, InjectsCompletionCodesForMatchingOrNthRequests) {
  std::string error;
  const Scenario s = Parse(R"({"completionCodes": [
      {"netFn": "06", "cmd": "37", "code": "D5"},
      {"nth": 3, "code": "C0"},
      {"netFn": "0C", "cmd": "01", "data": "01 03", "code": "D4"}]})",
                           &error);
  VirtualClock clock;
  BmcModel model(s, &clock);
  const std::vector<uint8_t> getDeviceId{0x18, 0x01}, getGuid{0x18, 0x37};
  auto cc = [&](const std::vector<uint8_t>& frame) { return (*model.HandleFrame(frame))[2]; };
  EXPECT_EQ(cc(getDeviceId), 0x00);
  EXPECT_EQ(cc(getGuid), 0xD5);                                           // every Get System GUID
  EXPECT_EQ(cc(getDeviceId), 0xC0);                                       // the third request of any kind...
  EXPECT_EQ(cc(getDeviceId), 0x00);                                       // ...only
  EXPECT_EQ(cc({0x18, 0x99}), 0xC1);                                      // a command the BMC does not know
  EXPECT_EQ(cc({0x30, 0x01, 0x01, 0x03, 0x0A, 0x00, 0x00, 0x01}), 0xD4);  // data starts with 01 03
  EXPECT_EQ(cc({0x30, 0x01, 0x01, 0x04, 0x02}), 0x00);                    // ... not 01 04
  EXPECT_EQ(cc({0x30, 0x01, 0x01}), 0xC7);                                // shorter than the prefix
  EXPECT_EQ(model.RequestLog().size(), 8u);
}

}  // namespace

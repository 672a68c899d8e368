// -ver, -r, -fd, -fdl, -fde and -fan: controller identification by family, the
// version forms, the factory-default requests by family, the restart wait, fan mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tool/tool_harness.hpp"

namespace {

using Requests = std::vector<std::string>;

// Get Device ID with firmware revision 03h.21h and auxiliary revision byte 05h.
const std::string kDeviceId = "20 01 03 21 02 BF 00 00 00 00 00 05 00 00 00";
const std::string kTailOfGuid = "11 22 33 44 55 66 77 88 99 AA";

// A GUID of the "<family character>001VQ" form.
std::string FamilyGuid(char family) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned char>(family));
  return std::string(text) + " 30 30 31 56 51 " + kTailOfGuid;
}

Scenario Bmc(const std::string& guid, const std::string& extra = "") {
  return ScenarioFrom(R"({"systemGuid": ")" + guid + R"(", "deviceId": ")" + kDeviceId + "\"" + extra + "}");
}

// Controllers identified by capability rather than by GUID.
const std::string kUnknownGuid = "A1 6E 3C 52 9B 04 4D 17 8E 21 5F 0B C4 D9 72 38";
const char kRefuseGuid[] = R"(, "completionCodes": [{"netFn": "06", "cmd": "37", "code": "C1"}])";
const char kIpmi15[] = R"(, "controller": {"channelAuth": {"extendedCapabilities": false}})";
const char kNoIpmi20Connections[] = R"(, "controller": {"channelAuth": {"ipmi20Connections": false}})";

const Requests kByGuid = {"06 37"};
const Requests kByExtendedAuth = {"06 37", "06 38 81 01"};
const Requests kByDeviceId = {"06 37", "06 38 81 01", "06 01"};
const Requests kUnidentifiedAfterDeviceId = {"06 37", "06 38 81 01", "06 01", "06 38 01 01"};
const Requests kUnidentifiedAfterExtendedAuth = {"06 37", "06 38 81 01", "06 38 01 01"};

Requests Then(Requests first, const Requests& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

struct FamilyCase {
  std::string name;
  Scenario scenario;
  Requests identify;  // the identification's requests
  int bmcType;        // as the -fdl request shows it
};

std::vector<FamilyCase> EveryFamily() {
  std::vector<FamilyCase> cases = {
      {"pattern 3", Bmc("20 00 0E 40 02 7F 78 08 " + kTailOfGuid.substr(0, 23)), kByGuid, 3},
      {"pattern 4", Bmc("02 00 00 FF FE 00 " + kTailOfGuid), kByGuid, 4},
      {"IPMI 2.0 by channel capabilities", Bmc(kUnknownGuid), kByExtendedAuth, 2},
      {"IPMI 2.0 by channel capabilities, GUID refused", Bmc(kUnknownGuid, kRefuseGuid), kByExtendedAuth, 2},
      {"IPMI 2.0 by firmware revision 02h",
       ScenarioFrom(R"({"deviceId": "20 01 02 21 51", "controller": {"channelAuth": {"extendedCapabilities": false}},
                        "completionCodes": [{"netFn": "06", "cmd": "37", "code": "C1"}]})"),
       kByDeviceId, 2},
      {"IPMI 1.5", Bmc(kUnknownGuid, kIpmi15), kUnidentifiedAfterDeviceId, 121},
      {"IPMI 2.0 channel without IPMI 2.0 connections", Bmc(kUnknownGuid, kNoIpmi20Connections),
       kUnidentifiedAfterExtendedAuth, 121},
      {"family character in lower case", Bmc(FamilyGuid('c'), kIpmi15), kUnidentifiedAfterDeviceId, 121},
      {"GUID too short for pattern 3", Bmc("20 00 0E 40 02 7F 78", kIpmi15), kUnidentifiedAfterDeviceId, 121},
      {"GUID too short for pattern 4", Bmc("02 00 00 FF FE", kIpmi15), kUnidentifiedAfterDeviceId, 121},
      {"GUID too short for a family", Bmc("39 30 30 31 56", kIpmi15), kUnidentifiedAfterDeviceId, 121},
  };
  const struct {
    char character;
    int bmcType;
  } families[] = {{'0', 5},  {'1', 6},  {'2', 9}, {'3', 7},  {'4', 10}, {'5', 10},
                  {'6', 11}, {'7', 13}, {'8', 8}, {'9', 12}, {'C', 14}, {'D', 15}};
  for (const auto& f : families) {
    cases.push_back({std::string("family ") + f.character, Bmc(FamilyGuid(f.character)), kByGuid, f.bmcType});
  }
  return cases;
}

std::string ExpectedVersion(const FamilyCase& c) {
  if (c.identify == kByDeviceId) return "Firmware Version: 02.21\n";
  switch (c.bmcType) {
    case 12:
      return "Firmware Version: 03.21.05\n";
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
      return "Firmware Version: 01.02.03";  // the OEM form: no line break
    case 121:
      return "";
    default:
      return "Firmware Version: 03.21\n";
  }
}

Requests VersionRequests(int bmcType) {
  if (bmcType == 121) return {};
  if (bmcType >= 4 && bmcType <= 9) return {"3C 20"};
  return {"06 01"};
}

TEST(ToolFirmwareVersion, EveryFamilyPrintsItsForm) {
  for (const FamilyCase& c : EveryFamily()) {
    SCOPED_TRACE(c.name);
    const ToolRun run = RunTool(c.scenario, {"-ver"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, ExpectedVersion(c));
    EXPECT_EQ(run.requests, Then(c.identify, VersionRequests(c.bmcType)));
  }
}

TEST(ToolFirmwareVersion, ShortRepliesShowOnlyWhatTheBmcSent) {
  const struct {
    const char* name;
    Scenario scenario;
    std::string output;
  } cases[] = {
      // Get Device ID without the revision bytes: not a version.
      {"device ID of 3 bytes", ScenarioFrom(R"({"deviceId": "20 01 03"})"),
       "Failed to get IPMI firmware reverison, Completion Code=CEh\n"},
      {"device ID of 4 bytes", ScenarioFrom(R"({"deviceId": "20 01 03 21"})"), "Firmware Version: 03.21\n"},
      // The auxiliary revision is optional: without it family 12 shows two fields.
      {"family 12, 11 bytes", Bmc(FamilyGuid('9'), R"(, "deviceId": "20 01 03 21 02 BF 00 00 00 00 00")"),
       "Firmware Version: 03.21\n"},
      {"family 12, 12 bytes", Bmc(FamilyGuid('9'), R"(, "deviceId": "20 01 03 21 02 BF 00 00 00 00 00 07")"),
       "Firmware Version: 03.21.07\n"},
      {"family 12, 4 bytes", Bmc(FamilyGuid('9'), R"(, "deviceId": "20 01 0A 99")"), "Firmware Version: 0a.99\n"},
      {"family 12, aux 200", Bmc(FamilyGuid('9'), R"(, "deviceId": "20 01 03 21 02 BF 00 00 00 00 00 C8")"),
       "Firmware Version: 03.21.200\n"},
      // The OEM reply: whole 32-bit values only, at least two.
      {"OEM reply of 7 bytes",
       Bmc(FamilyGuid('1'), R"(, "controller": {"oemFirmwareVersion": "01 00 00 00 02 00 00"})"),
       "Failed to get IPMI firmware reverison, Completion Code=CEh\n"},
      {"OEM reply of 8 bytes",
       Bmc(FamilyGuid('1'), R"(, "controller": {"oemFirmwareVersion": "01 00 00 00 02 00 00 00"})"),
       "Firmware Version: 01.02"},
      {"OEM reply of 11 bytes",
       Bmc(FamilyGuid('1'), R"(, "controller": {"oemFirmwareVersion": "01 00 00 00 02 00 00 00 03 00 00"})"),
       "Firmware Version: 01.02"},
      {"OEM reply of 16 bytes",
       Bmc(FamilyGuid('1'),
           R"(, "controller": {"oemFirmwareVersion": "0C 01 00 00 FF FF FF FF 05 00 00 00 09 00 00 00"})"),
       "Firmware Version: 268.-01.05"},
      {"OEM reply empty", Bmc(FamilyGuid('1'), R"(, "controller": {"oemFirmwareVersion": ""})"),
       "Failed to get IPMI firmware reverison, Completion Code=CEh\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = RunTool(c.scenario, {"-ver"});
    EXPECT_EQ(run.status, c.output.rfind("Failed", 0) == 0 ? 11 : 0);
    EXPECT_EQ(run.output, c.output);
  }
}

TEST(ToolFirmwareVersion, Failures) {
  // A refused version request after a good identification is a failure too.
  ToolRun run =
      RunTool(Bmc(FamilyGuid('9'), R"(, "completionCodes": [{"netFn": "06", "cmd": "01", "code": "D5"}])"), {"-ver"});
  EXPECT_EQ(run.status, 11);
  EXPECT_EQ(run.output, "Failed to get IPMI firmware reverison, Completion Code=D5h\n");
  EXPECT_EQ(run.requests, (Requests{"06 37", "06 01"}));

  run = RunTool(Bmc(FamilyGuid('1'), R"(, "completionCodes": [{"netFn": "3C", "cmd": "20", "code": "C1"}])"), {"-ver"});
  EXPECT_EQ(run.status, 11);
  EXPECT_EQ(run.output, "Failed to get IPMI firmware reverison, Completion Code=C1h\n");

  // Everything refused: the last Get Device ID's code is reported.
  run = RunTool(ScenarioFrom(R"({"completionCodes": [{"netFn": "06", "cmd": "01", "nth": 2, "code": "D4"},
                                                       {"code": "C0"}]})"),
                {"-ver"});
  EXPECT_EQ(run.status, 11);
  EXPECT_EQ(run.output, "Failed to get IPMI firmware reverison, Completion Code=D4h\n");
  EXPECT_EQ(run.requests, (Requests{"06 37", "06 38 81 01", "06 01", "06 38 01 01", "06 01"}));

  // A BMC that never answers: transport failures, code 03h.
  run = RunTool(ScenarioFrom(R"({"kcs": {"obfNeverSet": true}})"), {"-ver"});
  EXPECT_EQ(run.status, 11);
  std::string expected;
  for (int i = 0; i < 5; ++i) expected += "Error: time out.\n";
  EXPECT_EQ(run.output, expected + "Failed to get IPMI firmware reverison, Completion Code=03h\n");

  // A channel capabilities reply too short to carry the extended data (the
  // second transfer) is not IPMI 2.0.
  run = RunTool(ScenarioFrom(R"({"kcs": {"onTransfer": 2, "responseFrame": "1C 38 00 01 94 00"}})"), {"-ver"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.requests, kUnidentifiedAfterExtendedAuth);
}

// ---- factory defaults ----

std::string ExpectedCleanLanRequest(int bmcType) {
  switch (bmcType) {
    case 2:
      return "2E CC 5E 2B 00 0A 01 FF 00 00 00";
    case 10:
    case 11:
    case 12:
    case 15:
      return "30 41 01";
    default:
      return "30 42";
  }
}

TEST(ToolFactoryDefault, RequestByFamily) {
  for (const FamilyCase& c : EveryFamily()) {
    SCOPED_TRACE(c.name);
    ToolRun run = RunTool(c.scenario, {"-fdl"});
    if (c.bmcType == 121) {
      EXPECT_EQ(run.status, 13);
      EXPECT_EQ(run.output, "Reset to factory default function does not support IPMI 1.5.\n");
      EXPECT_EQ(run.requests, c.identify);
    } else {
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.output, "Reset to the factory default completed.\n");
      EXPECT_EQ(run.requests, Then(c.identify, {ExpectedCleanLanRequest(c.bmcType)}));
    }
    // -fd and -fde send the same request whatever the family.
    run = RunTool(c.scenario, {"-fd"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "Reset to the factory default completed.\n");
    EXPECT_EQ(run.requests, Then(c.identify, {"30 40"}));
    run = RunTool(c.scenario, {"-fde"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.requests, Then(c.identify, {"30 41"}));
  }
}

TEST(ToolFactoryDefault, Failures) {
  const Scenario nothingAnswers = ScenarioFrom(R"({"completionCodes": [{"code": "C3"}]})");
  for (const char* command : {"-fd", "-fdl", "-fde"}) {
    SCOPED_TRACE(command);
    ToolRun run = RunTool(nothingAnswers, {command, "-d"});
    EXPECT_EQ(run.status, 11);
    EXPECT_EQ(run.output, "Failed to get IPMI firmware reverison, Completion Code=C3h\n");
    EXPECT_EQ(run.requests, (Requests{"06 37", "06 38 81 01", "06 01", "06 38 01 01", "06 01"}));

    // A refused factory default shows no completion code and does not wait.
    run = RunTool(ScenarioFrom(R"({"completionCodes": [{"netFn": "30", "code": "D5"},
                                                        {"netFn": "2E", "code": "D5"}]})"),
                  {command, "-d"});
    EXPECT_EQ(run.status, 11);
    EXPECT_EQ(run.output, "Failed to reset the BMC to the factory default.\n");
    EXPECT_EQ(run.requests.size(), 3u);
  }
  const ToolRun run =
      RunTool(ScenarioFrom(R"({"completionCodes": [{"netFn": "06", "cmd": "02", "code": "C0"}]})"), {"-r", "-d"});
  EXPECT_EQ(run.status, 11);
  EXPECT_EQ(run.output, "Failed to perform BMC cold reset, Completion Code=C0h\n");
  EXPECT_EQ(run.requests, Requests{"06 02"});
}

// ---- the restart wait ----

constexpr char kPleaseWait[] = "Please wait a few minutes for the BMC to restart.\n";
// What each probe prints while the BMC restarts: its five requests time out
// waiting for the KCS interface to take a byte.
std::string FailedProbe() {
  std::string lines;
  for (int i = 0; i < 5; ++i) lines += "Error: It is timeout for IBF clear.\n";
  return lines;
}

// The wait as it prints when the BMC answers at step `answerStep` (100: never).
std::string WaitOutput(int answerStep) {
  std::string text = kPleaseWait + std::string(60, '.');
  for (int step = 60; step < 100; ++step) {
    if (step == answerStep) return text + "\nDone.\n";
    text += FailedProbe();
    if (step == 80) text += "\n";
    text += ".";
  }
  return text + "Does not detect IPMI device.\n";
}

Scenario RestartingIn(const std::string& restart) {
  return ScenarioFrom(R"({"controller": {"restart": )" + restart + "}}");
}

TEST(ToolRestartWait, DotsProbesAndResult) {
  const struct {
    const char* name;
    std::string restart;
    int answerStep;
    int status;
    Requests afterReset;
  } cases[] = {
      {"back before the first probe", R"({"seconds": 30})", 60, 0, kByExtendedAuth},
      {"back at the first probe", R"({"seconds": 60})", 60, 0, kByExtendedAuth},
      {"back at step 85", R"({"seconds": 85})", 85, 0, kByExtendedAuth},
      {"back at the last step", R"({"seconds": 99})", 99, 0, kByExtendedAuth},
      {"back too late", R"({"seconds": 101})", 100, 11, {}},
      {"never back", R"({"seconds": 0, "neverEnds": true})", 100, 11, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = RunTool(RestartingIn(c.restart), {"-r", "-d"});
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, "BMC cold reset successfully completed!\n" + WaitOutput(c.answerStep));
    // Requests sent while the BMC restarts never reach it.
    EXPECT_EQ(run.requests, Then({"06 02"}, c.afterReset));
    // One second per dot, the probes' time-outs on top: never a real sleep.
    const uint64_t steps = static_cast<uint64_t>(c.answerStep);
    EXPECT_GE(run.elapsedMicroseconds, steps * 1000000);
    EXPECT_LT(run.elapsedMicroseconds, steps * 1000000 + 500000);
  }
}

TEST(ToolRestartWait, EveryResetWaitsOnlyWithTheOption) {
  const Scenario bmc = RestartingIn(R"({"seconds": 10})");
  const struct {
    std::vector<std::string> args;
    std::string line;
    Requests requests;
  } cases[] = {
      {{"-r"}, "BMC cold reset successfully completed!\n", {"06 02"}},
      {{"-fd"}, "Reset to the factory default completed.\n", {"06 37", "06 38 81 01", "30 40"}},
      {{"-fdl"},
       "Reset to the factory default completed.\n",
       {"06 37", "06 38 81 01", "2E CC 5E 2B 00 0A 01 FF 00 00 00"}},
      {{"-fde"}, "Reset to the factory default completed.\n", {"06 37", "06 38 81 01", "30 41"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    ToolRun run = RunTool(bmc, c.args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.line);
    EXPECT_EQ(run.requests, c.requests);
    EXPECT_LT(run.elapsedMicroseconds, 1000000u);

    std::vector<std::string> waiting = c.args;
    waiting.push_back("-d");
    run = RunTool(bmc, waiting);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.line + WaitOutput(60));
    EXPECT_EQ(run.requests, Then(c.requests, kByExtendedAuth));
  }
}

// ---- fan mode ----

Scenario Fan(const std::string& fan, const std::string& extra = "") {
  return ScenarioFrom(R"({"controller": {"fan": )" + fan + "}" + extra + "}");
}

const std::string kAllModes =
    "Fan Modes:\n0:Standard\n1:Full\n2:Optimal\n3:PUE(Power Utilization Effectiveness) Optimal\n4:Heavy IO\n";

TEST(ToolFanMode, ShowsModeAndSupportedModes) {
  const struct {
    const char* name;
    Scenario scenario;
    std::string output;
  } cases[] = {
      {"mode 2, mask 05h", Fan(R"({"mode": 2, "supportedModes": "05"})"),
       "Current Fan Speed Mode is [ Optimal Mode ]\n\nSupported Fan modes:\n0:Standard\n2:Optimal\n"},
      {"mode 3, mask 1Fh", Fan(R"({"mode": 3, "supportedModes": "1F"})"),
       "Current Fan Speed Mode is [ PUE(Power Utilization Effectiveness) Optimal Mode ]\n\nSupported Fan modes:\n"
       "0:Standard\n1:Full\n2:Optimal\n3:PUE(Power Utilization Effectiveness) Optimal\n4:Heavy IO\n"},
      {"mode 4, mask 10h", Fan(R"({"mode": 4, "supportedModes": "10"})"),
       "Current Fan Speed Mode is [ Heavy IO speed Mode ]\n\nSupported Fan modes:\n4:Heavy IO\n"},
      {"mode 1, bits 5 to 7 ignored", Fan(R"({"mode": 1, "supportedModes": "E2"})"),
       "Current Fan Speed Mode is [ Full Mode ]\n\nSupported Fan modes:\n1:Full\n"},
      {"mode 7", Fan(R"({"mode": 7, "supportedModes": "01"})"),
       "Current Fan Speed Mode is [  Mode ]\n\nSupported Fan modes:\n0:Standard\n"},
      {"mode 5", Fan(R"({"mode": 5, "supportedModes": "01"})"),
       "Current Fan Speed Mode is [  Mode ]\n\nSupported Fan modes:\n0:Standard\n"},
      {"mask 00h", Fan(R"({"mode": 0, "supportedModes": "00"})"),
       "Current Fan Speed Mode is [ Standard Mode ]\n\nSupported Fan modes:\n"},
      {"mask FFh", Fan(R"({"mode": 0, "supportedModes": "FF"})"),
       "Current Fan Speed Mode is [ Standard Mode ]\n\n" + kAllModes},
      {"mask of two bytes", Fan(R"({"mode": 0, "supportedModes": "01 00"})"),
       "Current Fan Speed Mode is [ Standard Mode ]\n\n" + kAllModes},
      {"mask of no bytes", Fan(R"({"mode": 0, "supportedModes": ""})"),
       "Current Fan Speed Mode is [ Standard Mode ]\n\n" + kAllModes},
      {"mask refused",
       Fan(R"({"mode": 0, "supportedModes": "01"})",
           R"(, "completionCodes": [{"netFn": "30", "cmd": "45", "nth": 2, "code": "C1"}])"),
       "Current Fan Speed Mode is [ Standard Mode ]\n\n" + kAllModes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = RunTool(c.scenario, {"-fan"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.requests, (Requests{"30 45 00", "30 45 02"}));
  }

  const ToolRun refused =
      RunTool(Fan(R"({"mode": 0})", R"(, "completionCodes": [{"netFn": "30", "cmd": "45", "code": "D4"}])"), {"-fan"});
  EXPECT_EQ(refused.status, 11);
  EXPECT_EQ(refused.output, "Failed to get fan speed mode, Completion Code=D4h\n");
  EXPECT_EQ(refused.requests, Requests{"30 45 00"});

  // A current-mode reply without the mode byte is not a mode: no list follows.
  const ToolRun empty = RunTool(ScenarioFrom(R"({"kcs": {"onTransfer": 1, "responseFrame": "C4 45 00"}})"), {"-fan"});
  EXPECT_EQ(empty.status, 11);
  EXPECT_EQ(empty.output, "Failed to get fan speed mode, Completion Code=CEh\n");
}

TEST(ToolFanMode, SetsMode) {
  const Scenario bmc = Fan(R"({"mode": 0, "supportedModes": "1D"})");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string output;
    Requests requests;
  } cases[] = {
      {{"-fan", "3"}, 0, "Done.\n", {"30 45 01 03"}},
      {{"-fan", "0"}, 0, "Done.\n", {"30 45 01 00"}},
      {{"-fan", "4"}, 0, "Done.\n", {"30 45 01 04"}},
      {{"-fan", "+2abc"}, 0, "Done.\n", {"30 45 01 02"}},
      // The BMC refuses a mode it does not support (bit 1 is clear).
      {{"-fan", "1"}, 11, "Failed to set fan speed mode, Completion Code=CCh\n", {"30 45 01 01"}},
      {{"-fan", "5"}, 12, "Invalid mode.\n", {}},
      {{"-fan", "-1"}, 12, "Invalid mode.\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[1]);
    const ToolRun run = RunTool(bmc, c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.requests, c.requests);
  }
}

}  // namespace

#include "sim/scenario.hpp"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>

#include "sim/ipmi_message.hpp"
#include "sim/json_reader.hpp"

namespace {

using nlohmann::json;

constexpr std::array<EnumName<KcsPhase>, 5> kPhaseNames{{
    {KcsPhase::None, "none"},
    {KcsPhase::WriteStart, "writeStart"},
    {KcsPhase::DataByte, "dataByte"},
    {KcsPhase::WriteEnd, "writeEnd"},
    {KcsPhase::ReadPhase, "readPhase"},
}};
constexpr std::array<EnumName<KcsStateCode>, 4> kStateNames{{
    {KcsStateCode::Idle, "idle"},
    {KcsStateCode::Read, "read"},
    {KcsStateCode::Write, "write"},
    {KcsStateCode::Error, "error"},
}};

}  // namespace

Scenario DefaultScenario() {
  Scenario scenario;
  // Device ID 20h, revision 01h, firmware 1.02, IPMI 2.0, the usual device
  // support bits, no manufacturer or product named.
  ParseHexBytes("20 01 01 02 02 BF 00 00 00 00 00 00 00 00 00", &scenario.state.deviceId);
  ParseHexBytes("A1 6E 3C 52 9B 04 4D 17 8E 21 5F 0B C4 D9 72 38", &scenario.state.systemGuid);
  ParseHexBytes("55 00", &scenario.state.selfTest);  // passed
  scenario.state.lan = DefaultLanState();
  scenario.state.controller = DefaultControllerState();
  scenario.state.users = DefaultUserState();
  scenario.state.sel = DefaultSelState();
  scenario.state.sdr = DefaultSdrState();
  scenario.state.fru = DefaultFruState();
  return scenario;
}

bool ScenarioFromJson(const json& root, Scenario* scenario, std::string* error, const std::string& baseDirectory) {
  error->clear();
  if (!root.is_object()) {
    *error = "a scenario is a JSON object";
    return false;
  }
  Scenario result = DefaultScenario();
  JsonReader read(error);
  read.Bytes(root, "deviceId", &result.state.deviceId);
  read.Bytes(root, "systemGuid", &result.state.systemGuid);
  read.Bytes(root, "selfTest", &result.state.selfTest);
  if (root.contains("lan")) ReadLanState(root.at("lan"), &result.state.lan, read);
  if (root.contains("controller")) ReadControllerState(root.at("controller"), &result.state.controller, read);
  if (root.contains("users")) ReadUserState(root.at("users"), &result.state.users, read);
  if (root.contains("sdr")) ReadSdrState(root.at("sdr"), &result.state.sdr, read);
  if (root.contains("sel")) ReadSelState(root.at("sel"), &result.state.sel, read);
  if (root.contains("fru")) ReadFruState(root.at("fru"), &result.state.fru, read, baseDirectory);

  if (root.contains("completionCodes")) {
    for (const json& entry : root.at("completionCodes")) {
      CompletionCodeFault fault;
      read.OptionalByte(entry, "netFn", &fault.netFn);
      read.OptionalByte(entry, "cmd", &fault.cmd);
      read.Bytes(entry, "data", &fault.dataPrefix);
      read.Unsigned(entry, "nth", &fault.nth);
      if (!entry.contains("code")) read.Fail("code", "given for every completion code fault");
      read.Byte(entry, "code", &fault.completionCode);
      result.completionCodes.push_back(fault);
    }
  }
  if (root.contains("kcs")) {
    const json& kcs = root.at("kcs");
    KcsFaults& faults = result.kcs;
    read.Unsigned(kcs, "onTransfer", &faults.onTransfer);
    read.Unsigned(kcs, "ibfHoldReads", &faults.ibfHoldReads);
    read.Unsigned(kcs, "responseDelayReads", &faults.responseDelayReads);
    read.Name(kcs, "forceStateAt", kPhaseNames, &faults.forceStateAt);
    read.Name(kcs, "forcedState", kStateNames, &faults.forcedState);
    read.Bool(kcs, "idleWithoutResponse", &faults.idleWithoutResponse);
    read.Unsigned(kcs, "leadingZeroBytes", &faults.leadingZeroBytes);
    read.Bool(kcs, "obfNeverSet", &faults.obfNeverSet);
    read.Unsigned(kcs, "obfLateReads", &faults.obfLateReads);
    read.Unsigned(kcs, "obfLateAfterByte", &faults.obfLateAfterByte);
    if (kcs.contains("responseFrame")) {
      std::vector<uint8_t> frame;
      read.Bytes(kcs, "responseFrame", &frame);
      faults.responseFrame = frame;
    }
  }
  if (!read.Ok()) return false;
  *scenario = std::move(result);
  return true;
}

bool LoadScenarioFile(const std::string& path, Scenario* scenario, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  const json root = json::parse(in, nullptr, /*allow_exceptions=*/false, /*ignore_comments=*/true);
  if (root.is_discarded()) {
    *error = path + ": not valid JSON";
    return false;
  }
  const size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (!ScenarioFromJson(root, scenario, error, directory)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

json ScenarioToJson(const Scenario& scenario) {
  json root;
  root["deviceId"] = HexBytesText(scenario.state.deviceId);
  root["systemGuid"] = HexBytesText(scenario.state.systemGuid);
  root["selfTest"] = HexBytesText(scenario.state.selfTest);
  root["lan"] = LanStateToJson(scenario.state.lan);
  root["controller"] = ControllerStateToJson(scenario.state.controller);
  root["users"] = UserStateToJson(scenario.state.users);
  root["sdr"] = SdrStateToJson(scenario.state.sdr);
  root["sel"] = SelStateToJson(scenario.state.sel);
  root["fru"] = FruStateToJson(scenario.state.fru);
  json faults = json::array();
  for (const CompletionCodeFault& fault : scenario.completionCodes) {
    json entry;
    if (fault.netFn) entry["netFn"] = ByteText(*fault.netFn);
    if (fault.cmd) entry["cmd"] = ByteText(*fault.cmd);
    if (!fault.dataPrefix.empty()) entry["data"] = HexBytesText(fault.dataPrefix);
    entry["nth"] = fault.nth;
    entry["code"] = ByteText(fault.completionCode);
    faults.push_back(entry);
  }
  root["completionCodes"] = faults;
  const KcsFaults& k = scenario.kcs;
  json kcs = {
      {"onTransfer", k.onTransfer},
      {"ibfHoldReads", k.ibfHoldReads},
      {"responseDelayReads", k.responseDelayReads},
      {"forceStateAt", NameOf(kPhaseNames, k.forceStateAt)},
      {"forcedState", NameOf(kStateNames, k.forcedState)},
      {"idleWithoutResponse", k.idleWithoutResponse},
      {"leadingZeroBytes", k.leadingZeroBytes},
      {"obfNeverSet", k.obfNeverSet},
      {"obfLateReads", k.obfLateReads},
      {"obfLateAfterByte", k.obfLateAfterByte},
  };
  if (k.responseFrame) kcs["responseFrame"] = HexBytesText(*k.responseFrame);
  root["kcs"] = kcs;
  return root;
}

bool SaveScenarioFile(const std::string& path, const Scenario& scenario, std::string* error) {
  // Written whole to a neighbour and renamed, so an interrupted run never leaves
  // half a state file behind.
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << ScenarioToJson(scenario).dump(2) << '\n';
    if (!out.flush()) {
      *error = "cannot write " + temporary;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = "cannot replace " + path;
    return false;
  }
  return true;
}

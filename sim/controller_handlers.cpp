// Controller functions: cold reset, channel authentication capabilities and the
// OEM requests for firmware version, factory defaults and fan mode.
#include <algorithm>

#include "sim/bmc_model.hpp"
#include "sim/controller_state.hpp"
#include "sim/handler.hpp"
#include "sim/ipmi_message.hpp"
#include "sim/json_reader.hpp"

namespace {

constexpr uint8_t kNetFnApp = 0x06;
constexpr uint8_t kNetFnOemGroup = 0x2E;
constexpr uint8_t kNetFnOemController = 0x30;
constexpr uint8_t kNetFnOemFirmware = 0x3C;

constexpr uint8_t kCmdColdReset = 0x02;
constexpr uint8_t kCmdGetChannelAuthenticationCapabilities = 0x38;
constexpr uint8_t kCmdOemFirmwareVersion = 0x20;
constexpr uint8_t kCmdOemFactoryDefault = 0x40;
constexpr uint8_t kCmdOemFactoryDefaultClean = 0x41;
constexpr uint8_t kCmdOemFactoryDefaultCleanLan = 0x42;
constexpr uint8_t kCmdOemFanMode = 0x45;
constexpr uint8_t kCmdOemGroupFactoryDefault = 0xCC;

// Get Channel Authentication Capabilities (IPMI 2.0 section 22.13).
constexpr uint8_t kLanChannel = 0x01;
constexpr uint8_t kChannelMask = 0x0F;
constexpr uint8_t kRequestExtendedData = 0x80;
constexpr uint8_t kPrivilegeMask = 0x0F;
constexpr uint8_t kPrivilegeCallback = 0x01;
constexpr uint8_t kPrivilegeOem = 0x05;
constexpr uint8_t kExtendedCapabilitiesAvailable = 0x80;
constexpr uint8_t kAuthTypesMd5AndPassword = 0x14;  // bits 2 (MD5) and 4 (straight password)
constexpr uint8_t kIpmi15Connections = 0x01;
constexpr uint8_t kIpmi20Connections = 0x02;

// The OEM/Group factory default: IANA 002B5Eh, least significant byte first, then
// the function bytes of "clean LAN".
constexpr uint8_t kOemGroupIana[] = {0x5E, 0x2B, 0x00};
constexpr uint8_t kOemGroupCleanLan[] = {0x0A, 0x01, 0xFF, 0x00, 0x00, 0x00};
constexpr uint8_t kCleanLanOnly = 0x01;

// Fan-mode functions (first request byte).
constexpr uint8_t kFanGetCurrentMode = 0x00;
constexpr uint8_t kFanSetMode = 0x01;
constexpr uint8_t kFanGetSupportedModes = 0x02;
constexpr uint8_t kHighestFanMode = 4;

ControllerState& Controller(BmcModel& bmc) { return bmc.State().controller; }

// The BMC answers the request, then restarts.
IpmiReply Restart(BmcModel& bmc, std::vector<uint8_t> data = {}) {
  bmc.StartRestart();
  return Reply(std::move(data));
}

IpmiReply ColdReset(BmcModel& bmc, const IpmiMessage&) { return Restart(bmc); }

IpmiReply GetChannelAuthenticationCapabilities(BmcModel& bmc, const IpmiMessage& request) {
  const ControllerState& controller = Controller(bmc);
  const uint8_t channel = request.data[0] & kChannelMask;
  const bool extended = (request.data[0] & kRequestExtendedData) != 0;
  const uint8_t privilege = request.data[1] & kPrivilegeMask;
  // An IPMI 1.5 controller takes bit 7 as part of a channel number it lacks.
  if (channel != kLanChannel || privilege < kPrivilegeCallback || privilege > kPrivilegeOem ||
      (extended && !controller.extendedCapabilities)) {
    return Refuse(kSimCcInvalidDataField);
  }
  uint8_t authTypes = kAuthTypesMd5AndPassword;
  uint8_t connections = 0x00;  // reserved in the IPMI 1.5 form
  if (extended) {
    authTypes |= kExtendedCapabilitiesAvailable;
    connections = kIpmi15Connections | (controller.ipmi20Connections ? kIpmi20Connections : 0);
  }
  // Channel, authentication types, login status, extended capabilities, OEM ID
  // (none) and OEM auxiliary data.
  return Reply({kLanChannel, authTypes, 0x00, connections, 0x00, 0x00, 0x00, 0x00});
}

IpmiReply OemFirmwareVersion(BmcModel& bmc, const IpmiMessage&) { return Reply(Controller(bmc).oemFirmwareVersion); }

IpmiReply FactoryDefault(BmcModel& bmc, const IpmiMessage& request) {
  if (!request.data.empty()) return Refuse(kSimCcRequestDataLengthInvalid);
  return Restart(bmc);
}

// Without data: clean FRU and LAN; with 01h: clean LAN only.
IpmiReply FactoryDefaultClean(BmcModel& bmc, const IpmiMessage& request) {
  if (request.data.size() > 1) return Refuse(kSimCcRequestDataLengthInvalid);
  if (request.data.size() == 1 && request.data[0] != kCleanLanOnly) return Refuse(kSimCcInvalidDataField);
  return Restart(bmc);
}

IpmiReply OemGroupFactoryDefault(BmcModel& bmc, const IpmiMessage& request) {
  const auto& data = request.data;
  // An OEM/Group request for another enterprise is not a command this BMC has.
  if (!std::equal(std::begin(kOemGroupIana), std::end(kOemGroupIana), data.begin())) {
    return Refuse(kSimCcInvalidCommand);
  }
  if (data.size() != sizeof kOemGroupIana + sizeof kOemGroupCleanLan) return Refuse(kSimCcRequestDataLengthInvalid);
  if (!std::equal(std::begin(kOemGroupCleanLan), std::end(kOemGroupCleanLan), data.begin() + sizeof kOemGroupIana)) {
    return Refuse(kSimCcInvalidDataField);
  }
  // An OEM/Group response starts with the IANA number too.
  return Restart(bmc, {std::begin(kOemGroupIana), std::end(kOemGroupIana)});
}

bool FanModeSupported(const ControllerState& controller, uint8_t mode) {
  if (mode > kHighestFanMode) return false;
  if (controller.fanSupportedModes.size() != 1) return true;  // the BMC does not say: any known mode
  return ((controller.fanSupportedModes[0] >> mode) & 1u) != 0;
}

IpmiReply FanMode(BmcModel& bmc, const IpmiMessage& request) {
  ControllerState& controller = Controller(bmc);
  switch (request.data[0]) {
    case kFanGetCurrentMode:
      return Reply({controller.fanMode});
    case kFanSetMode:
      if (request.data.size() != 2) return Refuse(kSimCcRequestDataLengthInvalid);
      if (!FanModeSupported(controller, request.data[1])) return Refuse(kSimCcInvalidDataField);
      controller.fanMode = request.data[1];
      return Reply({});
    case kFanGetSupportedModes:
      return Reply(controller.fanSupportedModes);
    default:
      return Refuse(kSimCcInvalidDataField);
  }
}

constexpr HandlerEntry kControllerHandlers[] = {
    {kNetFnApp, kCmdColdReset, 0, ColdReset},
    {kNetFnApp, kCmdGetChannelAuthenticationCapabilities, 2, GetChannelAuthenticationCapabilities},
    {kNetFnOemFirmware, kCmdOemFirmwareVersion, 0, OemFirmwareVersion},
    {kNetFnOemController, kCmdOemFactoryDefault, 0, FactoryDefault},
    {kNetFnOemController, kCmdOemFactoryDefaultClean, 0, FactoryDefaultClean},
    {kNetFnOemController, kCmdOemFactoryDefaultCleanLan, 0, FactoryDefault},
    {kNetFnOemController, kCmdOemFanMode, 1, FanMode},
    {kNetFnOemGroup, kCmdOemGroupFactoryDefault, sizeof kOemGroupIana, OemGroupFactoryDefault},
};

}  // namespace

std::span<const HandlerEntry> ControllerHandlers() { return kControllerHandlers; }

ControllerState DefaultControllerState() {
  ControllerState controller;
  // Firmware 1.02.03 in the OEM form; fan mode Standard of Standard, Full and Optimal.
  controller.oemFirmwareVersion = {0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00};
  controller.fanSupportedModes = {0x07};
  return controller;
}

void ReadControllerState(const nlohmann::json& object, ControllerState* controller, JsonReader& read) {
  if (object.contains("channelAuth")) {
    const nlohmann::json& auth = object.at("channelAuth");
    read.Bool(auth, "extendedCapabilities", &controller->extendedCapabilities);
    read.Bool(auth, "ipmi20Connections", &controller->ipmi20Connections);
  }
  read.Bytes(object, "oemFirmwareVersion", &controller->oemFirmwareVersion);
  if (object.contains("fan")) {
    const nlohmann::json& fan = object.at("fan");
    read.Byte(fan, "mode", &controller->fanMode);
    read.Bytes(fan, "supportedModes", &controller->fanSupportedModes);
  }
  if (object.contains("restart")) {
    const nlohmann::json& restart = object.at("restart");
    read.Unsigned(restart, "seconds", &controller->restartSeconds);
    read.Bool(restart, "neverEnds", &controller->restartNeverEnds);
  }
  read.Byte(object, "globalEnables", &controller->globalEnables);
}

nlohmann::json ControllerStateToJson(const ControllerState& controller) {
  return {
      {"channelAuth",
       {{"extendedCapabilities", controller.extendedCapabilities},
        {"ipmi20Connections", controller.ipmi20Connections}}},
      {"oemFirmwareVersion", HexBytesText(controller.oemFirmwareVersion)},
      {"fan", {{"mode", controller.fanMode}, {"supportedModes", HexBytesText(controller.fanSupportedModes)}}},
      {"restart", {{"seconds", controller.restartSeconds}, {"neverEnds", controller.restartNeverEnds}}},
      {"globalEnables", HexBytesText(std::span<const uint8_t>(&controller.globalEnables, 1))},
  };
}

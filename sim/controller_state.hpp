// The simulated BMC's controller functions: channel authentication capabilities,
// the OEM firmware version, fan mode, and how long a restart takes.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <vector>

class JsonReader;

struct ControllerState {
  // Get Channel Authentication Capabilities on the LAN channel.
  bool extendedCapabilities = true;  // understands the IPMI 2.0 extended request (bit 7 of the channel byte)
  bool ipmi20Connections = true;     // reports IPMI 2.0 connections in the extended data
  // Reply data of the OEM firmware version request (NetFn 3Ch, command 20h).
  std::vector<uint8_t> oemFirmwareVersion;
  // Fan-mode OEM command: the current mode, and the reply data of "get supported
  // modes" (normally one mask byte; any length is sent as it is).
  uint8_t fanMode = 0;
  std::vector<uint8_t> fanSupportedModes;
  // After a cold reset or factory default the BMC does not answer for this many
  // seconds of simulated time, or never again.
  unsigned restartSeconds = 30;
  bool restartNeverEnds = false;
  // BMC Global Enables (IPMI 2.0 section 22.1): bit 0 receive message queue
  // interrupt, 1 event message buffer full interrupt, 2 event message buffer,
  // 3 system event logging. The host's driver sets them as it starts.
  uint8_t globalEnables = 0x08;
};

ControllerState DefaultControllerState();
// "controller": {"channelAuth": {"extendedCapabilities": true, "ipmi20Connections": true},
//   "oemFirmwareVersion": "01 00 00 00 ...", "fan": {"mode": 0, "supportedModes": "1F"},
//   "restart": {"seconds": 30, "neverEnds": false}, "globalEnables": "08"}
void ReadControllerState(const nlohmann::json& object, ControllerState* controller, JsonReader& read);
nlohmann::json ControllerStateToJson(const ControllerState& controller);

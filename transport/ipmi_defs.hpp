// IPMI names used across the tool: network functions, commands, completion codes.
#pragma once

#include <cstdint>

// Responder address of the BMC (IPMI 2.0 section 5.5); not carried in a KCS frame.
inline constexpr uint8_t kBmcSlaveAddress = 0x20;

// Network functions (IPMI 2.0 table 5-1), unshifted.
inline constexpr uint8_t kNetFnSensorEvent = 0x04;
inline constexpr uint8_t kNetFnApp = 0x06;
inline constexpr uint8_t kNetFnStorage = 0x0A;
inline constexpr uint8_t kNetFnTransport = 0x0C;

// Application commands (IPMI 2.0 appendix G).
inline constexpr uint8_t kCmdGetDeviceId = 0x01;
inline constexpr uint8_t kCmdGetSelfTestResults = 0x04;
inline constexpr uint8_t kCmdGetSystemGuid = 0x37;
inline constexpr uint8_t kCmdColdReset = 0x02;
inline constexpr uint8_t kCmdGetChannelAuthenticationCapabilities = 0x38;
inline constexpr uint8_t kCmdSetUserAccess = 0x43;
inline constexpr uint8_t kCmdGetUserAccess = 0x44;
inline constexpr uint8_t kCmdSetUserName = 0x45;
inline constexpr uint8_t kCmdGetUserName = 0x46;
inline constexpr uint8_t kCmdSetUserPassword = 0x47;

// OEM requests of the controller families the tool knows. NetFn 2Eh is the
// IPMI OEM/Group function (the request data start with an IANA number); 30h and
// 3Ch are controller-specific OEM functions (IPMI 2.0 table 5-1).
inline constexpr uint8_t kNetFnOemGroup = 0x2E;
inline constexpr uint8_t kNetFnOemController = 0x30;
inline constexpr uint8_t kNetFnOemFirmware = 0x3C;
inline constexpr uint8_t kCmdOemFactoryDefault = 0x40;          // NetFn 30h
inline constexpr uint8_t kCmdOemFactoryDefaultClean = 0x41;     // NetFn 30h: FRU and LAN, or LAN with 01h
inline constexpr uint8_t kCmdOemFactoryDefaultCleanLan = 0x42;  // NetFn 30h
inline constexpr uint8_t kCmdOemFanMode = 0x45;                 // NetFn 30h
inline constexpr uint8_t kCmdOemGroupFactoryDefault = 0xCC;     // NetFn 2Eh
inline constexpr uint8_t kCmdOemFirmwareVersion = 0x20;         // NetFn 3Ch

// Transport commands (IPMI 2.0 section 23).
inline constexpr uint8_t kCmdSetLanConfigurationParameters = 0x01;
inline constexpr uint8_t kCmdGetLanConfigurationParameters = 0x02;

// The BMC's LAN channel: the tool always names channel 1.
inline constexpr uint8_t kLanChannel = 0x01;

// Completion codes (IPMI 2.0 table 5-2).
inline constexpr uint8_t kCcSuccess = 0x00;
// What a request reports when the KCS transfer failed (the transport has printed
// its own "Error: " line). A BMC could return the same value.
inline constexpr uint8_t kCcTransferFailed = 0x03;
inline constexpr uint8_t kCcInvalidCommand = 0xC1;
inline constexpr uint8_t kCcRequestDataLengthInvalid = 0xC7;
inline constexpr uint8_t kCcParameterNotSupported = 0x80;  // LAN configuration parameters
// Reported by the tool itself when a BMC answers 00h but sends fewer data bytes
// than the command reads: "command response could not be provided".
inline constexpr uint8_t kCcResponseTooShort = 0xCE;

// Data bytes one request frame carries after NetFn/LUN and command.
inline constexpr int kMaxRequestData = 110;
// Data bytes one response can bring after its completion code (the KCS receive
// buffer holds NetFn/LUN, command, completion code and 197 data bytes).
inline constexpr unsigned kKcsMaxResponseData = 197;

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
inline constexpr uint8_t kCmdGetSystemGuid = 0x37;

// Completion codes (IPMI 2.0 table 5-2).
inline constexpr uint8_t kCcSuccess = 0x00;
// What a request reports when the KCS transfer failed (the transport has printed
// its own "Error: " line). A BMC could return the same value.
inline constexpr uint8_t kCcTransferFailed = 0x03;
inline constexpr uint8_t kCcInvalidCommand = 0xC1;
inline constexpr uint8_t kCcRequestDataLengthInvalid = 0xC7;

// Data bytes one request frame carries after NetFn/LUN and command.
inline constexpr int kMaxRequestData = 110;
// Data bytes one response can bring after its completion code (the KCS receive
// buffer holds NetFn/LUN, command, completion code and 197 data bytes).
inline constexpr unsigned kKcsMaxResponseData = 197;

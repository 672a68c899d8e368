// IPMI names the whole tool shares: the responder address, the network
// functions, the completion codes and the limits of one request.
//
// Where IPMI constants live: network functions, completion codes and limits
// here; command numbers (and their request and response layouts) beside the
// subsystem that sends them (controller/controller_commands.hpp,
// lan/lan_parameters.hpp, users/user_requests.hpp, fru/, sdr/, sel/).
#pragma once

#include <cstddef>
#include <cstdint>

// Responder address of the BMC (IPMI 2.0 section 5.5); not carried in a KCS frame.
inline constexpr uint8_t kBmcSlaveAddress = 0x20;

// Network functions (IPMI 2.0 table 5-1), unshifted.
inline constexpr uint8_t kNetFnSensorEvent = 0x04;
inline constexpr uint8_t kNetFnApp = 0x06;
inline constexpr uint8_t kNetFnStorage = 0x0A;
inline constexpr uint8_t kNetFnTransport = 0x0C;
// OEM network functions of the controller families the tool knows. 2Eh is the
// IPMI OEM/Group function (the request data start with an IANA number); 30h and
// 3Ch are controller-specific OEM functions.
inline constexpr uint8_t kNetFnOemGroup = 0x2E;
inline constexpr uint8_t kNetFnOemController = 0x30;
inline constexpr uint8_t kNetFnOemFirmware = 0x3C;

// The BMC's LAN channel: the tool always names channel 1.
inline constexpr uint8_t kLanChannel = 0x01;

// Completion codes (IPMI 2.0 table 5-2).
inline constexpr uint8_t kCcSuccess = 0x00;
// What a request reports when the KCS transfer failed (the transport has printed
// its own "Error: " line). A BMC could return the same value.
inline constexpr uint8_t kCcTransferFailed = 0x03;
inline constexpr uint8_t kCcParameterNotSupported = 0x80;  // LAN configuration parameters
inline constexpr uint8_t kCcInvalidCommand = 0xC1;
inline constexpr uint8_t kCcRequestDataLengthInvalid = 0xC7;
inline constexpr uint8_t kCcRequestedSensorNotPresent = 0xCB;
// Reported by the tool itself when a BMC answers 00h but sends fewer data bytes
// than the command reads: "command response could not be provided".
inline constexpr uint8_t kCcResponseTooShort = 0xCE;

// Data bytes one request frame carries after NetFn/LUN and command.
inline constexpr size_t kMaxRequestData = 110;
// Data bytes one response can bring after its completion code (the KCS receive
// buffer holds NetFn/LUN, command, completion code and 197 data bytes).
inline constexpr size_t kMaxResponseData = 197;

// Get and Set LAN Configuration Parameters (IPMI 2.0 section 23.1-23.2) on the
// LAN channel, and the readers of the address parameters.
#pragma once

#include <cstdint>

// Transport commands, NetFn 0Ch (IPMI 2.0 section 23).
inline constexpr uint8_t kCmdSetLanConfigurationParameters = 0x01;
inline constexpr uint8_t kCmdGetLanConfigurationParameters = 0x02;

// LAN configuration parameter selectors (IPMI 2.0 table 23-4).
inline constexpr uint8_t kLanParamIpAddress = 0x03;
inline constexpr uint8_t kLanParamIpAddressSource = 0x04;
inline constexpr uint8_t kLanParamMacAddress = 0x05;
inline constexpr uint8_t kLanParamSubnetMask = 0x06;
inline constexpr uint8_t kLanParamArpControl = 0x0A;
inline constexpr uint8_t kLanParamDefaultGateway = 0x0C;
inline constexpr uint8_t kLanParamVlanId = 0x14;

// IP Address Source values (parameter 4).
inline constexpr uint8_t kIpSourceStatic = 0x01;
inline constexpr uint8_t kIpSourceDhcp = 0x02;

// The word the LAN commands print for an on/off switch.
inline const char* EnableWord(bool enable) { return enable ? "enable" : "disable"; }

// Reads length data bytes of a parameter (after its revision byte) into value.
// Returns the completion code; value is written only on success.
uint8_t GetLanParameter(uint8_t selector, uint8_t* value, uint32_t length);

// Writes a parameter's data bytes. Returns the completion code.
uint8_t SetLanParameter(uint8_t selector, const uint8_t* value, uint32_t length);

// Readers: the completion code; on success the text (at least kIpTextSize or
// kMacTextSize bytes) or flag is written, on failure nothing.
uint8_t ReadLanIpAddress(char* text);
uint8_t ReadLanSubnetMask(char* text);
uint8_t ReadLanGateway(char* text);
uint8_t ReadLanMacAddress(char* text);
// dhcpEnabled: 1 for every address source but 01h (static).
uint8_t ReadIpAddressSource(int* dhcpEnabled);

// The requests of the controller commands: IPMI application commands and the
// OEM requests of the controller families the tool knows.
#pragma once

#include <cstdint>

// Application commands, NetFn 06h (IPMI 2.0 appendix G).
inline constexpr uint8_t kCmdGetDeviceId = 0x01;
inline constexpr uint8_t kCmdColdReset = 0x02;
inline constexpr uint8_t kCmdGetSelfTestResults = 0x04;
inline constexpr uint8_t kCmdGetSystemGuid = 0x37;
inline constexpr uint8_t kCmdGetChannelAuthenticationCapabilities = 0x38;

// OEM commands.
inline constexpr uint8_t kCmdOemFactoryDefault = 0x40;          // NetFn 30h
inline constexpr uint8_t kCmdOemFactoryDefaultClean = 0x41;     // NetFn 30h: FRU and LAN, or LAN with 01h
inline constexpr uint8_t kCmdOemFactoryDefaultCleanLan = 0x42;  // NetFn 30h
inline constexpr uint8_t kCmdOemFanMode = 0x45;                 // NetFn 30h
inline constexpr uint8_t kCmdOemGroupFactoryDefault = 0xCC;     // NetFn 2Eh
inline constexpr uint8_t kCmdOemFirmwareVersion = 0x20;         // NetFn 3Ch

// Get Device ID reply (IPMI 2.0 section 20.1), the bytes the tool reads:
// firmware revision 1 (major, taken whole) and 2 (minor, BCD), and the first
// auxiliary firmware revision byte, which IPMI makes optional.
struct DeviceIdReply {
  uint8_t firmwareRevision1;
  uint8_t firmwareRevision2;
  bool hasAuxiliary;
  uint8_t auxiliaryRevision;
};

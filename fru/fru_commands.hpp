// The FRU inventory requests (IPMI 2.0 section 34), the controller's OEM
// forms of them and its OEM FRU write control, with their request and reply
// layouts.
#pragma once

#include <cstddef>
#include <cstdint>

// Storage commands, NetFn 0Ah (IPMI 2.0 sections 34.1 to 34.3).
inline constexpr uint8_t kCmdGetFruInventoryAreaInfo = 0x10;
inline constexpr uint8_t kCmdReadFruData = 0x11;
inline constexpr uint8_t kCmdWriteFruData = 0x12;

// The controller's OEM FRU commands, NetFn 30h, with the layouts of the storage
// commands above.
inline constexpr uint8_t kCmdOemGetFruInventoryAreaInfo = 0x80;
inline constexpr uint8_t kCmdOemReadFruData = 0x81;
inline constexpr uint8_t kCmdOemWriteFruData = 0x82;

// OEM FRU write control, NetFn 30h: the controller takes Write FRU Data only
// between an unlock and a lock.
inline constexpr uint8_t kCmdOemFruWriteControl = 0x06;
inline constexpr uint8_t kFruWriteUnlock = 0x00;
inline constexpr uint8_t kFruWriteLock = 0x01;

// FRU device IDs: the inventory query always names device 0.
inline constexpr uint8_t kFruDeviceBoard = 0x00;
inline constexpr uint8_t kFruDeviceAlternate = 0x01;

// Get FRU Inventory Area Info reply: the size (LS byte first) and the access
// type byte, kept whole.
struct FruInventoryInfo {
  uint16_t size;
  uint8_t accessType;
};
inline constexpr uint8_t kFruAccessByBytes = 0x00;
inline constexpr uint8_t kFruAccessByWords = 0x01;

// Read FRU Data reply: the count returned, then the FRU bytes.
inline constexpr size_t kFruReadCountBytes = 1;

// Bytes per request: reads and restore chunks of 16, field-write chunks of 8.
inline constexpr size_t kFruReadChunk = 16;
inline constexpr size_t kFruFieldWriteChunk = 8;
inline constexpr size_t kFruRestoreChunk = 16;
// Write FRU Data request: device ID, offset LSB, offset MSB, then the bytes.
inline constexpr size_t kFruWriteHeaderBytes = 3;

// The requests of the system event log commands (IPMI 2.0 section 31) and the
// OEM board identifier request of the decoded listing.
#pragma once

#include <cstdint>

// Storage commands, NetFn 0Ah (IPMI 2.0 section 31).
inline constexpr uint8_t kCmdGetSelInfo = 0x40;
inline constexpr uint8_t kCmdGetSelAllocationInfo = 0x41;
inline constexpr uint8_t kCmdReserveSel = 0x42;
inline constexpr uint8_t kCmdGetSelEntry = 0x43;
inline constexpr uint8_t kCmdClearSel = 0x47;

// Clear SEL request bytes 2-4 ("CLR") and byte 5, the operation (IPMI 2.0
// section 31.9): AAh initiates the erase (00h would only ask for its progress).
inline constexpr uint8_t kClearSelC = 0x43;
inline constexpr uint8_t kClearSelL = 0x4C;
inline constexpr uint8_t kClearSelR = 0x52;
inline constexpr uint8_t kClearSelInitiateErase = 0xAA;

// OEM command, NetFn 30h: the board identifier, two reply bytes that name the
// board in MBType.dat.
inline constexpr uint8_t kCmdOemGetBoardId = 0x21;

// Get SEL Info reply (IPMI 2.0 section 31.2): version, entries, free space in
// bytes, the most recent addition and erase timestamps (LS byte first); byte
// 13, the operation support, is not read.
struct SelInfo {
  uint8_t version;
  uint16_t entries;
  uint16_t freeSpace;
  uint32_t lastAddTime;
  uint32_t lastEraseTime;
};

// Get SEL Allocation Info reply (IPMI 2.0 section 31.3).
struct SelAllocationInfo {
  uint16_t units;     // possible allocation units
  uint16_t unitSize;  // in bytes
  uint16_t freeUnits;
  uint16_t largestFreeBlock;  // in allocation units
  uint8_t maxRecordSize;      // in allocation units
};

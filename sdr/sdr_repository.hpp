// The BMC's Sensor Data Record repository, read whole into a process-wide
// table of raw records at most once per run (IPMI 2.0 section 33), and the
// fields of a full sensor record (IPMI 2.0 table 43-1) the listings read.
#pragma once

#include <cstddef>
#include <cstdint>

// Storage commands, NetFn 0Ah (IPMI 2.0 section 33).
inline constexpr uint8_t kCmdGetSdrRepositoryInfo = 0x20;
inline constexpr uint8_t kCmdReserveSdrRepository = 0x22;
inline constexpr uint8_t kCmdGetSdr = 0x23;

inline constexpr int kSdrSlotCount = 128;
inline constexpr size_t kSdrSlotSize = 256;

// The record count the BMC reported (Get SDR Repository Info bytes 1-2).
extern int32_t SdrRecordCount;
// The Reserve SDR Repository reply as received (LS byte first); 0000h until a
// reservation succeeded.
extern uint8_t SdrReservationId[2];
// Slot i holds the i-th record read, from its record ID on; bytes past the
// record stay 00h.
extern uint8_t SdrRecordTable[kSdrSlotCount][kSdrSlotSize];

// Each returns the completion code of its exchange and prints nothing.
uint8_t GetSdrRepositoryInfo();
uint8_t ReserveSdrRepository();
// One whole-record Get SDR per record, chained by the next record IDs, until
// SdrRecordCount records are read or the table is full (kSdrSlotCount: a
// repository reporting more records gives the first kSdrSlotCount); the first
// non-zero completion code ends it.
uint8_t ReadSdrRecords();

// The records a reader may visit: SdrRecordCount bounded by the table, 0 when
// the count is 0 or less.
int SdrVisibleRecordCount();

// Full sensor record fields (byte offsets from the record ID).
inline constexpr size_t kSdrRecordTypeByte = 3;
inline constexpr size_t kSdrSensorNumberByte = 7;
inline constexpr size_t kSdrSensorTypeByte = 12;
inline constexpr size_t kSdrBaseUnitByte = 21;
inline constexpr size_t kSdrLinearizationByte = 23;
inline constexpr uint8_t kSdrFullSensorRecord = 0x01;

// A slot's record ID (bytes 0-1, LS first).
uint16_t SdrRecordId(const uint8_t* record);

// The conversion factors of a full sensor record: M and B 10-bit two's
// complement (-512..511), the exponents K1 (B) and K2 (result) 4-bit two's
// complement (-8..7).
struct SdrFactors {
  int m;
  int b;
  int k1;
  int k2;
};
SdrFactors SdrConversionFactors(const uint8_t* record);

// The sensor name: the ID string's length in bits 4:0 of its type/length byte
// (byte 47), its bytes from byte 48 as 8-bit characters whatever the type bits
// say. Writes at most size - 1 characters and a NUL (size > 0); returns the
// name's length.
size_t SdrSensorName(const uint8_t* record, char* name, size_t size);
inline constexpr size_t kSdrSensorNameSize = 32;  // 31 characters and the NUL

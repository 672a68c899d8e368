// The BMC's Sensor Data Record repository, read whole into a process-wide
// table of raw records at most once per run (IPMI 2.0 section 33), and the
// fields of a full sensor record (IPMI 2.0 table 43-1) the listings read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transport/record_chain.hpp"

// Storage commands, NetFn 0Ah (IPMI 2.0 section 33).
inline constexpr uint8_t kCmdGetSdrRepositoryInfo = 0x20;
inline constexpr uint8_t kCmdReserveSdrRepository = 0x22;
inline constexpr uint8_t kCmdGetSdr = 0x23;

inline constexpr int kSdrSlotCount = 128;
inline constexpr size_t kSdrSlotSize = 256;

// The repository as one run reads it: at most once, never freed.
struct SdrRepository {
  // SdrRecordCount: the record count the BMC reported (Get SDR Repository Info
  // bytes 1-2).
  int32_t recordCount;
  // SdrReservationId: the Reserve SDR Repository reply; 0000h until a
  // reservation succeeded.
  uint16_t reservationId;
  // SdrRecordTable: slot i holds the i-th record read, from its record ID on;
  // bytes past the record stay 00h.
  uint8_t recordTable[kSdrSlotCount][kSdrSlotSize];

  // The records a reader may visit: recordCount bounded by the table.
  int VisibleRecordCount() const { return RecordsHeld(recordCount, kSdrSlotCount); }
};

// Each returns the completion code of its exchange and prints nothing. The
// repository information and the reservation are taken as they came: a short
// successful reply leaves its missing bytes 00h.
uint8_t GetSdrRepositoryInfo(SdrRepository& sdr);
uint8_t ReserveSdrRepository(SdrRepository& sdr);
// One whole-record Get SDR per record, chained by the next record IDs, until
// recordCount records are read or the table is full (kSdrSlotCount: a
// repository reporting more records gives the first kSdrSlotCount); the first
// non-zero completion code ends it, and a reply without the next record ID
// gives CEh.
uint8_t ReadSdrRecords(SdrRepository& sdr);

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

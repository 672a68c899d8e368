// The BMC's System Event Log as the tool reads it (IPMI 2.0 section 31): the
// SEL information, a reservation and every entry, read once per run; and the
// -sel info, del and raw commands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sel/sel_commands.hpp"
#include "transport/record_chain.hpp"

inline constexpr int kSelSlotCount = 1024;
inline constexpr size_t kSelEntrySize = 16;

// The log as one run reads it.
struct SelLog {
  SelInfo info;            // SelInfo: the last Get SEL Info reply
  uint16_t reservationId;  // SelReservationId: 0000h until a reservation succeeded
  // SelEntryCount: the entry count info reported when the entries were last read.
  int32_t entryCount;
  // SelEntryTable: slot i holds the i-th entry read, its 16 record bytes as the
  // BMC sent them.
  uint8_t entryTable[kSelSlotCount][kSelEntrySize];

  // The entries a reader may visit: entryCount bounded by the table.
  int VisibleEntryCount() const { return RecordsHeld(entryCount, kSelSlotCount); }
};

// Each returns the completion code of its last exchange and prints nothing.
// A Get SEL Info reply that ends before the erase timestamp gives CEh.
uint8_t GetSelInfo(SelLog& sel);
uint8_t ReserveSel(SelLog& sel);
// One whole-entry Get SEL Entry per entry, from record 0000h on, chained by the
// next record IDs, carrying the reservation; stops at the first non-zero
// completion code. Reads VisibleEntryCount() entries of the count info reports:
// a log reporting more than kSelSlotCount gives its first kSelSlotCount. A
// short reply leaves the missing bytes 00h; a longer one is taken up to the
// entry's 16th byte.
uint8_t ReadSelEntries(SelLog& sel);

// SEL record fields (byte offsets from the record ID).
inline constexpr size_t kSelTimestampByte = 3;
inline constexpr size_t kSelSensorTypeByte = 10;
inline constexpr size_t kSelSensorNumberByte = 11;
inline constexpr size_t kSelEventDirTypeByte = 12;
inline constexpr size_t kSelEventData1Byte = 13;
inline constexpr size_t kSelEventData2Byte = 14;
inline constexpr size_t kSelEventData3Byte = 15;

inline constexpr size_t kSelTimeTextSize = 32;
// A SEL timestamp as the information lines show it: "Pre-Init \n" below
// 20000000h (taken as signed, so every value with bit 31 set too), else the
// UTC instant as asctime writes it, ending in CR LF.
void SelTimeText(uint32_t timestamp, char* text, size_t size);

// The commands; each prints its result or one failure line and returns the
// exit status.
int ShowSelInfo(SelLog& sel);
int ClearSel(SelLog& sel);
int DumpSelRaw(SelLog& sel);

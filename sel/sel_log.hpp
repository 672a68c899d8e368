// The BMC's System Event Log as the tool reads it (IPMI 2.0 section 31): the
// SEL information, a reservation and every entry, read once per run into
// process-wide tables; and the -sel info, del and raw commands.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kSelSlotCount = 1024;
inline constexpr size_t kSelEntrySize = 16;
inline constexpr size_t kSelInfoSize = 14;

// The Get SEL Info reply data: version, entries (LS first), free space, most
// recent addition and erase timestamps, operation support.
extern uint8_t SelInfo[kSelInfoSize];
// The Reserve SEL reply as received (LS byte first); 0000h until a reservation
// succeeded.
extern uint8_t SelReservationId[2];
// The entry count SelInfo reported when the entries were last read.
extern int32_t SelEntryCount;
// Slot i holds the i-th entry read, its 16 record bytes as the BMC sent them.
extern uint8_t SelEntryTable[kSelSlotCount][kSelEntrySize];

// Each returns the completion code of its last exchange and prints nothing.
uint8_t GetSelInfo();
uint8_t ReserveSel();
// One whole-entry Get SEL Entry per entry, from record 0000h on, chained by the
// next record IDs, carrying SelReservationId; stops at the first non-zero
// completion code. Reads SelVisibleEntryCount() entries: a log reporting more
// than kSelSlotCount gives its first kSelSlotCount.
uint8_t ReadSelEntries();

// The entries a reader may visit: SelEntryCount bounded by the table, 0 when the
// count is 0 or less.
int SelVisibleEntryCount();

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
int ShowSelInfo();
int ClearSel();
int DumpSelRaw();

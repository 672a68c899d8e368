#include "sel/sel_log.hpp"

#include "sel/sel_commands.hpp"
#include "support/calendar.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/text.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

uint8_t SelInfo[kSelInfoSize];
uint8_t SelReservationId[2];
int32_t SelEntryCount;
uint8_t SelEntryTable[kSelSlotCount][kSelEntrySize];

namespace {

// Get SEL Info reply bytes the tool reads: through the most recent erase
// timestamp (byte 13, operation support, is not read).
constexpr uint32_t kSelInfoReadBytes = 13;
constexpr size_t kEntryCountByte = 1;
constexpr size_t kFreeSpaceByte = 3;
constexpr size_t kLastAddTimeByte = 5;
constexpr size_t kLastEraseTimeByte = 9;
// Reserve SEL reply: the reservation ID.
constexpr uint32_t kReservationBytes = 2;
// Get SEL Allocation Info reply: four 16-bit fields and the maximum record size.
constexpr uint32_t kAllocationInfoBytes = 9;
// Get SEL Entry reply: the next record ID, then the entry.
constexpr size_t kNextRecordIdBytes = 2;
constexpr uint8_t kReadWholeEntry = 0xFF;

// Timestamps below this count seconds since the BMC's initialisation, not since
// 1970 (IPMI 2.0 section 37.1).
constexpr int32_t kFirstAbsoluteTimestamp = 0x20000000;

constexpr const char* kWeekdayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

unsigned Le16(const uint8_t* bytes) { return bytes[0] | bytes[1] << 8u; }

uint32_t Le32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void PrintSelInfoLines() {
  char added[kSelTimeTextSize];
  char erased[kSelTimeTextSize];
  SelTimeText(Le32(SelInfo + kLastAddTimeByte), added, sizeof added);
  SelTimeText(Le32(SelInfo + kLastEraseTimeByte), erased, sizeof erased);
  Printf("# of log entries : %u\n", Le16(SelInfo + kEntryCountByte));
  Printf("Free Space       : %u bytes\n", Le16(SelInfo + kFreeSpaceByte));
  Printf("Most recent add  : %s", added);
  Printf("Most recent del  : %s", erased);
}

}  // namespace

uint8_t GetSelInfo() {
  uint8_t response[kKcsMaxResponseData] = {};
  uint32_t count = 0;
  const uint8_t cc = IpmiRequestForData(kNetFnStorage, kCmdGetSelInfo, {}, response, &count, kSelInfoReadBytes);
  if (cc == kCcSuccess) CopyBytes(SelInfo, response, kSelInfoSize);
  return cc;
}

uint8_t ReserveSel() {
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t cc = IpmiRequestForData(kNetFnStorage, kCmdReserveSel, {}, response, &count, kReservationBytes);
  if (cc == kCcSuccess) CopyBytes(SelReservationId, response, kReservationBytes);
  return cc;
}

uint8_t ReadSelEntries() {
  SelEntryCount = static_cast<int32_t>(Le16(SelInfo + kEntryCountByte));
  // Reservation, record ID (0000h: the first entry), offset 0, whole entry.
  uint8_t request[] = {SelReservationId[0], SelReservationId[1], 0x00, 0x00, 0x00, kReadWholeEntry};
  const int entries = SelVisibleEntryCount();
  for (int i = 0; i < entries; ++i) {
    // A reply shorter than the next record ID and 16 entry bytes leaves the
    // missing bytes zero; a longer one is taken up to its 18th byte.
    uint8_t response[kKcsMaxResponseData] = {};
    uint32_t count = 0;
    const uint8_t cc = IpmiRequest(kBmcSlaveAddress, kNetFnStorage, kCmdGetSelEntry, request, response, &count);
    if (cc != kCcSuccess) return cc;
    // The next record ID is sent as it came, FFFFh (the last entry) included.
    request[2] = response[0];
    request[3] = response[1];
    CopyBytes(SelEntryTable[i], response + kNextRecordIdBytes, kSelEntrySize);
  }
  return kCcSuccess;
}

int SelVisibleEntryCount() {
  if (SelEntryCount <= 0) return 0;
  return SelEntryCount < kSelSlotCount ? SelEntryCount : kSelSlotCount;
}

void SelTimeText(uint32_t timestamp, char* text, size_t size) {
  const int32_t seconds = static_cast<int32_t>(timestamp);
  if (seconds < kFirstAbsoluteTimestamp) {
    FormatString(text, size, "%s", "Pre-Init \n");
    return;
  }
  const DateTime t = DateTimeFromSeconds(seconds);
  FormatString(text, size, "%.3s %.3s%3u %02u:%02u:%02u %d\r\n", kWeekdayNames[t.weekday], kMonthNames[t.month - 1],
               t.day, t.hour, t.minute, t.second, static_cast<int>(t.year));
}

int ShowSelInfo() {
  uint8_t cc = GetSelInfo();
  if (cc != kCcSuccess) {
    Printf("Failed to get SEL info, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  PrintSelInfoLines();
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  cc = IpmiRequestForData(kNetFnStorage, kCmdGetSelAllocationInfo, {}, response, &count, kAllocationInfoBytes);
  if (cc != kCcSuccess) {
    Printf("Failed to get SEL allocation info, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  Printf("# of alloc units : %u\n", Le16(response));
  Printf("Alloc unit size  : %u bytes\n", Le16(response + 2));
  Printf("# free alloc unit: %u \n", Le16(response + 4));
  Printf("Largest free blk : %u \n", Le16(response + 6));
  Printf("Max record size  : %u \n", static_cast<unsigned>(response[8]));
  return kStatusSuccess;
}

int ClearSel() {
  uint8_t cc = ReserveSel();
  if (cc != kCcSuccess) {
    Printf("Failed to get reserve SEL, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  // The erase is started and not waited for: no progress request follows.
  const uint8_t request[] = {SelReservationId[0], SelReservationId[1], kClearSelC, kClearSelL, kClearSelR,
                             kClearSelInitiateErase};
  cc = IpmiCommand(kNetFnStorage, kCmdClearSel, request);
  if (cc != kCcSuccess) {
    Printf("Failed to clear SEL, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  Printf("Clear all SEL successfully.\n");
  return kStatusSuccess;
}

int DumpSelRaw() {
  uint8_t cc = GetSelInfo();
  if (cc != kCcSuccess) {
    Printf("Failed to get SEL info, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  cc = ReadSelEntries();
  if (cc != kCcSuccess) {
    // The message of the allocation request: a failing entry read is reported so.
    Printf("Failed to get SEL allocation info, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  const int entries = SelVisibleEntryCount();
  for (int k = 1; k <= entries; ++k) {
    // "SEL(nnnn) " and 16 times "XX ": 10 + 48 characters.
    char line[64];
    size_t length = static_cast<size_t>(FormatString(line, sizeof line, "SEL(%4d) ", k));
    for (size_t i = 0; i < kSelEntrySize && length < sizeof line; ++i) {
      length += static_cast<size_t>(FormatString(line + length, sizeof line - length, "%02X ", SelEntryTable[k - 1][i]));
    }
    Printf("%s\n", line);
  }
  return kStatusSuccess;
}

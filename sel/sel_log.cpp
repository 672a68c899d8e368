#include "sel/sel_log.hpp"

#include "support/bytes.hpp"
#include "support/calendar.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi.hpp"
#include "transport/record_chain.hpp"

namespace {

// A missing next record ID reads as 0000h: a short Get SEL Entry reply does
// not break the chain.
constexpr RecordChain kGetSelEntryChain = {kNetFnStorage, kCmdGetSelEntry, 0};

// Timestamps below this count seconds since the BMC's initialisation, not since
// 1970 (IPMI 2.0 section 37.1).
constexpr int32_t kFirstAbsoluteTimestamp = 0x20000000;

constexpr const char* kWeekdayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void PrintSelInfoLines(const SelInfo& info) {
  char added[kSelTimeTextSize];
  char erased[kSelTimeTextSize];
  SelTimeText(info.lastAddTime, added, sizeof added);
  SelTimeText(info.lastEraseTime, erased, sizeof erased);
  Printf("# of log entries : %u\n", info.entries);
  Printf("Free Space       : %u bytes\n", info.freeSpace);
  Printf("Most recent add  : %s", added);
  Printf("Most recent del  : %s", erased);
}

uint8_t GetSelAllocationInfo(SelAllocationInfo* info) {
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnStorage, kCmdGetSelAllocationInfo, {}, &reply);
  ByteReader reader = reply.Reader();
  *info = {reader.Le16(), reader.Le16(), reader.Le16(), reader.Le16(), reader.Byte()};
  return DecodedResult(cc, reader);
}

}  // namespace

uint8_t GetSelInfo(SelLog& sel) {
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnStorage, kCmdGetSelInfo, {}, &reply);
  ByteReader reader = reply.Reader();
  const SelInfo info = {reader.Byte(), reader.Le16(), reader.Le16(), reader.Le32(), reader.Le32()};
  const uint8_t result = DecodedResult(cc, reader);
  if (result == kCcSuccess) sel.info = info;
  return result;
}

uint8_t ReserveSel(SelLog& sel) {
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnStorage, kCmdReserveSel, {}, &reply);
  ByteReader reader = reply.Reader();
  const uint16_t reservation = reader.Le16();
  const uint8_t result = DecodedResult(cc, reader);
  if (result == kCcSuccess) sel.reservationId = reservation;
  return result;
}

uint8_t ReadSelEntries(SelLog& sel) {
  sel.entryCount = sel.info.entries;
  return ReadRecordChain(kGetSelEntryChain, sel.reservationId, sel.VisibleEntryCount(),
                         {&sel.entryTable[0][0], sizeof sel.entryTable}, kSelEntrySize);
}

void SelTimeText(uint32_t timestamp, char* text, size_t size) {
  const auto seconds = static_cast<int32_t>(timestamp);
  if (seconds < kFirstAbsoluteTimestamp) {
    FormatString(text, size, "%s", "Pre-Init \n");
    return;
  }
  const DateTime t = DateTimeFromSeconds(seconds);
  FormatString(text, size, "%.3s %.3s%3u %02u:%02u:%02u %d\r\n", kWeekdayNames[t.weekday], kMonthNames[t.month - 1],
               t.day, t.hour, t.minute, t.second, static_cast<int>(t.year));
}

int ShowSelInfo(SelLog& sel) {
  uint8_t cc = GetSelInfo(sel);
  if (cc != kCcSuccess) return ReportFailure("Failed to get SEL info", cc);
  PrintSelInfoLines(sel.info);
  SelAllocationInfo allocation;
  cc = GetSelAllocationInfo(&allocation);
  if (cc != kCcSuccess) return ReportFailure("Failed to get SEL allocation info", cc);
  Printf("# of alloc units : %u\n", allocation.units);
  Printf("Alloc unit size  : %u bytes\n", allocation.unitSize);
  Printf("# free alloc unit: %u \n", allocation.freeUnits);
  Printf("Largest free blk : %u \n", allocation.largestFreeBlock);
  Printf("Max record size  : %u \n", allocation.maxRecordSize);
  return kStatusSuccess;
}

int ClearSel(SelLog& sel) {
  uint8_t cc = ReserveSel(sel);
  if (cc != kCcSuccess) return ReportFailure("Failed to get reserve SEL", cc);
  // The erase is started and not waited for: no progress request follows.
  uint8_t request[] = {0x00, 0x00, kClearSelC, kClearSelL, kClearSelR, kClearSelInitiateErase};
  PutLe16(request, 0, sel.reservationId);
  cc = IpmiCommand(kNetFnStorage, kCmdClearSel, request);
  if (cc != kCcSuccess) return ReportFailure("Failed to clear SEL", cc);
  Printf("Clear all SEL successfully.\n");
  return kStatusSuccess;
}

int DumpSelRaw(SelLog& sel) {
  uint8_t cc = GetSelInfo(sel);
  if (cc != kCcSuccess) return ReportFailure("Failed to get SEL info", cc);
  cc = ReadSelEntries(sel);
  // The message of the allocation request: a failing entry read is reported so.
  if (cc != kCcSuccess) return ReportFailure("Failed to get SEL allocation info", cc);
  const int entries = sel.VisibleEntryCount();
  for (int k = 1; k <= entries; ++k) {
    // "SEL(nnnn) " and 16 times "XX ": 10 + 48 characters.
    char line[64];
    size_t length = static_cast<size_t>(FormatString(line, sizeof line, "SEL(%4d) ", k));
    for (size_t i = 0; i < kSelEntrySize && length < sizeof line; ++i) {
      length +=
          static_cast<size_t>(FormatString(line + length, sizeof line - length, "%02X ", sel.entryTable[k - 1][i]));
    }
    Printf("%s\n", line);
  }
  return kStatusSuccess;
}

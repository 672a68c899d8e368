// Reading a repository record by record, as Get SDR (IPMI 2.0 section 33.12)
// and Get SEL Entry (section 31.5) do: every request carries the reservation,
// the record ID the previous reply named (0000h, the first record, to start),
// offset 00h and FFh (the whole record); every reply the next record ID, then
// the record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct RecordChain {
  uint8_t netFn;
  uint8_t cmd;
  // A successful reply shorter than this breaks the chain with CEh; below it,
  // missing bytes read as 00h (a missing next record ID is 0000h).
  uint32_t minimumReply;
};

// The next record ID, then the record.
inline constexpr size_t kRecordChainIdBytes = 2;

// The records a reader may visit: the count a repository reported, bounded by
// the slots that hold them; 0 when the count is 0 or less.
constexpr int RecordsHeld(int32_t reported, int slots) {
  if (reported <= 0) return 0;
  return reported < slots ? reported : slots;
}

// Reads count records into consecutive slots of slotSize bytes: slot i holds
// the i-th record's bytes from its start, as far as the slot reaches, and 00h
// after them. The next record ID is sent on as it came (FFFFh, the end,
// included): exactly count requests go out. Stops at the first non-zero
// completion code and returns it; the slots read so far stay.
uint8_t ReadRecordChain(const RecordChain& chain, uint16_t reservation, int count, std::span<uint8_t> slots,
                        size_t slotSize);

#include "transport/record_chain.hpp"

#include "support/bytes.hpp"
#include "support/text.hpp"
#include "transport/ipmi.hpp"

namespace {

constexpr uint8_t kFromRecordStart = 0x00;
constexpr uint8_t kWholeRecord = 0xFF;

}  // namespace

uint8_t ReadRecordChain(const RecordChain& chain, uint16_t reservation, int count, std::span<uint8_t> slots,
                        size_t slotSize) {
  uint8_t request[] = {0x00, 0x00, 0x00, 0x00, kFromRecordStart, kWholeRecord};
  PutLe16(request, 0, reservation);  // record ID 0000h: the first record
  for (int i = 0; i < count && (static_cast<size_t>(i) + 1) * slotSize <= slots.size(); ++i) {
    IpmiResponse reply;
    const uint8_t cc = IpmiExchange(chain.netFn, chain.cmd, request, &reply);
    if (cc != kCcSuccess) return cc;
    if (reply.count < chain.minimumReply) return kCcResponseTooShort;
    ByteReader reader = reply.Reader();
    PutLe16(request, 2, reader.Le16());
    const std::span<const uint8_t> record = reader.Rest();
    const std::span<uint8_t> slot = slots.subspan(static_cast<size_t>(i) * slotSize, slotSize);
    const size_t kept = record.size() < slotSize ? record.size() : slotSize;
    CopyBytes(slot.data(), record.data(), kept);
    FillBytes(slot.data() + kept, 0, slotSize - kept);
  }
  return kCcSuccess;
}

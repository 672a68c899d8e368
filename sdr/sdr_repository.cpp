#include "sdr/sdr_repository.hpp"

#include "support/bytes.hpp"
#include "transport/ipmi.hpp"
#include "transport/record_chain.hpp"

namespace {

// Get SDR Repository Info reply: byte 0 SDR version, bytes 1-2 record count.
constexpr size_t kRecordCountByte = 1;

constexpr RecordChain kGetSdrChain = {kNetFnStorage, kCmdGetSdr, kRecordChainIdBytes};

constexpr size_t kIdStringTypeLengthByte = 47;
constexpr size_t kIdStringByte = 48;
constexpr uint8_t kIdStringLengthMask = 0x1F;

constexpr size_t kMByte = 24;
constexpr size_t kMHighByte = 25;
constexpr size_t kBByte = 26;
constexpr size_t kBHighByte = 27;
constexpr size_t kExponentsByte = 29;
constexpr unsigned kFactorHighShift = 6;  // bits 7:6 of the byte after
constexpr uint8_t kNibbleMask = 0x0F;
constexpr unsigned kNibbleBits = 4;

// A 10-bit two's-complement value from its low byte and bits 7:6 of the next.
int TenBitSigned(uint8_t low, uint8_t highBits) {
  const int value = low | (highBits >> kFactorHighShift) << kBitsPerByte;
  return value >= 512 ? value - 1024 : value;
}

int FourBitSigned(unsigned nibble) { return nibble >= 8 ? static_cast<int>(nibble) - 16 : static_cast<int>(nibble); }

}  // namespace

uint8_t GetSdrRepositoryInfo(SdrRepository& sdr) {
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnStorage, kCmdGetSdrRepositoryInfo, {}, &reply);
  if (cc == kCcSuccess) sdr.recordCount = Le16(reply.Data(), kRecordCountByte);
  return cc;
}

uint8_t ReserveSdrRepository(SdrRepository& sdr) {
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnStorage, kCmdReserveSdrRepository, {}, &reply);
  if (cc == kCcSuccess) sdr.reservationId = Le16(reply.Data());
  return cc;
}

uint8_t ReadSdrRecords(SdrRepository& sdr) {
  return ReadRecordChain(kGetSdrChain, sdr.reservationId, sdr.VisibleRecordCount(),
                         {&sdr.recordTable[0][0], sizeof sdr.recordTable}, kSdrSlotSize);
}

uint16_t SdrRecordId(const uint8_t* record) { return Le16({record, kSdrSlotSize}); }

SdrFactors SdrConversionFactors(const uint8_t* record) {
  return {TenBitSigned(record[kMByte], record[kMHighByte]), TenBitSigned(record[kBByte], record[kBHighByte]),
          FourBitSigned(record[kExponentsByte] & kNibbleMask), FourBitSigned(record[kExponentsByte] >> kNibbleBits)};
}

size_t SdrSensorName(const uint8_t* record, char* name, size_t size) {
  size_t length = record[kIdStringTypeLengthByte] & kIdStringLengthMask;
  if (length > size - 1) length = size - 1;
  for (size_t i = 0; i < length; ++i) name[i] = static_cast<char>(record[kIdStringByte + i]);
  name[length] = '\0';
  return length;
}

#include "sdr/sdr_repository.hpp"

#include "support/text.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

int32_t SdrRecordCount;
uint8_t SdrReservationId[2];
uint8_t SdrRecordTable[kSdrSlotCount][kSdrSlotSize];

namespace {

// Reserve SDR Repository reply: the reservation ID.
constexpr uint32_t kReservationBytes = 2;
// Get SDR reply: the next record ID, then the record bytes.
constexpr uint32_t kNextRecordIdBytes = 2;
constexpr uint8_t kReadWholeRecord = 0xFF;

constexpr size_t kIdStringTypeLengthByte = 47;
constexpr size_t kIdStringByte = 48;
constexpr uint8_t kIdStringLengthMask = 0x1F;

constexpr size_t kMByte = 24;
constexpr size_t kMHighByte = 25;
constexpr size_t kBByte = 26;
constexpr size_t kBHighByte = 27;
constexpr size_t kExponentsByte = 29;

// A 10-bit two's-complement value from its low byte and bits 7:6 of the next.
int TenBitSigned(uint8_t low, uint8_t highBits) {
  const int value = low + 256 * (highBits >> 6);
  return value >= 512 ? value - 1024 : value;
}

int FourBitSigned(unsigned nibble) { return nibble >= 8 ? static_cast<int>(nibble) - 16 : static_cast<int>(nibble); }

}  // namespace

// The repository information and the reservation are taken as they came: a
// short successful reply leaves its missing bytes 00h (no record count, a
// reservation of 0000h), and the loading goes on.
uint8_t GetSdrRepositoryInfo() {
  uint8_t response[kKcsMaxResponseData] = {};
  uint32_t count = 0;
  const uint8_t cc = IpmiRequest(kBmcSlaveAddress, kNetFnStorage, kCmdGetSdrRepositoryInfo, {}, response, &count);
  if (cc == kCcSuccess) SdrRecordCount = response[1] + 256 * response[2];
  return cc;
}

uint8_t ReserveSdrRepository() {
  uint8_t response[kKcsMaxResponseData] = {};
  uint32_t count = 0;
  const uint8_t cc = IpmiRequest(kBmcSlaveAddress, kNetFnStorage, kCmdReserveSdrRepository, {}, response, &count);
  if (cc == kCcSuccess) CopyBytes(SdrReservationId, response, kReservationBytes);
  return cc;
}

uint8_t ReadSdrRecords() {
  // Reservation, record ID (0000h: the first record), offset 0, whole record.
  uint8_t request[] = {SdrReservationId[0], SdrReservationId[1], 0x00, 0x00, 0x00, kReadWholeRecord};
  const int records = SdrVisibleRecordCount();
  for (int i = 0; i < records; ++i) {
    // Room for the longest reply: the next record ID and 195 record bytes,
    // which always fit a slot.
    uint8_t response[kKcsMaxResponseData];
    uint32_t count = 0;
    // A reply without the next record ID cannot be chained: CEh.
    const uint8_t cc = IpmiRequestForData(kNetFnStorage, kCmdGetSdr, request, response, &count, kNextRecordIdBytes);
    if (cc != kCcSuccess) return cc;
    // The next record ID is sent as it came, FFFFh (the end) included.
    request[2] = response[0];
    request[3] = response[1];
    CopyBytes(SdrRecordTable[i], response + kNextRecordIdBytes, count - kNextRecordIdBytes);
  }
  return kCcSuccess;
}

int SdrVisibleRecordCount() {
  if (SdrRecordCount <= 0) return 0;
  return SdrRecordCount < kSdrSlotCount ? SdrRecordCount : kSdrSlotCount;
}

uint16_t SdrRecordId(const uint8_t* record) { return static_cast<uint16_t>(record[0] | record[1] << 8); }

SdrFactors SdrConversionFactors(const uint8_t* record) {
  return {TenBitSigned(record[kMByte], record[kMHighByte]), TenBitSigned(record[kBByte], record[kBHighByte]),
          FourBitSigned(record[kExponentsByte] & 0x0Fu), FourBitSigned(record[kExponentsByte] >> 4)};
}

size_t SdrSensorName(const uint8_t* record, char* name, size_t size) {
  size_t length = record[kIdStringTypeLengthByte] & kIdStringLengthMask;
  if (length > size - 1) length = size - 1;
  for (size_t i = 0; i < length; ++i) name[i] = static_cast<char>(record[kIdStringByte + i]);
  name[length] = '\0';
  return length;
}

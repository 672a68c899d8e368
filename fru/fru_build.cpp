#include "fru/fru_build.hpp"

#include "fru/fru_layout.hpp"
#include "fru/fru_model.hpp"
#include "support/text.hpp"

namespace {

constexpr uint8_t kByteMask = 0xFF;

// The longest image the store can describe fits WriteImage: header, the
// largest internal use area, the three info areas at their largest (every
// field of 63 bytes, full custom bytes, marker, pad and checksum) and a full
// multirecord table with its closing byte.
constexpr size_t LargestInfoArea(size_t fixedBytes, size_t fields) {
  return fixedBytes + fields * kFruTextCapacity + kFruCustomCapacity + 1 + kFruUnitBytes;
}
static_assert(kFruHeaderBytes + kFruImageCapacity + kFruUnitBytes +
                      LargestInfoArea(kChassisFirstField, kChassisFieldCount) +
                      LargestInfoArea(kBoardFirstField, kBoardFieldCount) +
                      LargestInfoArea(kProductFirstField, kProductFieldCount) +
                      kMultiRecordCapacity * kMultiRecordEntryBytes + 1 <=
                  kWriteImageCapacity,
              "every image the store can describe fits WriteImage");

// Appends to WriteImage, never past its end.
struct ImageWriter {
  size_t position;

  void Put(uint8_t byte) {
    if (position < kWriteImageCapacity) WriteImage[position] = byte;
    ++position;
  }
  void PutBytes(const void* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) Put(static_cast<const uint8_t*>(bytes)[i]);
  }
  void PutField(const FruTextField& field) {
    Put(field.typeLength);
    PutBytes(field.text, field.typeLength & kTypeLengthLengthMask);
  }
  void PutCustom(const FruCustomBytes& custom) { PutBytes(custom.bytes, custom.count); }

  // Version, and the length byte filled in by FinishArea.
  size_t BeginArea() {
    const size_t start = position;
    Put(kFruFormatVersion);
    Put(0);
    return start;
  }
  // End marker, 00h pad up to a whole number of units with the checksum as the
  // last byte, the length in units, the zero checksum.
  void FinishArea(size_t start) {
    Put(kTypeLengthEndOfFields);
    while ((position - start + 1) % kFruUnitBytes != 0) Put(0);
    if (position >= kWriteImageCapacity) return;
    WriteImage[start + kAreaLength] = static_cast<uint8_t>((position + 1 - start) / kFruUnitBytes);
    Put(ZeroChecksum(start, position));
  }
  static uint8_t ZeroChecksum(size_t from, size_t to) {
    unsigned sum = 0;
    for (size_t i = from; i < to; ++i) sum += WriteImage[i];
    return static_cast<uint8_t>((0u - sum) & kByteMask);
  }
};

void PutChassis(ImageWriter& w) {
  const FruFieldSet& s = FruFieldStore;
  const size_t start = w.BeginArea();
  w.Put(s.chassisType);
  for (const FruTextField& field : s.chassis) w.PutField(field);
  w.PutCustom(s.chassisCustom);
  w.FinishArea(start);
}

void PutBoard(ImageWriter& w) {
  const FruFieldSet& s = FruFieldStore;
  const size_t start = w.BeginArea();
  w.Put(kFruLanguageWritten);
  w.PutBytes(s.boardDate, kFruDateBytes);
  for (size_t i = 0; i < kBoardNamedFields; ++i) w.PutField(s.board[i]);
  // Under -fru1 every board carries its version field, C0h when it is empty.
  if (fru1Mode) w.PutField(s.board[kBoardVersion]);
  w.PutCustom(s.boardCustom);
  w.FinishArea(start);
}

void PutProduct(ImageWriter& w) {
  const FruFieldSet& s = FruFieldStore;
  const size_t start = w.BeginArea();
  w.Put(kFruLanguageWritten);
  for (const FruTextField& field : s.product) w.PutField(field);
  w.PutCustom(s.productCustom);
  w.FinishArea(start);
}

// The records as read (checksums and end-of-list bit included), then one 00h.
void PutMultiRecords(ImageWriter& w) {
  for (size_t i = 0; i < MultiRecordCount; ++i) {
    const uint8_t* entry = MultiRecordTable[i];
    const size_t length = entry[kMultiRecordLength];
    w.PutBytes(entry, kMultiRecordHeaderBytes + (length < kMultiRecordDataCapacity ? length : kMultiRecordDataCapacity));
  }
  w.Put(0);
}

}  // namespace

uint8_t WriteImage[kWriteImageCapacity];
int32_t WriteImageLength;

bool BuildFruImage() {
  FillBytes(WriteImage, 0, sizeof WriteImage);
  WriteImageLength = 0;
  const FruFieldSet& s = FruFieldStore;
  ImageWriter w{kFruHeaderBytes};
  uint8_t header[kFruHeaderBytes] = {kFruFormatVersion};
  bool offsetsFit = true;
  // Each present area's start, in units, into its header byte.
  auto place = [&](size_t headerByte, void (*put)(ImageWriter&)) {
    const size_t unit = w.position / kFruUnitBytes;
    if (unit > kFruMaxUnits) offsetsFit = false;
    header[headerByte] = static_cast<uint8_t>(unit);
    put(w);
  };

  if (s.hasInternalUse) {
    header[kHeaderInternalUseOffset] = static_cast<uint8_t>(w.position / kFruUnitBytes);
    w.PutBytes(InternalUseBytes, InternalUseLength);
    // Whole units when another area follows, so that it starts on a unit.
    if (s.hasChassis || s.hasBoard || s.hasProduct || s.hasMultiRecord) {
      while (w.position % kFruUnitBytes != 0) w.Put(0);
    }
  }
  if (s.hasChassis) place(kHeaderChassisOffset, PutChassis);
  if (s.hasBoard) place(kHeaderBoardOffset, PutBoard);
  if (s.hasProduct) place(kHeaderProductOffset, PutProduct);
  if (s.hasMultiRecord) place(kHeaderMultiRecordOffset, PutMultiRecords);

  unsigned sum = 0;
  for (size_t i = 0; i < kHeaderChecksum; ++i) sum += header[i];
  header[kHeaderChecksum] = static_cast<uint8_t>((0u - sum) & kByteMask);
  CopyBytes(WriteImage, header, sizeof header);
  if (!offsetsFit || w.position > kWriteImageCapacity) return false;
  WriteImageLength = static_cast<int32_t>(w.position);
  return true;
}

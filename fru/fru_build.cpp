#include "fru/fru_build.hpp"

#include "fru/fru_layout.hpp"
#include "support/bytes.hpp"
#include "support/text.hpp"

namespace {

// The longest image the store can describe fits the buffer: header, the
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
              "every image the store can describe fits the write image");

// Appends to the image, never past its end.
class ImageWriter {
 public:
  explicit ImageWriter(WriteImage* image) : bytes_(image->bytes) {}

  size_t Position() const { return position_; }
  void Put(uint8_t byte) {
    if (position_ < bytes_.size()) bytes_[position_] = byte;
    ++position_;
  }
  void PutBytes(std::span<const uint8_t> bytes) {
    for (uint8_t byte : bytes) Put(byte);
  }
  void PutField(const FruTextField& field) {
    Put(field.typeLength);
    PutBytes(
        {reinterpret_cast<const uint8_t*>(field.text), static_cast<size_t>(field.typeLength & kTypeLengthLengthMask)});
  }
  void PutCustom(const FruCustomBytes& custom) { PutBytes({custom.bytes, custom.count}); }
  void PadToUnit() {
    while (position_ % kFruUnitBytes != 0) Put(0);
  }

  // Version, and the length byte filled in by FinishArea.
  size_t BeginArea() {
    const size_t start = position_;
    Put(kFruFormatVersion);
    Put(0);
    return start;
  }
  // End marker, 00h pad up to a whole number of units with the checksum as the
  // last byte, the length in units, the zero checksum.
  void FinishArea(size_t start) {
    Put(kTypeLengthEndOfFields);
    while ((position_ - start + 1) % kFruUnitBytes != 0) Put(0);
    if (position_ >= bytes_.size()) return;
    bytes_[start + kAreaLength] = static_cast<uint8_t>((position_ + 1 - start) / kFruUnitBytes);
    Put(ZeroChecksum(bytes_.subspan(start, position_ - start)));
  }

  static uint8_t ZeroChecksum(std::span<const uint8_t> bytes) {
    unsigned sum = 0;
    for (uint8_t byte : bytes) sum += byte;
    return static_cast<uint8_t>((0u - sum) & kByteMask);
  }

 private:
  std::span<uint8_t> bytes_;
  size_t position_ = 0;
};

void PutChassis(ImageWriter& w, const FruFieldSet& s) {
  const size_t start = w.BeginArea();
  w.Put(s.chassisType);
  for (const FruTextField& field : s.chassis) w.PutField(field);
  w.PutCustom(s.chassisCustom);
  w.FinishArea(start);
}

void PutBoard(ImageWriter& w, const FruFieldSet& s, bool fru1Mode) {
  const size_t start = w.BeginArea();
  w.Put(kFruLanguageWritten);
  w.PutBytes(s.boardDate);
  for (size_t i = 0; i < kBoardNamedFields; ++i) w.PutField(s.board[i]);
  // Under -fru1 every board carries its version field, C0h when it is empty.
  if (fru1Mode) w.PutField(s.board[kBoardVersion]);
  w.PutCustom(s.boardCustom);
  w.FinishArea(start);
}

void PutProduct(ImageWriter& w, const FruFieldSet& s) {
  const size_t start = w.BeginArea();
  w.Put(kFruLanguageWritten);
  for (const FruTextField& field : s.product) w.PutField(field);
  w.PutCustom(s.productCustom);
  w.FinishArea(start);
}

// The records as read (checksums and end-of-list bit included), then one 00h.
void PutMultiRecords(ImageWriter& w, const FruFieldSet& s) {
  for (size_t i = 0; i < s.multiRecordCount; ++i) {
    const uint8_t* entry = s.multiRecordTable[i];
    const size_t length = entry[kMultiRecordLength];
    w.PutBytes(
        {entry, kMultiRecordHeaderBytes + (length < kMultiRecordDataCapacity ? length : kMultiRecordDataCapacity)});
  }
  w.Put(0);
}

}  // namespace

bool BuildFruImage(const FruFieldSet& s, bool fru1Mode, WriteImage* image) {
  FillBytes(image->bytes, 0, sizeof image->bytes);
  image->length = 0;
  ImageWriter w(image);
  uint8_t header[kFruHeaderBytes] = {kFruFormatVersion};
  for (size_t i = 0; i < kFruHeaderBytes; ++i) w.Put(0);
  bool offsetsFit = true;
  // Each present area's start, in units, into its header byte.
  auto place = [&](size_t headerByte) {
    const size_t unit = w.Position() / kFruUnitBytes;
    if (unit > kFruMaxUnits) offsetsFit = false;
    header[headerByte] = static_cast<uint8_t>(unit);
  };

  if (s.hasInternalUse) {
    place(kHeaderInternalUseOffset);
    w.PutBytes({s.internalUseBytes, s.internalUseLength});
    // Whole units when another area follows, so that it starts on a unit.
    if (s.hasChassis || s.hasBoard || s.hasProduct || s.hasMultiRecord) w.PadToUnit();
  }
  if (s.hasChassis) {
    place(kHeaderChassisOffset);
    PutChassis(w, s);
  }
  if (s.hasBoard) {
    place(kHeaderBoardOffset);
    PutBoard(w, s, fru1Mode);
  }
  if (s.hasProduct) {
    place(kHeaderProductOffset);
    PutProduct(w, s);
  }
  if (s.hasMultiRecord) {
    place(kHeaderMultiRecordOffset);
    PutMultiRecords(w, s);
  }

  header[kHeaderChecksum] = ImageWriter::ZeroChecksum({header, kHeaderChecksum});
  CopyBytes(image->bytes, header, sizeof header);
  if (!offsetsFit || w.Position() > kWriteImageCapacity) return false;
  image->length = static_cast<int32_t>(w.Position());
  return true;
}

// Decoding the FRU image. Every byte is read through At(), which gives 00h for
// positions beyond the FRU bytes held, so no header offset, length or
// type/length byte can lead a read outside the image; whatever the decode could
// not hold whole is noted as the store's fault, which the write path refuses
// to rebuild from.
#include "fru/fru_model.hpp"

#include "support/bytes.hpp"
#include "support/calendar.hpp"
#include "support/format.hpp"
#include "support/text.hpp"

namespace {

constexpr int64_t kFruDateEpochYear = 1996;
constexpr int64_t kMinutesPerDay = 24 * 60;
constexpr int64_t kSecondsPerMinute = 60;

constexpr const char* kAreaNames[] = {"internal use", "chassis", "board", "product", "multirecord"};

void ClearField(FruTextField* field) {
  field->text[0] = '\0';
  field->typeLength = kTypeLength8BitText;
}

class Decoder {
 public:
  Decoder(const FruImage& image, bool fru1Mode, FruFieldSet* store)
      : held_(image.Held()), fru1Mode_(fru1Mode), s_(*store) {}

  void Decode(const FruImage& image);

 private:
  uint8_t At(size_t position) const { return position < held_.size() ? held_[position] : 0; }

  void NoteFault(FruModelFault fault, FruArea area) {
    if (s_.fault != FruModelFault::None) return;
    s_.fault = fault;
    s_.faultArea = area;
  }

  // The field whose type/length byte is at *position; *position moves past it.
  void DecodeField(size_t* position, FruTextField* field) const {
    const uint8_t typeLength = At(*position);
    const size_t length = typeLength & kTypeLengthLengthMask;
    field->typeLength = typeLength;
    for (size_t i = 0; i < length; ++i) field->text[i] = static_cast<char>(At(*position + 1 + i));
    field->text[length] = '\0';
    *position += 1 + length;
  }
  void DecodeFields(size_t* position, FruTextField* fields, size_t count) const {
    for (size_t i = 0; i < count; ++i) DecodeField(position, &fields[i]);
  }

  size_t AreaRoomEnd(size_t start) const;
  bool EndsFieldsWithin(size_t marker, size_t roomEnd) const;
  size_t FindEndMarker(size_t first, size_t roomEnd) const;
  void DecodeCustom(FruArea area, size_t start, size_t position, FruCustomBytes* custom);
  void DecodeInternalUse(size_t start);
  void DecodeChassis(size_t start);
  void DecodeBoard(size_t start);
  void DecodeProduct(size_t start);
  void DecodeMultiRecords(size_t position);

  std::span<const uint8_t> held_;
  bool fru1Mode_;
  FruFieldSet& s_;
};

// Where the area starting at start may reach: the next area present, or the
// end of the FRU bytes held. An area's own length byte is not trusted (the
// rebuild writes a fresh one), so a length byte one unit off does not lose the
// area.
size_t Decoder::AreaRoomEnd(size_t start) const {
  size_t end = held_.size();
  for (size_t header = kHeaderInternalUseOffset; header <= kHeaderMultiRecordOffset; ++header) {
    const size_t other = At(header) * kFruUnitBytes;
    if (other > start && other < end) end = other;
  }
  return end;
}

// An end marker must leave room for the area's checksum after it.
bool Decoder::EndsFieldsWithin(size_t marker, size_t roomEnd) const {
  return marker + 1 < roomEnd && At(marker) == kTypeLengthEndOfFields;
}

// The end marker of the custom part that starts at first: the C1h that walking
// the custom fields by their type/length bytes lands on (so a C1h byte inside
// a field does not end the area), or, when the walk lands on none within the
// area's room, the first C1h byte. roomEnd when there is none.
size_t Decoder::FindEndMarker(size_t first, size_t roomEnd) const {
  size_t walk = first;
  while (walk < roomEnd && !EndsFieldsWithin(walk, roomEnd)) walk += 1 + (At(walk) & kTypeLengthLengthMask);
  if (walk < roomEnd) return walk;
  size_t scan = first;
  while (scan < roomEnd && !EndsFieldsWithin(scan, roomEnd)) ++scan;
  return scan;
}

// The custom fields of the area at start, from position to its end marker.
void Decoder::DecodeCustom(FruArea area, size_t start, size_t position, FruCustomBytes* custom) {
  const size_t roomEnd = AreaRoomEnd(start);
  // Fields that fill the area's room, or an end marker with no room left for
  // the checksum after it: the area runs into the next one or past the FRU.
  const FruModelFault overrun = roomEnd == held_.size() ? FruModelFault::AreaPastEnd : FruModelFault::AreaOverlap;
  custom->count = 0;
  if (start >= held_.size()) NoteFault(FruModelFault::AreaPastEnd, area);
  if (position >= roomEnd) {
    NoteFault(overrun, area);
    return;
  }
  const size_t marker = FindEndMarker(position, roomEnd);
  if (marker >= roomEnd) {
    NoteFault(At(roomEnd - 1) == kTypeLengthEndOfFields ? overrun : FruModelFault::MissingEndMarker, area);
    return;
  }
  size_t count = marker - position;
  if (count > kFruCustomCapacity) {
    NoteFault(FruModelFault::CustomTooLong, area);
    count = kFruCustomCapacity;
  }
  custom->count = static_cast<uint8_t>(count);
  for (size_t i = 0; i < count; ++i) custom->bytes[i] = At(position + i);
}

// The internal use area runs from its offset to the next area present, or to
// the end of the FRU when none follows.
void Decoder::DecodeInternalUse(size_t start) {
  const size_t end = AreaRoomEnd(start);
  if (start >= held_.size()) NoteFault(FruModelFault::AreaPastEnd, FruArea::InternalUse);
  s_.internalUseLength = end > start ? end - start : 0;
  // At least one unit is copied for the listing, which shows bytes 1 to 7.
  const size_t copied = s_.internalUseLength > kFruUnitBytes ? s_.internalUseLength : kFruUnitBytes;
  for (size_t i = 0; i < copied; ++i) s_.internalUseBytes[i] = At(start + i);
}

void Decoder::DecodeChassis(size_t start) {
  s_.chassisType = At(start + kChassisType);
  size_t position = start + kChassisFirstField;
  DecodeFields(&position, s_.chassis, kChassisFieldCount);
  DecodeCustom(FruArea::Chassis, start, position, &s_.chassisCustom);
}

void Decoder::DecodeBoard(size_t start) {
  for (size_t i = 0; i < kFruDateBytes; ++i) s_.boardDate[i] = At(start + kBoardDate + i);
  size_t position = start + kBoardFirstField;
  DecodeFields(&position, s_.board, kBoardNamedFields);
  // Under -fru1 the first custom field is the board version; the custom fields
  // after it are kept as they are. A board without one (C1h at once) reads it
  // as empty: the byte after C1h is its pad or checksum, never a version.
  if (fru1Mode_ && position < held_.size() && At(position) != kTypeLengthEndOfFields) {
    DecodeField(&position, &s_.board[kBoardVersion]);
  }
  DecodeCustom(FruArea::Board, start, position, &s_.boardCustom);
}

void Decoder::DecodeProduct(size_t start) {
  size_t position = start + kProductFirstField;
  DecodeFields(&position, s_.product, kProductFieldCount);
  DecodeCustom(FruArea::Product, start, position, &s_.productCustom);
}

void Decoder::DecodeMultiRecords(size_t position) {
  if (position >= held_.size()) NoteFault(FruModelFault::AreaPastEnd, FruArea::MultiRecord);
  for (;;) {
    if (s_.multiRecordCount == kMultiRecordCapacity) {
      NoteFault(FruModelFault::TooManyMultiRecords, FruArea::MultiRecord);
      return;
    }
    if (position + kMultiRecordHeaderBytes > held_.size()) {
      NoteFault(FruModelFault::AreaPastEnd, FruArea::MultiRecord);
      return;
    }
    uint8_t* entry = s_.multiRecordTable[s_.multiRecordCount];
    const size_t length = At(position + kMultiRecordLength);
    if (length > kMultiRecordDataCapacity) NoteFault(FruModelFault::MultiRecordTooLong, FruArea::MultiRecord);
    if (position + kMultiRecordHeaderBytes + length > held_.size()) {
      NoteFault(FruModelFault::AreaPastEnd, FruArea::MultiRecord);
    }
    const size_t kept =
        kMultiRecordHeaderBytes + (length < kMultiRecordDataCapacity ? length : kMultiRecordDataCapacity);
    for (size_t i = 0; i < kept; ++i) entry[i] = At(position + i);
    ++s_.multiRecordCount;
    if ((entry[kMultiRecordFlags] & kMultiRecordEndOfList) != 0) return;
    position += kMultiRecordHeaderBytes + length;
  }
}

void Decoder::Decode(const FruImage& image) {
  FillBytes(&s_, 0, sizeof s_);
  s_.chassisType = kChassisTypeUnknown;
  for (FruTextField& field : s_.chassis) ClearField(&field);
  for (FruTextField& field : s_.board) ClearField(&field);
  for (FruTextField& field : s_.product) ClearField(&field);
  // Faults of the FRU as a whole name no area.
  if (image.size > static_cast<int32_t>(kFruImageCapacity)) NoteFault(FruModelFault::FruTooLarge, FruArea::InternalUse);
  if (image.shortReply) NoteFault(FruModelFault::ShortReply, FruArea::InternalUse);

  if (const uint8_t unit = At(kHeaderInternalUseOffset); unit != 0) {
    s_.hasInternalUse = true;
    DecodeInternalUse(unit * kFruUnitBytes);
  }
  if (const uint8_t unit = At(kHeaderChassisOffset); unit != 0) {
    s_.hasChassis = true;
    DecodeChassis(unit * kFruUnitBytes);
  }
  if (const uint8_t unit = At(kHeaderBoardOffset); unit != 0) {
    s_.hasBoard = true;
    DecodeBoard(unit * kFruUnitBytes);
  }
  if (const uint8_t unit = At(kHeaderProductOffset); unit != 0) {
    s_.hasProduct = true;
    DecodeProduct(unit * kFruUnitBytes);
  }
  if (const uint8_t unit = At(kHeaderMultiRecordOffset); unit != 0) {
    s_.hasMultiRecord = true;
    DecodeMultiRecords(unit * kFruUnitBytes);
  }
}

}  // namespace

void DecodeFruImage(const FruImage& image, bool fru1Mode, FruFieldSet* store) {
  Decoder(image, fru1Mode, store).Decode(image);
}

void DescribeFruModelFault(const FruFieldSet& store, char* text, size_t size) {
  const char* area = kAreaNames[static_cast<size_t>(store.faultArea)];
  switch (store.fault) {
    case FruModelFault::None:
      FormatString(text, size, "the FRU data are whole");
      return;
    case FruModelFault::FruTooLarge:
      FormatString(text, size, "the FRU is larger than %zu bytes", kFruImageCapacity);
      return;
    case FruModelFault::ShortReply:
      FormatString(text, size, "the BMC returned fewer FRU bytes than asked");
      return;
    case FruModelFault::AreaPastEnd:
      FormatString(text, size, "the %s area reaches past the end of the FRU", area);
      return;
    case FruModelFault::AreaOverlap:
      FormatString(text, size, "the %s area runs into the next area", area);
      return;
    case FruModelFault::MissingEndMarker:
      FormatString(text, size, "the %s area has no end marker C1h", area);
      return;
    case FruModelFault::CustomTooLong:
      FormatString(text, size, "the %s area has custom fields of more than %zu bytes", area, kFruCustomCapacity);
      return;
    case FruModelFault::MultiRecordTooLong:
      FormatString(text, size, "a multirecord has more than %zu data bytes", kMultiRecordDataCapacity);
      return;
    case FruModelFault::TooManyMultiRecords:
      FormatString(text, size, "the multirecord area has more than %zu records", kMultiRecordCapacity);
      return;
  }
}

FruTextField& TextFieldOf(FruFieldSet& store, FruArea area, uint8_t index) {
  return area == FruArea::Chassis ? store.chassis[index]
         : area == FruArea::Board ? store.board[index]
                                  : store.product[index];
}

const FruTextField& TextFieldOf(const FruFieldSet& store, FruArea area, uint8_t index) {
  return TextFieldOf(const_cast<FruFieldSet&>(store), area, index);
}

void FormatFruDate(const uint8_t date[kFruDateBytes], char* out, size_t size) {
  const int64_t minutes = Le24({date, kFruDateBytes});
  const int64_t epochMinutes = DaysFromCivil(kFruDateEpochYear, 1, 1) * kMinutesPerDay;
  const DateTime t = DateTimeFromSeconds((epochMinutes + minutes) * kSecondsPerMinute);
  FormatString(out, size, "%4d/%02d/%02d %02d:%02d:%02d", static_cast<int>(t.year), static_cast<int>(t.month),
               static_cast<int>(t.day), static_cast<int>(t.hour), static_cast<int>(t.minute),
               static_cast<int>(t.second));
}

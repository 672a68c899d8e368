// Decoding the FRU image. Every byte is read through At(), which gives 00h for
// positions beyond the FRU bytes held, so no header offset, length or type/length
// byte can lead a read outside FruImage; whatever the decode could not hold
// whole is noted in FruParseFault, which the write path refuses to rebuild from.
#include "fru/fru_model.hpp"

#include "fru/fru_display.hpp"
#include "support/calendar.hpp"
#include "support/format.hpp"
#include "support/text.hpp"

namespace {

constexpr int64_t kFruDateEpochYear = 1996;
constexpr int64_t kMinutesPerDay = 24 * 60;
constexpr int64_t kSecondsPerMinute = 60;
constexpr unsigned kByteBits = 8;

struct FaultText {
  FruModelFault fault;
  bool namesArea;  // the text follows "the <area> area"
  const char* text;
};
constexpr FaultText kFaultTexts[] = {
    {FruModelFault::None, false, "the FRU data are whole"},
    {FruModelFault::FruTooLarge, false, "the FRU is larger than 4096 bytes"},
    {FruModelFault::ShortReply, false, "the BMC returned fewer FRU bytes than asked"},
    {FruModelFault::AreaPastEnd, true, "reaches past the end of the FRU"},
    {FruModelFault::AreaOverlap, true, "runs into the next area"},
    {FruModelFault::MissingEndMarker, true, "has no end marker C1h"},
    {FruModelFault::CustomTooLong, true, "has custom fields of more than 128 bytes"},
    {FruModelFault::MultiRecordTooLong, false, "a multirecord has more than 64 data bytes"},
    {FruModelFault::TooManyMultiRecords, false, "the multirecord area has more than 32 records"},
};

constexpr const char* kAreaNames[] = {"internal use", "chassis", "board", "product", "multirecord"};

size_t ImageLimit;  // FRU bytes held by the current parse

uint8_t At(size_t position) { return position < ImageLimit ? FruImage[position] : 0; }

void NoteFault(FruModelFault fault, FruArea area) {
  if (FruParseFault != FruModelFault::None) return;
  FruParseFault = fault;
  FruParseFaultArea = area;
}
// A fault of the FRU as a whole.
void NoteFault(FruModelFault fault) { NoteFault(fault, FruArea::InternalUse); }

void ClearField(FruTextField* field) {
  field->text[0] = '\0';
  field->typeLength = kTypeLength8BitText;
}

// The field whose type/length byte is at *position; *position moves past it.
void DecodeField(size_t* position, FruTextField* field) {
  const uint8_t typeLength = At(*position);
  const size_t length = typeLength & kTypeLengthLengthMask;
  field->typeLength = typeLength;
  for (size_t i = 0; i < length; ++i) field->text[i] = static_cast<char>(At(*position + 1 + i));
  field->text[length] = '\0';
  *position += 1 + length;
}

// Where the area starting at start may reach: the next area present, or the
// end of the FRU bytes held. An area's own length byte is not trusted (the
// rebuild writes a fresh one), so a length byte one unit off does not lose the
// area.
size_t AreaRoomEnd(size_t start) {
  size_t end = ImageLimit;
  for (size_t header = kHeaderInternalUseOffset; header <= kHeaderMultiRecordOffset; ++header) {
    const size_t other = At(header) * kFruUnitBytes;
    if (other > start && other < end) end = other;
  }
  return end;
}

// An end marker must leave room for the area's checksum after it.
bool EndsFieldsWithin(size_t marker, size_t roomEnd) {
  return marker + 1 < roomEnd && At(marker) == kTypeLengthEndOfFields;
}

// The end marker of the custom part that starts at first: the C1h that walking
// the custom fields by their type/length bytes lands on (so a C1h byte inside
// a field does not end the area), or, when the walk lands on none within the
// area's room, the first C1h byte. roomEnd when there is none.
size_t FindEndMarker(size_t first, size_t roomEnd) {
  size_t walk = first;
  while (walk < roomEnd && !EndsFieldsWithin(walk, roomEnd)) walk += 1 + (At(walk) & kTypeLengthLengthMask);
  if (walk < roomEnd) return walk;
  size_t scan = first;
  while (scan < roomEnd && !EndsFieldsWithin(scan, roomEnd)) ++scan;
  return scan;
}

// The custom fields of the area at start, from position to its end marker.
void DecodeCustom(FruArea area, size_t start, size_t position, FruCustomBytes* custom) {
  const size_t roomEnd = AreaRoomEnd(start);
  // Fields that fill the area's room, or an end marker with no room left for
  // the checksum after it: the area runs into the next one or past the FRU.
  const FruModelFault overrun = roomEnd == ImageLimit ? FruModelFault::AreaPastEnd : FruModelFault::AreaOverlap;
  custom->count = 0;
  if (start >= ImageLimit) NoteFault(FruModelFault::AreaPastEnd, area);
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

void DecodeNamedFields(size_t* position, FruTextField* fields, size_t count) {
  for (size_t i = 0; i < count; ++i) DecodeField(position, &fields[i]);
}

void DecodeChassis(size_t start) {
  FruFieldSet& s = FruFieldStore;
  s.chassisType = At(start + kChassisType);
  size_t position = start + kChassisFirstField;
  DecodeNamedFields(&position, s.chassis, kChassisFieldCount);
  DecodeCustom(FruArea::Chassis, start, position, &s.chassisCustom);
}

void DecodeBoard(size_t start) {
  FruFieldSet& s = FruFieldStore;
  for (size_t i = 0; i < kFruDateBytes; ++i) s.boardDate[i] = At(start + kBoardDate + i);
  size_t position = start + kBoardFirstField;
  DecodeNamedFields(&position, s.board, kBoardNamedFields);
  // Under -fru1 the first custom field is the board version; the custom fields
  // after it are kept as they are.
  if (fru1Mode && position < ImageLimit && At(position) != kTypeLengthEndOfFields) {
    DecodeField(&position, &s.board[kBoardVersion]);
  }
  DecodeCustom(FruArea::Board, start, position, &s.boardCustom);
}

void DecodeProduct(size_t start) {
  FruFieldSet& s = FruFieldStore;
  size_t position = start + kProductFirstField;
  DecodeNamedFields(&position, s.product, kProductFieldCount);
  DecodeCustom(FruArea::Product, start, position, &s.productCustom);
}

void DecodeMultiRecords(size_t position) {
  if (position >= ImageLimit) NoteFault(FruModelFault::AreaPastEnd, FruArea::MultiRecord);
  for (;;) {
    if (MultiRecordCount == kMultiRecordCapacity) {
      NoteFault(FruModelFault::TooManyMultiRecords, FruArea::MultiRecord);
      return;
    }
    if (position + kMultiRecordHeaderBytes > ImageLimit) {
      NoteFault(FruModelFault::AreaPastEnd, FruArea::MultiRecord);
      return;
    }
    uint8_t* entry = MultiRecordTable[MultiRecordCount];
    const size_t length = At(position + kMultiRecordLength);
    if (length > kMultiRecordDataCapacity) NoteFault(FruModelFault::MultiRecordTooLong, FruArea::MultiRecord);
    if (position + kMultiRecordHeaderBytes + length > ImageLimit) {
      NoteFault(FruModelFault::AreaPastEnd, FruArea::MultiRecord);
    }
    const size_t kept = kMultiRecordHeaderBytes + (length < kMultiRecordDataCapacity ? length : kMultiRecordDataCapacity);
    for (size_t i = 0; i < kept; ++i) entry[i] = At(position + i);
    ++MultiRecordCount;
    if ((entry[kMultiRecordFlags] & kMultiRecordEndOfList) != 0) return;
    position += kMultiRecordHeaderBytes + length;
  }
}

// The internal use area runs from its offset to the next area present, or to
// the end of the FRU when none follows.
void DecodeInternalUse(size_t unit) {
  const size_t start = unit * kFruUnitBytes;
  const size_t end = AreaRoomEnd(start);
  if (start >= ImageLimit) NoteFault(FruModelFault::AreaPastEnd, FruArea::InternalUse);
  InternalUseLength = end > start ? end - start : 0;
  // At least one unit is copied for the listing, which shows bytes 1 to 7.
  const size_t copied = InternalUseLength > kFruUnitBytes ? InternalUseLength : kFruUnitBytes;
  for (size_t i = 0; i < copied; ++i) InternalUseBytes[i] = At(start + i);
}

void ResetStore() {
  FruFieldSet& s = FruFieldStore;
  FillBytes(&s, 0, sizeof s);
  s.chassisType = kChassisTypeUnknown;
  for (FruTextField& field : s.chassis) ClearField(&field);
  for (FruTextField& field : s.board) ClearField(&field);
  for (FruTextField& field : s.product) ClearField(&field);
  InternalUseLength = 0;
  MultiRecordCount = 0;
  FruParseFault = FruModelFault::None;
}

}  // namespace

FruFieldSet FruFieldStore;
uint8_t InternalUseBytes[kFruImageCapacity];
size_t InternalUseLength;
uint8_t MultiRecordTable[kMultiRecordCapacity][kMultiRecordEntryBytes];
size_t MultiRecordCount;
FruModelFault FruParseFault;

FruArea FruParseFaultArea;

void DescribeFruModelFault(char* text, size_t size) {
  for (const FaultText& entry : kFaultTexts) {
    if (entry.fault != FruParseFault) continue;
    if (entry.namesArea) {
      FormatString(text, size, "the %s area %s", kAreaNames[static_cast<size_t>(FruParseFaultArea)], entry.text);
    } else {
      FormatString(text, size, "%s", entry.text);
    }
    return;
  }
  FormatString(text, size, "%s", kFaultTexts[0].text);
}

void ParseFruImage(bool print) {
  ImageLimit = FruImageBytesHeld();
  if (print && At(kHeaderVersion) != kFruFormatVersion) {
    Printf("FRU data error!\n");
    return;
  }
  ResetStore();
  if (FruImageSize > static_cast<int32_t>(kFruImageCapacity)) NoteFault(FruModelFault::FruTooLarge);
  if (FruImageShortReply) NoteFault(FruModelFault::ShortReply);

  FruFieldSet& s = FruFieldStore;
  if (const uint8_t unit = At(kHeaderInternalUseOffset); unit != 0) {
    s.hasInternalUse = true;
    DecodeInternalUse(unit);
    if (print) PrintFruListing(FruListingGroup::InternalUse);
  }
  if (const uint8_t unit = At(kHeaderChassisOffset); unit != 0) {
    s.hasChassis = true;
    DecodeChassis(unit * kFruUnitBytes);
    if (print) PrintFruListing(FruListingGroup::Chassis);
  }
  if (const uint8_t unit = At(kHeaderBoardOffset); unit != 0) {
    s.hasBoard = true;
    DecodeBoard(unit * kFruUnitBytes);
    if (print) PrintFruListing(FruListingGroup::Board);
  }
  if (const uint8_t unit = At(kHeaderProductOffset); unit != 0) {
    s.hasProduct = true;
    DecodeProduct(unit * kFruUnitBytes);
    if (print) PrintFruListing(FruListingGroup::Product);
  }
  if (const uint8_t unit = At(kHeaderMultiRecordOffset); unit != 0) {
    s.hasMultiRecord = true;
    DecodeMultiRecords(unit * kFruUnitBytes);
  }
}

void FormatFruDate(const uint8_t date[kFruDateBytes], char* out, size_t size) {
  const int64_t minutes = int64_t{date[2]} << (2 * kByteBits) | int64_t{date[1]} << kByteBits | date[0];
  const int64_t epochMinutes = DaysFromCivil(kFruDateEpochYear, 1, 1) * kMinutesPerDay;
  const DateTime t = DateTimeFromSeconds((epochMinutes + minutes) * kSecondsPerMinute);
  FormatString(out, size, "%4d/%02d/%02d %02d:%02d:%02d", static_cast<int>(t.year), static_cast<int>(t.month),
               static_cast<int>(t.day), static_cast<int>(t.hour), static_cast<int>(t.minute),
               static_cast<int>(t.second));
}

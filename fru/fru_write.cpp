#include "fru/fru_write.hpp"

#include "fru/fru_display.hpp"
#include "fru/fru_fields.hpp"
#include "support/bytes.hpp"
#include "support/calendar.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "support/scan.hpp"
#include "support/text.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

constexpr size_t kFruDateTextLength = 12;  // YYYYMMDDhhmm
constexpr int kTmYearBase = 1900;
constexpr int kMonthsPerYear = 12;
constexpr int64_t kMinutesPerHour = 60;
constexpr int64_t kMinutesPerDay = 24 * kMinutesPerHour;
constexpr int64_t kFruDateEpochYear = 1996;
constexpr int64_t kFruDateLargest = 0xFFFFFF;  // three bytes

// Where each calendar field sits in YYYYMMDDhhmm.
struct DatePart {
  uint8_t first;
  uint8_t length;
  int FruDateFields::*field;
};
constexpr DatePart kDateParts[] = {
    {0, 4, &FruDateFields::year}, {4, 2, &FruDateFields::month},   {6, 2, &FruDateFields::day},
    {8, 2, &FruDateFields::hour}, {10, 2, &FruDateFields::minute},
};

constexpr int64_t FloorDivide(int64_t value, int64_t divisor) {
  return value / divisor - ((value % divisor != 0 && value < 0) ? 1 : 0);
}

void StoreText(FruTextField* field, const char* value) {
  size_t length = 0;
  for (; value[length] != '\0' && length < kFruTextMaxLength; ++length) field->text[length] = value[length];
  field->text[length] = '\0';
  field->typeLength = static_cast<uint8_t>(kTypeLength8BitText | length);
}

// The image is written in 8-byte chunks from offset 0; a last chunk that would
// reach past the FRU's end stops at it.
uint8_t WriteImageChunks(const FruSession& fru, bool fru1Mode, size_t fruSize) {
  const std::span<const uint8_t> image = fru.writeImage.Bytes();
  for (size_t offset = 0; offset < image.size(); offset += kFruFieldWriteChunk) {
    const size_t count = fruSize - offset < kFruFieldWriteChunk ? fruSize - offset : kFruFieldWriteChunk;
    // The last chunk carries the 00h bytes that follow the image.
    const uint8_t cc = WriteFruChunk(fru, fru1Mode, offset, {fru.writeImage.bytes + offset, count});
    if (cc != kCcSuccess) return cc;
  }
  return kCcSuccess;
}

}  // namespace

bool RefuseFruValue(const char* code, const char* value, bool fru1Mode) {
  const FruField* field = FindFruField(code);
  if (field == nullptr) return false;
  if (field->fru1Only && !fru1Mode) {
    Printf("BV is written only with -fru1.\n");
    return true;
  }
  if (field->kind == FruFieldKind::Text && StringLength(value) > kFruTextMaxLength) {
    Printf("Invalid value: a FRU field holds at most %zu characters.\n", kFruTextMaxLength);
    return true;
  }
  // C0h + 1 is C1h, the type/length byte that ends an area's fields: every
  // reader would lose the fields after it.
  if (field->kind == FruFieldKind::Text && StringLength(value) == 1) {
    Printf("Invalid value: one character alone would read as the end of the FRU area; give none or two or more.\n");
    return true;
  }
  unsigned chassisType = 0;
  if (field->kind == FruFieldKind::ChassisType && ScanHexadecimal(value, &chassisType) != 1) {
    Printf("Invalid chassis type: give a hexadecimal code (see -fru cthelp).\n");
    return true;
  }
  return false;
}

FruDateFields ParseFruDateText(const char* text) {
  FruDateFields fields{};
  size_t available = 0;
  while (available < kFruDateTextLength && text[available] != '\0') ++available;
  for (const DatePart& part : kDateParts) {
    char piece[5] = {};
    for (size_t i = 0; i < part.length && part.first + i < available; ++i) piece[i] = text[part.first + i];
    fields.*part.field = AsciiToInt(piece);
  }
  fields.year -= kTmYearBase;
  fields.month -= 1;
  return fields;
}

void FruDateToMinutes(const FruDateFields& fields, uint8_t date[kFruDateBytes]) {
  // mktime's normalisation: months beyond the year roll into the next (and
  // below 0 into the previous), the day, hour and minute count on linearly.
  const int64_t month = fields.month;
  const int64_t year = int64_t{fields.year} + kTmYearBase + FloorDivide(month, kMonthsPerYear);
  const auto monthOfYear = static_cast<unsigned>(month - FloorDivide(month, kMonthsPerYear) * kMonthsPerYear) + 1;
  const int64_t days = DaysFromCivil(year, monthOfYear, 1) + fields.day - 1;
  const int64_t minutes =
      (days - DaysFromCivil(kFruDateEpochYear, 1, 1)) * kMinutesPerDay + fields.hour * kMinutesPerHour + fields.minute;
  const int64_t stored = minutes < 0 ? 0 : minutes & kFruDateLargest;
  PutLe24({date, kFruDateBytes}, 0, static_cast<uint32_t>(stored));
}

void SetFruFieldValue(FruFieldSet& s, const char* code, const char* value) {
  const FruField* field = FindFruField(code);
  if (field == nullptr) return;
  switch (field->kind) {
    case FruFieldKind::ChassisType: {
      unsigned chassisType = 0;
      if (ScanHexadecimal(value, &chassisType) == 1) s.chassisType = static_cast<uint8_t>(chassisType & kByteMask);
      break;
    }
    case FruFieldKind::Date:
      if (StringLength(value) != kFruDateTextLength) {
        Printf("Date/Time format error\n");
        Printf("Format: YYYYMMDDhhmm  ex:201007161200 (2010/07/16 12:00)\n");
        return;
      }
      FruDateToMinutes(ParseFruDateText(value), s.boardDate);
      break;
    case FruFieldKind::Text:
      StoreText(&TextFieldOf(s, field->area, field->index), value);
      break;
  }
  switch (field->area) {
    case FruArea::Chassis:
      s.hasChassis = true;
      break;
    case FruArea::Board:
      s.hasBoard = true;
      break;
    case FruArea::Product:
      s.hasProduct = true;
      break;
    case FruArea::InternalUse:
    case FruArea::MultiRecord:
      break;  // no field lives there
  }
}

int WriteFruField(FruSession& fru, bool fru1Mode, const char* code, const char* value) {
  if (RefuseFruValue(code, value, fru1Mode)) return kStatusInvalidOperand;
  const int status = ReadWholeFru(fru, fru1Mode);
  if (status != kStatusSuccess) return status;
  DecodeFruImage(fru.image, fru1Mode, &fru.fieldStore);
  SetFruFieldValue(fru.fieldStore, code, value);

  // Nothing is unlocked or written unless the new image is whole and fits.
  if (fru.fieldStore.fault != FruModelFault::None) {
    char fault[kFruFaultTextSize];
    DescribeFruModelFault(fru.fieldStore, fault, sizeof fault);
    Printf("FRU not written: %s.\n", fault);
    return kStatusFailed;
  }
  if (!BuildFruImage(fru.fieldStore, fru1Mode, &fru.writeImage)) {
    Printf("FRU not written: an area would start beyond offset %zu.\n", kFruLastAreaOffset);
    return kStatusFailed;
  }
  if (fru.writeImage.length > fru.image.size) {
    Printf("FRU not written: the new FRU data (%d bytes) exceed the FRU size (%d bytes).\n",
           static_cast<int>(fru.writeImage.length), static_cast<int>(fru.image.size));
    return kStatusFailed;
  }

  uint8_t cc = UnlockFru();
  if (cc != kCcSuccess) return ReportFailure("Unlock FRU error", cc);
  cc = WriteImageChunks(fru, fru1Mode, static_cast<size_t>(fru.image.size));
  if (cc != kCcSuccess) return ReportFailure("Write FRU error", cc);
  cc = LockFru();
  if (cc != kCcSuccess) return ReportFailure("Lock FRU error", cc);
  return ListFru(fru, fru1Mode);
}

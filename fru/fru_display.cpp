#include "fru/fru_display.hpp"

#include "fru/fru_fields.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// Chassis types (FRU Information Storage Definition, SMBIOS chassis types).
struct ChassisType {
  uint8_t code;
  const char* name;
};
constexpr ChassisType kChassisTypeNames[] = {
    {0x01, "Other"},
    {0x02, "Unknown"},
    {0x03, "Desktop"},
    {0x04, "Low Profile Desktop"},
    {0x05, "Pizza Box"},
    {0x06, "Mini Tower"},
    {0x07, "Tower"},
    {0x08, "Portable"},
    {0x09, "LapTop"},
    {0x0A, "Notebook"},
    {0x0B, "Hand Held"},
    {0x0C, "Docking Station"},
    {0x0D, "All in One"},
    {0x0E, "Sub Notebook"},
    {0x0F, "Space-saving"},
    {0x10, "Lunch Box"},
    {0x11, "Main Server Chassis"},
    {0x12, "Expansion Chassis"},
    {0x13, "SubChassis"},
    {0x14, "Bus Expansion Chassis"},
    {0x15, "Peripheral Chassis"},
    {0x16, "RAID Chassis"},
    {0x17, "Rack Mount Chassis"},
    {0x27, "Blade"},
};
constexpr const char kUnspecifiedChassis[] = "Unspecified";

// The field help: the heading of each area before its first field.
struct AreaHeading {
  FruArea area;
  const char* line;
};
constexpr AreaHeading kHelpHeadings[] = {
    {FruArea::Chassis, "Chassis Info Fields:\n"},
    {FruArea::Board, "Board Info Fields:\n"},
    {FruArea::Product, "Product Info Fields:\n"},
};
constexpr const char* kHelpExample[] = {
    "Example:\n",
    "tolvane -fru PS                      ;read product serial number\n",
    "tolvane -fru PS 123456789            ;write product serial number\n",
};

struct AccessTypeText {
  uint8_t accessType;
  const char* text;
};
constexpr AccessTypeText kAccessTypeTexts[] = {
    {kFruAccessByBytes, "(Device is accessed by bytes)\n"},
    {kFruAccessByWords, "(Device is accessed by words)\n"},
};

bool AreaPresent(const FruFieldSet& s, FruArea area) {
  switch (area) {
    case FruArea::InternalUse:
      return s.hasInternalUse;
    case FruArea::Chassis:
      return s.hasChassis;
    case FruArea::Board:
      return s.hasBoard;
    case FruArea::Product:
      return s.hasProduct;
    case FruArea::MultiRecord:
      return s.hasMultiRecord;
  }
  return false;
}

void PrintDateWithBytes(const uint8_t* date) {
  char text[kFruDateTextSize];
  FormatFruDate(date, text, sizeof text);
  Printf("%s (%02X %02X %02X)\n", text, date[0], date[1], date[2]);
}

}  // namespace

const char* ChassisTypeName(uint8_t code) {
  for (const ChassisType& type : kChassisTypeNames) {
    if (type.code == code) return type.name;
  }
  return kUnspecifiedChassis;
}

void PrintFruListing(const FruFieldSet& s, bool fru1Mode) {
  if (s.hasInternalUse) {
    // Byte 0, the area's format version, is not shown.
    Printf("Internal Use Area               = ");
    for (size_t i = 1; i < kFruUnitBytes; ++i) Printf("%02X ", s.internalUseBytes[i]);
    Printf("\n");
  }
  for (const FruField& field : FruFields()) {
    if (!AreaPresent(s, field.area) || (field.fru1Only && !fru1Mode)) continue;
    Printf("%s", field.label);
    switch (field.kind) {
      case FruFieldKind::ChassisType:
        Printf("%s(%02Xh)\n", ChassisTypeName(s.chassisType), s.chassisType);
        break;
      case FruFieldKind::Date:
        PrintDateWithBytes(s.boardDate);
        break;
      case FruFieldKind::Text:
        Printf("%s\n", TextFieldOf(s, field.area, field.index).text);
        break;
    }
  }
}

int ShowFruInfo(FruSession& fru) {
  const uint8_t cc = GetFruInventoryInfo(fru);
  if (cc != kCcSuccess) return ReportFailure("Failed to get FRU inventory area", cc);
  // The size as the BMC reports it, not doubled for word access.
  Printf("FRU size :%d bytes ", fru.inventoryInfo.size);
  for (const AccessTypeText& access : kAccessTypeTexts) {
    if (access.accessType == fru.inventoryInfo.accessType) Printf("%s", access.text);
  }
  return kStatusSuccess;
}

int ListFru(FruSession& fru, bool fru1Mode) {
  const int status = ReadWholeFru(fru, fru1Mode);
  if (status != kStatusSuccess) return status;
  // Only the listing checks the format version.
  const std::span<const uint8_t> held = fru.image.Held();
  if (held.empty() || held[kHeaderVersion] != kFruFormatVersion) {
    Printf("FRU data error!\n");
    return kStatusSuccess;
  }
  DecodeFruImage(fru.image, fru1Mode, &fru.fieldStore);
  PrintFruListing(fru.fieldStore, fru1Mode);
  return kStatusSuccess;
}

int ShowChassisTypes() {
  for (const ChassisType& type : kChassisTypeNames) Printf("%02Xh = %s\n", type.code, type.name);
  return kStatusSuccess;
}

int ShowFruHelp(bool fru1Mode) {
  Printf("Available Fields for FRU\n");
  const FruField* previous = nullptr;
  for (const FruField& field : FruFields()) {
    if (previous == nullptr || previous->area != field.area) {
      for (const AreaHeading& heading : kHelpHeadings) {
        if (heading.area == field.area) Printf("%s", heading.line);
      }
    }
    previous = &field;
    if (!field.fru1Only || fru1Mode) Printf("%s", field.helpLine);
  }
  for (const char* line : kHelpExample) Printf("%s", line);
  return kStatusSuccess;
}

int ShowFruField(FruSession& fru, bool fru1Mode, const char* code) {
  const int status = ReadWholeFru(fru, fru1Mode);
  if (status != kStatusSuccess) return status;
  DecodeFruImage(fru.image, fru1Mode, &fru.fieldStore);
  const FruField* field = FindFruField(code);
  if (field == nullptr) return kStatusSuccess;
  const FruFieldSet& s = fru.fieldStore;
  switch (field->kind) {
    case FruFieldKind::ChassisType:
      Printf("%02X\n", s.chassisType);
      break;
    case FruFieldKind::Date:
      // A date of all zero bytes is shown as not set.
      if (s.boardDate[0] == 0 && s.boardDate[1] == 0 && s.boardDate[2] == 0) {
        Printf("\n");
      } else {
        PrintDateWithBytes(s.boardDate);
      }
      break;
    case FruFieldKind::Text:
      Printf("%s\n", TextFieldOf(s, field->area, field->index).text);
      break;
  }
  return kStatusSuccess;
}

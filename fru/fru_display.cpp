#include "fru/fru_display.hpp"

#include "fru/fru_fields.hpp"
#include "fru/fru_model.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

constexpr unsigned kByteBits = 8;

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

// One listing line of a text field: its label (padded to the "=" column).
struct ListingLine {
  FruListingGroup group;
  const char* label;
  FruArea area;
  uint8_t index;
  bool fru1Only;
};
constexpr ListingLine kListingLines[] = {
    {FruListingGroup::Chassis, "Chassis Part number (CP)        = ", FruArea::Chassis, kChassisPartNumber, false},
    {FruListingGroup::Chassis, "Chassis Serial number (CS)      = ", FruArea::Chassis, kChassisSerialNumber, false},
    {FruListingGroup::Board, "Board Manufacturer (BM)         = ", FruArea::Board, kBoardManufacturer, false},
    {FruListingGroup::Board, "Board Product Name (BPN)        = ", FruArea::Board, kBoardProductName, false},
    {FruListingGroup::Board, "Board Serial number (BS)        = ", FruArea::Board, kBoardSerialNumber, false},
    {FruListingGroup::Board, "Board Part number (BP)          = ", FruArea::Board, kBoardPartNumber, false},
    {FruListingGroup::Board, "Board Version (BV)              = ", FruArea::Board, kBoardVersion, true},
    {FruListingGroup::Product, "Product Manufacturer (PM)       = ", FruArea::Product, kProductManufacturer, false},
    {FruListingGroup::Product, "Product Name (PN)               = ", FruArea::Product, kProductName, false},
    {FruListingGroup::Product, "Product Part/Model number (PPM) = ", FruArea::Product, kProductPartModelNumber,
     false},
    {FruListingGroup::Product, "Product Version (PV)            = ", FruArea::Product, kProductVersion, false},
    {FruListingGroup::Product, "Product Serial number (PS)      = ", FruArea::Product, kProductSerialNumber, false},
    {FruListingGroup::Product, "Product Asset Tag (PAT)         = ", FruArea::Product, kProductAssetTag, false},
};

// The field help, in order; fru1Only lines only under -fru1.
struct HelpLine {
  const char* text;
  bool fru1Only;
};
constexpr HelpLine kFruHelpLines[] = {
    {"Available Fields for FRU\n", false},
    {"Chassis Info Fields:\n", false},
    {"CT  ;Chassis Type\n", false},
    {"CP  ;Chassis Part number\n", false},
    {"CS  ;Chassis Serial number\n", false},
    {"Board Info Fields:\n", false},
    {"BDT ;Board Mfg. Date/Time (YYYYMMDDhhmm)\n", false},
    {"BM  ;Board Manufacturer\n", false},
    {"BPN ;Board Product Name\n", false},
    {"BS  ;Board Serial Name\n", false},
    {"BP  ;Board Part Number\n", false},
    {"BV  ;Board Version\n", true},
    {"Product Info Fields:\n", false},
    {"PM  ;Product Manufacturer\n", false},
    {"PN  ;Product Name\n", false},
    {"PPM ;Product Part/Model Number\n", false},
    {"PV  ;Product Version\n", false},
    {"PS  ;Product Serial Number\n", false},
    {"PAT ;Asset Tag\n", false},
    {"Example:\n", false},
    {"tolvane -fru PS                      ;read product serial number\n", false},
    {"tolvane -fru PS 123456789            ;write product serial number\n", false},
};

struct AccessTypeText {
  uint8_t accessType;
  const char* text;
};
constexpr AccessTypeText kAccessTypeTexts[] = {
    {0x00, "(Device is accessed by bytes)\n"},
    {0x01, "(Device is accessed by words)\n"},
};

const FruTextField& FieldOf(FruArea area, uint8_t index) {
  const FruFieldSet& s = FruFieldStore;
  return area == FruArea::Chassis ? s.chassis[index] : area == FruArea::Board ? s.board[index] : s.product[index];
}

void PrintTextLines(FruListingGroup group) {
  for (const ListingLine& line : kListingLines) {
    if (line.group != group || (line.fru1Only && !fru1Mode)) continue;
    Printf("%s%s\n", line.label, FieldOf(line.area, line.index).text);
  }
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

void PrintFruListing(FruListingGroup group) {
  const FruFieldSet& s = FruFieldStore;
  switch (group) {
    case FruListingGroup::InternalUse:
      // Byte 0, the area's format version, is not shown.
      Printf("Internal Use Area               = ");
      for (size_t i = 1; i < kFruUnitBytes; ++i) Printf("%02X ", InternalUseBytes[i]);
      Printf("\n");
      return;
    case FruListingGroup::Chassis:
      Printf("Chassis Type (CT)               = %s(%02Xh)\n", ChassisTypeName(s.chassisType), s.chassisType);
      break;
    case FruListingGroup::Board:
      Printf("Board Mfg. Date/Time(BDT)       = ");
      PrintDateWithBytes(s.boardDate);
      break;
    case FruListingGroup::Product:
      break;
  }
  PrintTextLines(group);
}

int ReadWholeFru() {
  uint8_t cc = GetFruInventoryInfo();
  if (cc != kCcSuccess) {
    Printf("Failed to get FRU inventory area, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  cc = ReadFruImage();
  if (cc != kCcSuccess) {
    Printf("Failed to get FRU data, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  return kStatusSuccess;
}

int ShowFruInfo() {
  const uint8_t cc = GetFruInventoryInfo();
  if (cc != kCcSuccess) {
    Printf("Failed to get FRU inventory area, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  // The size as the BMC reports it, not doubled for word access.
  Printf("FRU size :%d bytes ", FruInventoryInfo[1] << kByteBits | FruInventoryInfo[0]);
  for (const AccessTypeText& access : kAccessTypeTexts) {
    if (access.accessType == FruInventoryInfo[2]) Printf("%s", access.text);
  }
  return kStatusSuccess;
}

int ListFru() {
  const int status = ReadWholeFru();
  if (status != kStatusSuccess) return status;
  ParseFruImage(true);
  return kStatusSuccess;
}

int ShowChassisTypes() {
  for (const ChassisType& type : kChassisTypeNames) Printf("%02Xh = %s\n", type.code, type.name);
  return kStatusSuccess;
}

int ShowFruHelp() {
  for (const HelpLine& line : kFruHelpLines) {
    if (!line.fru1Only || fru1Mode) Printf("%s", line.text);
  }
  return kStatusSuccess;
}

int ShowFruField(const char* code) {
  const int status = ReadWholeFru();
  if (status != kStatusSuccess) return status;
  ParseFruImage(false);
  const FruFieldCode* field = FindFruField(code);
  if (field == nullptr) return kStatusSuccess;
  const FruFieldSet& s = FruFieldStore;
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
      Printf("%s\n", FruTextFieldOf(*field)->text);
      break;
  }
  return kStatusSuccess;
}

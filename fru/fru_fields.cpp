#include "fru/fru_fields.hpp"

#include "support/text.hpp"

namespace {

using enum FruFieldKind;
using enum FruArea;

constexpr FruField kFruFields[] = {
    {"CT", Chassis, 0, ChassisType, "Chassis Type (CT)               = ", "CT  ;Chassis Type\n", false},
    {"CP", Chassis, kChassisPartNumber, Text, "Chassis Part number (CP)        = ", "CP  ;Chassis Part number\n",
     false},
    {"CS", Chassis, kChassisSerialNumber, Text, "Chassis Serial number (CS)      = ", "CS  ;Chassis Serial number\n",
     false},
    {"BDT", Board, 0, Date, "Board Mfg. Date/Time(BDT)       = ", "BDT ;Board Mfg. Date/Time (YYYYMMDDhhmm)\n", false},
    {"BM", Board, kBoardManufacturer, Text, "Board Manufacturer (BM)         = ", "BM  ;Board Manufacturer\n", false},
    {"BPN", Board, kBoardProductName, Text, "Board Product Name (BPN)        = ", "BPN ;Board Product Name\n", false},
    {"BS", Board, kBoardSerialNumber, Text, "Board Serial number (BS)        = ", "BS  ;Board Serial Name\n", false},
    {"BP", Board, kBoardPartNumber, Text, "Board Part number (BP)          = ", "BP  ;Board Part Number\n", false},
    {"BV", Board, kBoardVersion, Text, "Board Version (BV)              = ", "BV  ;Board Version\n", true},
    {"PM", Product, kProductManufacturer, Text, "Product Manufacturer (PM)       = ", "PM  ;Product Manufacturer\n",
     false},
    {"PN", Product, kProductName, Text, "Product Name (PN)               = ", "PN  ;Product Name\n", false},
    {"PPM", Product, kProductPartModelNumber, Text,
     "Product Part/Model number (PPM) = ", "PPM ;Product Part/Model Number\n", false},
    {"PV", Product, kProductVersion, Text, "Product Version (PV)            = ", "PV  ;Product Version\n", false},
    {"PS", Product, kProductSerialNumber, Text, "Product Serial number (PS)      = ", "PS  ;Product Serial Number\n",
     false},
    {"PAT", Product, kProductAssetTag, Text, "Product Asset Tag (PAT)         = ", "PAT ;Asset Tag\n", false},
};

}  // namespace

FruFieldTable FruFields() { return {kFruFields, static_cast<int>(sizeof kFruFields / sizeof kFruFields[0])}; }

const FruField* FindFruField(const char* code) {
  for (const FruField& field : kFruFields) {
    if (StringEqualsIgnoreCase(field.code, code)) return &field;
  }
  return nullptr;
}

bool IsFruDisplayCode(const char* word, bool fru1Mode) {
  const FruField* field = FindFruField(word);
  return field != nullptr && (fru1Mode || !field->fru1Only);
}

bool IsFruWriteCode(const char* word, bool) { return FindFruField(word) != nullptr; }

#include "fru/fru_fields.hpp"

#include "support/text.hpp"

namespace {

using enum FruFieldKind;
using enum FruArea;

constexpr FruFieldCode kFruFieldCodes[] = {
    {"CT", ChassisType, Chassis, 0, false},
    {"CP", Text, Chassis, kChassisPartNumber, false},
    {"CS", Text, Chassis, kChassisSerialNumber, false},
    {"BDT", Date, Board, 0, false},
    {"BM", Text, Board, kBoardManufacturer, false},
    {"BPN", Text, Board, kBoardProductName, false},
    {"BS", Text, Board, kBoardSerialNumber, false},
    {"BP", Text, Board, kBoardPartNumber, false},
    {"BV", Text, Board, kBoardVersion, true},
    {"PM", Text, Product, kProductManufacturer, false},
    {"PN", Text, Product, kProductName, false},
    {"PPM", Text, Product, kProductPartModelNumber, false},
    {"PV", Text, Product, kProductVersion, false},
    {"PS", Text, Product, kProductSerialNumber, false},
    {"PAT", Text, Product, kProductAssetTag, false},
};

}  // namespace

const FruFieldCode* FindFruField(const char* code) {
  for (const FruFieldCode& field : kFruFieldCodes) {
    if (StringEqualsIgnoreCase(field.code, code)) return &field;
  }
  return nullptr;
}

bool IsFruDisplayCode(const char* word, bool underFru1) {
  const FruFieldCode* field = FindFruField(word);
  return field != nullptr && (underFru1 || !field->fru1Only);
}

bool IsFruWriteCode(const char* word, bool) { return FindFruField(word) != nullptr; }

FruTextField* FruTextFieldOf(const FruFieldCode& field) {
  FruFieldSet& s = FruFieldStore;
  switch (field.area) {
    case Chassis:
      return &s.chassis[field.index];
    case Board:
      return &s.board[field.index];
    case Product:
      return &s.product[field.index];
    case InternalUse:
    case MultiRecord:
      break;
  }
  return nullptr;
}

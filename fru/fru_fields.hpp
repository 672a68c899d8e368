// The FRU field codes a user names ("-fru PS", "-fru PS 123"), one row per
// field: where it lives in FruFieldStore and how it is read and written.
#pragma once

#include <cstdint>

#include "fru/fru_model.hpp"

enum class FruFieldKind : uint8_t { ChassisType, Date, Text };

struct FruFieldCode {
  const char* code;  // upper case; a typed code is compared without regard to case
  FruFieldKind kind;
  FruArea area;
  uint8_t index;  // into the area's fields, for Text
  bool fru1Only;  // shown only under -fru1 (BV)
};

// The row of a code, case ignored; nullptr for anything else.
const FruFieldCode* FindFruField(const char* code);
// Dispatcher rules: a code to show (BV only under -fru1), a code to write (any).
bool IsFruDisplayCode(const char* word, bool underFru1);
bool IsFruWriteCode(const char* word, bool underFru1);
// The stored field of a Text row.
FruTextField* FruTextFieldOf(const FruFieldCode& field);

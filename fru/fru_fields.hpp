// The FRU fields a user names ("-fru PS", "-fru PS 123"), one row per field:
// where it lives in the decoded FRU, how it is shown, listed, explained and
// written. Lookup, the listing, the field help and the write all read this
// table.
#pragma once

#include <cstdint>

#include "fru/fru_model.hpp"

enum class FruFieldKind : uint8_t { ChassisType, Date, Text };

struct FruField {
  const char* code;  // upper case; a typed code is compared without regard to case
  FruArea area;
  uint8_t index;  // Text: the field's place among the area's text fields
  FruFieldKind kind;
  const char* label;     // the listing line's start, up to and including "= "
  const char* helpLine;  // the line of the field help
  bool fru1Only;         // listed, shown and written only under -fru1 (BV)
};

// Every row, in listing order.
struct FruFieldTable {
  const FruField* rows;
  int count;
  const FruField* begin() const { return rows; }
  const FruField* end() const { return rows + count; }
};
FruFieldTable FruFields();

// The row of a code, case ignored; nullptr for anything else.
const FruField* FindFruField(const char* code);
// Dispatcher rules: a code to show (BV only under -fru1), a code to write (any).
bool IsFruDisplayCode(const char* word, bool fru1Mode);
bool IsFruWriteCode(const char* word, bool fru1Mode);

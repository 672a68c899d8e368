// Writing one FRU field: read and decode the whole FRU, change the field,
// rebuild the whole image, write it between the OEM unlock and lock, list.
#pragma once

#include <cstdint>

#include "fru/fru_access.hpp"
#include "fru/fru_layout.hpp"

// The calendar fields of a board date as struct tm holds them: years since
// 1900, months from 0; any value, normalised as mktime normalises it.
struct FruDateFields {
  int year;
  int month;
  int day;
  int hour;
  int minute;
};

// YYYYMMDDhhmm: each part read as atoi reads it, no range check.
FruDateFields ParseFruDateText(const char* text);
// Minutes from 1996-01-01 00:00, least significant byte first; 000000h for an
// earlier moment, the low 24 bits for a later one.
void FruDateToMinutes(const FruDateFields& fields, uint8_t date[kFruDateBytes]);

// Prints the line a value the FRU cannot take is refused with (status 12,
// before any request) and returns true: over 63 characters, one character
// alone (C1h would end the area), a chassis type with no hexadecimal digit, BV
// without -fru1.
bool RefuseFruValue(const char* code, const char* value, bool fru1Mode);

// Stores value in the decoded FRU as the field code (case ignored) says and
// sets that area's flag; prints the date format lines for a BDT value that is
// not 12 characters long, and then changes nothing.
void SetFruFieldValue(FruFieldSet& store, const char* code, const char* value);

// code: a FRU field code (case ignored); value: its new text. Reads and decodes
// the whole FRU, changes the field, rebuilds the whole image, writes it
// between the OEM unlock and lock in 8-byte chunks, and lists the FRU. The exit
// status: 0; 11 after printing the failure line (a failed exchange, or a FRU
// that is not rebuilt because it cannot be held whole or the new image does not
// fit); 12 after refusing a value the FRU cannot take, before any request. Also
// what the update from SMBIOS tables writes its field with.
int WriteFruField(FruSession& fru, bool fru1Mode, const char* code, const char* value);

// The read-only FRU commands: inventory size, the listing, chassis type codes,
// the field help, one field. Each prints its result or one failure line and
// returns the exit status.
#pragma once

#include <cstdint>

#include "fru/fru_access.hpp"

int ShowFruInfo(FruSession& fru);
int ListFru(FruSession& fru, bool fru1Mode);
int ShowChassisTypes();
int ShowFruHelp(bool fru1Mode);
int ShowFruField(FruSession& fru, bool fru1Mode, const char* code);

// The name printed for a chassis type code ("Unspecified" for codes without one).
const char* ChassisTypeName(uint8_t code);

// The listing of a decoded FRU: the internal use bytes, then each present
// area's fields (BV only under -fru1).
void PrintFruListing(const FruFieldSet& store, bool fru1Mode);

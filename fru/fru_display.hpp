// The read-only FRU commands: inventory size, the listing, chassis type codes,
// the field help, one field. Each prints its result or one failure line and
// returns the exit status.
#pragma once

#include <cstdint>

int ShowFruInfo();
int ListFru();
int ShowChassisTypes();
int ShowFruHelp();
int ShowFruField(const char* code);

// The name printed for a chassis type code ("Unspecified" for codes without one).
const char* ChassisTypeName(uint8_t code);

// The listing lines of one area, printed by ParseFruImage as it decodes them.
enum class FruListingGroup : uint8_t { InternalUse, Chassis, Board, Product };
void PrintFruListing(FruListingGroup group);

// Reads the FRU (inventory query, then the data) and prints the failure line
// of the step that failed; the exit status.
int ReadWholeFru();

// The SMBIOS entry point structures (SMBIOS standard 3.x, section 5.2): the
// 32-bit "_SM_" entry point of SMBIOS 2.1 and later and the 64-bit "_SM3_" one of
// SMBIOS 3.0 and later, each leading to the structure table.
#pragma once

#include <cstddef>
#include <cstdint>

enum class SmbiosEntryPointError : uint8_t {
  None,
  UnknownAnchor,         // neither "_SM_" nor "_SM3_"
  LengthTooSmall,        // its length byte is shorter than the fields it must hold
  LengthPastEnd,         // its length byte reaches past the bytes available
  Checksum,              // the entry point's bytes do not sum to 0
  IntermediateAnchor,    // 2.x: no "_DMI_" at offset 10h
  IntermediateChecksum,  // 2.x: bytes 10h..1Eh do not sum to 0
  NoStructureTable,      // table address or length 0, or an address range that wraps
};

struct SmbiosEntryPoint {
  bool is64Bit;  // the "_SM3_" entry point
  uint8_t majorVersion;
  uint8_t minorVersion;
  uint64_t tableAddress;
  // 2.x: the structure table's length; 3.x: its maximum size (the table ends
  // with its end-of-table structure, type 127).
  uint32_t tableLength;
};

// The length the entry point at bytes gives for itself: 0 for an unknown anchor
// or when fewer than the 7 bytes that hold the anchor and the length byte are
// available. Reads at most 7 bytes, so a caller can size the whole structure
// before it reads it.
size_t SmbiosEntryPointLength(const uint8_t* bytes, size_t available);

// Checks and decodes the entry point in bytes[0..available).
SmbiosEntryPointError DecodeSmbiosEntryPoint(const uint8_t* bytes, size_t available, SmbiosEntryPoint* entry);

// A short text for an error, to follow "SMBIOS entry point: ".
const char* SmbiosEntryPointErrorText(SmbiosEntryPointError error);

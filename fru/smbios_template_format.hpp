// SmbiosTemplate.cfg: the text file through which the SMBIOS dump
// (tablornX64.efi, companion/) hands the system's SMBIOS strings to the FRU
// update from SMBIOS (fru/smbios_update.cpp). Shared by the writer and the reader.
//
// A section starts with a header line that is exactly one of the headers below,
// newline included. Each following line holds one string of that SMBIOS
// structure, in the order of the SMBIOS standard: key, "=", value, ";", newline.
// Lines that hold only a newline are ignored.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr char kSmbiosTemplateFileName[] = "SmbiosTemplate.cfg";

// The reader takes the file in lines of at most this many characters, newline
// included (fgets with a 128-byte buffer); a longer line reaches it in pieces,
// each counted as a line.
inline constexpr size_t kSmbiosTemplateLineLimit = 127;

struct SmbiosTemplateSection {
  uint8_t type;        // SMBIOS structure type
  const char* header;  // the whole header line
};

inline constexpr SmbiosTemplateSection kSmbiosTemplateSections[] = {
    {1, "[ Type 1 ]:1;\n"},  // System Information
    {2, "[ Type 2 ]:1;\n"},  // Baseboard (Module) Information
    {3, "[ Type 3 ]:1;\n"},  // System Enclosure or Chassis
};

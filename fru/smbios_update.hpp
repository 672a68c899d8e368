// FRU update from SMBIOS tables ("-fru 1m" ... "-fru 3s"): one string of the
// system's SMBIOS tables copied into the matching FRU field. The tool does not
// read the tables itself: it runs the SMBIOS dump tablornX64.efi, which writes
// SmbiosTemplate.cfg (fru/smbios_template_format.hpp), takes the wanted line of
// that file and writes the value with WriteFruField.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fru/fru_access.hpp"
#include "fru/fru_layout.hpp"

struct SmbiosSelector {
  const char* code;      // the -fru sub-word, matched exactly
  uint8_t sectionType;   // SMBIOS structure type of the template section
  uint8_t lineIndex;     // value line in the section, from 0, in SMBIOS string order
  const char* fruField;  // the FRU field code written
};

inline constexpr SmbiosSelector kSmbiosSelectors[] = {
    {"1m", 1, 0, "PM"},   // system manufacturer -> product manufacturer
    {"1p", 1, 1, "PN"},   // system product name -> product name
    {"1s", 1, 3, "PS"},   // system serial number -> product serial number
    {"2m", 2, 0, "BM"},   // baseboard manufacturer -> board manufacturer
    {"2p", 2, 1, "BPN"},  // baseboard product -> board product name
    {"2s", 2, 3, "BS"},   // baseboard serial number -> board serial number
    {"3s", 3, 2, "CS"},   // chassis serial number -> chassis serial number
};

// The command line that runs the SMBIOS dump in the shell's current directory.
inline constexpr char kSmbiosDumpCommandLine[] = "tablornX64.efi -d";

// A FRU text field's type/length byte holds at most 63 characters; the field
// write refuses longer text, so a longer SMBIOS value is refused here already.
inline constexpr size_t kSmbiosValueMaxLength = kFruTextMaxLength;

// nullptr for a code that is not in kSmbiosSelectors.
const SmbiosSelector* FindSmbiosSelector(const char* code);
// Dispatcher rule: an update code, matched exactly under either command word.
bool IsSmbiosUpdateCode(const char* word, bool underFru1);

enum class SmbiosTemplateRead : uint8_t {
  Found,
  FileMissing,
  NoValue,  // no value line, or one that gives no complete, non-empty value
  TooLong,  // a value longer than kSmbiosValueMaxLength
};

// Reads the value of a section's line from the template file: lines in pieces
// of at most 127 characters, one-character lines skipped; a line counts while
// the current section is sectionType (a header too, before it switches the
// section); the value line's text between its first "=" and its end, without
// the two closing characters. Found: the value in value[capacity] (capacity at
// least kSmbiosValueMaxLength + 1). NoValue also for a value line without "=",
// with a second "=", not ending in a newline (a piece of a longer line, or a
// file cut short), or with an empty value.
SmbiosTemplateRead ReadSmbiosTemplateValue(const char* fileName, uint8_t sectionType, uint8_t lineIndex, char* value,
                                           size_t capacity);

// The whole update for one selector: deletes a stale template, runs the dump,
// reads the value and writes it with WriteFruField. The exit status: that of
// WriteFruField, or 11 after one failure line with nothing written to the FRU
// (also for a value the field write would refuse: longer than 63 characters,
// or a single character).
int UpdateFruFromSmbios(FruSession& fru, bool fru1Mode, const char* selector);

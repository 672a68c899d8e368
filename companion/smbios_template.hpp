// The text of SmbiosTemplate.cfg, built from the SMBIOS system (type 1),
// baseboard (type 2) and chassis (type 3) structures.
//
// Every value must reach the FRU update exactly as the firmware gave it, or not
// at all: the reader takes a value line's text between its first "=" and the
// next "=" or the line's end, in lines of at most 127 characters. A string that
// holds "=" or a control character (00h-1Fh, 7Fh: a line feed would end the line,
// others would land in the FRU), or whose line would be longer than 127
// characters, is therefore written as an empty value, with a warning line on the
// console. The reader takes an empty value as none, so no FRU field is written
// from such a string.
#pragma once

#include <cstddef>

#include "companion/smbios_table.hpp"

enum class TemplateValueCheck : unsigned char { Fits, BreaksLine, TooLong };

// Whether key "=" text ";" newline can stand as one line of the template.
TemplateValueCheck CheckTemplateValue(const char* key, const char* text, size_t length);

// Builds the template into text (capacity bytes, no NUL added) from byType[1],
// byType[2] and byType[3], the first structure of each type (nullptr: the tables
// have none; that type's section is left out). Prints a line for every string
// left empty and every section left out. Returns the length, or 0 when the text
// does not fit (never with kSmbiosTemplateCapacity).
size_t BuildSmbiosTemplate(const SmbiosStructure* const byType[4], char* text, size_t capacity);

// Three sections of a header and at most four lines of 127 characters, with
// blank lines between.
inline constexpr size_t kSmbiosTemplateCapacity = 2048;

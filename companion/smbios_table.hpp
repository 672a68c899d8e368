// Walking an SMBIOS structure table (SMBIOS standard 3.x, section 6.1): each
// structure is a formatted area (type, length, handle, fields) followed by its
// string set, NUL-terminated strings ended by one more NUL. Every read stays
// inside the table whatever its bytes say.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint8_t kSmbiosEndOfTable = 127;

struct SmbiosStructure {
  size_t offset;  // from the start of the table
  uint8_t type;
  uint8_t formattedLength;  // 4 or more: the header and the fields
  uint16_t handle;
  const uint8_t* formatted;  // formattedLength bytes
  const uint8_t* strings;    // the string set
  size_t stringsLength;      // up to and including its closing double NUL
};

enum class SmbiosTableError : uint8_t {
  None,
  HeaderCutOff,           // fewer than the 4 header bytes left in the table
  FormattedLengthUnder4,  // a length byte below the header's own size
  FormattedPastEnd,       // the formatted area reaches past the table
  StringSetUnterminated,  // no double NUL before the end of the table
};

struct SmbiosTableCursor {
  const uint8_t* table;
  size_t length;
  size_t offset;  // the next structure; on an error, the malformed one
  bool ended;
  SmbiosTableError error;
};

void StartSmbiosTable(SmbiosTableCursor* cursor, const uint8_t* table, size_t length);

// The next structure. false at the end of the table (the end-of-table structure,
// which is still returned, or the table's last byte) with error None, or at a
// malformed structure with error set and offset at its start; the walk stays
// ended after either.
bool NextSmbiosStructure(SmbiosTableCursor* cursor, SmbiosStructure* structure);

const char* SmbiosTableErrorText(SmbiosTableError error);

enum class SmbiosStringStatus : uint8_t {
  Present,
  Absent,         // string number 0, or a field beyond the formatted area (an older SMBIOS version)
  PastStringSet,  // a string number larger than the structure's number of strings
};

// The string that the string-number field at fieldOffset names: *text and
// *length (no NUL counted) when Present.
SmbiosStringStatus SmbiosFieldString(const SmbiosStructure& structure, uint8_t fieldOffset, const char** text,
                                     size_t* length);

#include "companion/smbios_table.hpp"

namespace {

constexpr size_t kHeaderLength = 4;  // type, length, handle

constexpr const char* kErrorTexts[] = {
    "no error",
    "the table ends inside its header",
    "its length is under 4",
    "its formatted area runs past the end of the table",
    "its strings have no closing double NUL before the end of the table",
};

bool Fail(SmbiosTableCursor* cursor, SmbiosTableError error) {
  cursor->error = error;
  cursor->ended = true;
  return false;
}

}  // namespace

void StartSmbiosTable(SmbiosTableCursor* cursor, const uint8_t* table, size_t length) {
  *cursor = SmbiosTableCursor{table, table != nullptr ? length : 0, 0, false, SmbiosTableError::None};
}

bool NextSmbiosStructure(SmbiosTableCursor* cursor, SmbiosStructure* structure) {
  if (cursor->ended || cursor->offset == cursor->length) {
    cursor->ended = true;
    return false;
  }
  const size_t left = cursor->length - cursor->offset;
  const uint8_t* start = cursor->table + cursor->offset;
  if (left < kHeaderLength) return Fail(cursor, SmbiosTableError::HeaderCutOff);
  const uint8_t formattedLength = start[1];
  if (formattedLength < kHeaderLength) return Fail(cursor, SmbiosTableError::FormattedLengthUnder4);
  if (formattedLength > left) return Fail(cursor, SmbiosTableError::FormattedPastEnd);

  // The string set ends at the first double NUL from the end of the formatted
  // area on; a structure without strings is followed by just the double NUL.
  size_t end = formattedLength;
  while (end + 1 < left && !(start[end] == 0 && start[end + 1] == 0)) ++end;
  if (end + 1 >= left) return Fail(cursor, SmbiosTableError::StringSetUnterminated);

  *structure = SmbiosStructure{cursor->offset,
                               start[0],
                               formattedLength,
                               static_cast<uint16_t>(start[2] | (start[3] << 8)),
                               start,
                               start + formattedLength,
                               end + 2 - formattedLength};
  cursor->offset += end + 2;
  if (structure->type == kSmbiosEndOfTable) cursor->ended = true;
  return true;
}

const char* SmbiosTableErrorText(SmbiosTableError error) {
  const auto index = static_cast<size_t>(error);
  return index < sizeof kErrorTexts / sizeof kErrorTexts[0] ? kErrorTexts[index] : "unknown error";
}

SmbiosStringStatus SmbiosFieldString(const SmbiosStructure& structure, uint8_t fieldOffset, const char** text,
                                     size_t* length) {
  if (fieldOffset >= structure.formattedLength) return SmbiosStringStatus::Absent;
  const uint8_t number = structure.formatted[fieldOffset];
  if (number == 0) return SmbiosStringStatus::Absent;
  // The set is "s1 NUL s2 NUL ... sN NUL NUL"; with no strings just "NUL NUL".
  // Its last byte is the closing NUL, so every string ends inside the set.
  const uint8_t* strings = structure.strings;
  const size_t setLength = structure.stringsLength;
  size_t start = 0;
  for (uint8_t n = 1; start + 1 < setLength && strings[start] != 0; ++n) {
    size_t end = start;
    while (strings[end] != 0) ++end;
    if (n == number) {
      *text = reinterpret_cast<const char*>(strings + start);
      *length = end - start;
      return SmbiosStringStatus::Present;
    }
    start = end + 1;
  }
  return SmbiosStringStatus::PastStringSet;
}

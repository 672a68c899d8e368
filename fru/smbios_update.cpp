#include "fru/smbios_update.hpp"

#include "fru/fru_write.hpp"
#include "fru/smbios_template_format.hpp"
#include "platform/platform.hpp"
#include "support/exit_status.hpp"
#include "support/file_stream.hpp"
#include "support/format.hpp"
#include "support/text.hpp"

namespace {

// fgets with this buffer reads at most 127 characters: the template's pieces.
constexpr size_t kLineBufferSize = kSmbiosTemplateLineLimit + 1;
constexpr size_t kClosingCharacters = 2;  // as a rule ";" and the newline

// The section a header line starts, or 0 for any other line. Only the exact
// header counts: no other spacing, no carriage return before the newline.
uint8_t SectionOfHeader(const char* line) {
  for (const SmbiosTemplateSection& section : kSmbiosTemplateSections) {
    if (StringEquals(line, section.header)) return section.type;
  }
  return 0;
}

SmbiosTemplateRead TakeValue(const char* line, char* value, size_t capacity) {
  const size_t length = StringLength(line);
  size_t equals = 0;
  while (equals < length && line[equals] != '=') ++equals;
  if (equals == length) return SmbiosTemplateRead::NoValue;
  const size_t start = equals + 1;
  size_t end = start;
  while (end < length && line[end] != '=') ++end;
  // The value part must run to a complete line's end: a second "=" would cut
  // the value short, and so would a line that is only a 127-character piece or
  // a last line cut off before its newline.
  if (end != length || line[length - 1] != '\n') return SmbiosTemplateRead::NoValue;
  if (end - start <= kClosingCharacters) return SmbiosTemplateRead::NoValue;  // nothing, or an empty value
  const size_t valueLength = end - start - kClosingCharacters;
  if (valueLength > kSmbiosValueMaxLength || valueLength >= capacity) return SmbiosTemplateRead::TooLong;
  CopyBytes(value, line + start, valueLength);
  value[valueLength] = '\0';
  return SmbiosTemplateRead::Found;
}

}  // namespace

const SmbiosSelector* FindSmbiosSelector(const char* code) {
  for (const SmbiosSelector& selector : kSmbiosSelectors) {
    if (StringEquals(code, selector.code)) return &selector;
  }
  return nullptr;
}

bool IsSmbiosUpdateCode(const char* word, bool) { return FindSmbiosSelector(word) != nullptr; }

SmbiosTemplateRead ReadSmbiosTemplateValue(const char* fileName, uint8_t sectionType, uint8_t lineIndex, char* value,
                                           size_t capacity) {
  FileStream stream;
  if (!OpenFileStream(&stream, fileName, FileMode::ReadText)) return SmbiosTemplateRead::FileMissing;
  char line[kLineBufferSize];
  uint8_t currentSection = 0;
  unsigned counted = 0;
  bool found = false;
  while (!found && ReadLine(&stream, line, sizeof line) != nullptr) {
    if (StringLength(line) == 1) continue;  // a line of just its newline
    if (currentSection == sectionType) {
      if (counted == lineIndex) {
        found = true;
        continue;
      }
      ++counted;  // never reset: only lines of the wanted section are counted
    }
    const uint8_t header = SectionOfHeader(line);
    if (header != 0) currentSection = header;
  }
  CloseFileStream(&stream);
  if (!found) return SmbiosTemplateRead::NoValue;
  return TakeValue(line, value, capacity);
}

int UpdateFruFromSmbios(FruSession& fru, bool fru1Mode, const char* code) {
  const SmbiosSelector* selector = FindSmbiosSelector(code);
  if (selector == nullptr) {
    Printf("Invalid parameters.\n");
    return kStatusInvalidOperand;
  }
  // The same medium moves from machine to machine: a template left by another
  // machine, or by an earlier run, must not stand in for this machine's tables
  // when the dump is missing or fails.
  if (!FileDelete(kSmbiosTemplateFileName)) {
    Printf("Cannot delete old SmbiosTemplate file\n");
    return kStatusFailed;
  }
  // The dump's status tells nothing reliable (the UEFI shell reports a missing
  // program as success); the file it leaves is what counts.
  RunCommandLine(kSmbiosDumpCommandLine);

  char value[kSmbiosValueMaxLength + 1];
  switch (ReadSmbiosTemplateValue(kSmbiosTemplateFileName, selector->sectionType, selector->lineIndex, value,
                                  sizeof value)) {
    case SmbiosTemplateRead::Found:
      // One character would take the type/length byte C0h + 1, C1h, which ends
      // an area's fields. The field write refuses it as an operand the user can
      // change; here it is this machine's string, so the update reports it.
      if (StringLength(value) == kTypeLengthEndOfFields - kTypeLength8BitText) {
        Printf("Value for %s in SmbiosTemplate file is a single character, which a FRU field cannot hold\n",
               selector->code);
        return kStatusFailed;
      }
      return WriteFruField(fru, fru1Mode, selector->fruField, value);
    case SmbiosTemplateRead::FileMissing:
      Printf("Not found SmbiosTemplate file\n");
      return kStatusFailed;
    case SmbiosTemplateRead::NoValue:
      Printf("No value for %s in SmbiosTemplate file\n", selector->code);
      return kStatusFailed;
    case SmbiosTemplateRead::TooLong:
      Printf("Value for %s in SmbiosTemplate file is longer than %zu characters\n", selector->code,
             kSmbiosValueMaxLength);
      return kStatusFailed;
  }
  return kStatusFailed;
}

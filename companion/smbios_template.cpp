#include "companion/smbios_template.hpp"

#include <cstdint>

#include "fru/smbios_template_format.hpp"
#include "support/format.hpp"
#include "support/text.hpp"

namespace {

struct TemplateLine {
  const char* key;
  uint8_t fieldOffset;  // of the string number in the structure's formatted area
};

struct TemplateSectionLines {
  uint8_t type;
  const char* name;  // as the SMBIOS standard names the structure
  TemplateLine lines[4];
  size_t lineCount;
};

// The strings of each section in the order of the SMBIOS standard (sections 7.2,
// 7.3 and 7.4), the order the reader counts them in.
// clang-format off
constexpr TemplateSectionLines kSectionLines[] = {
    {1, "System Information", {{"Manufacturer", 0x04}, {"ProductName", 0x05}, {"Version", 0x06}, {"SerialNumber", 0x07}}, 4},
    {2, "Baseboard Information", {{"Manufacturer", 0x04}, {"Product", 0x05}, {"Version", 0x06}, {"SerialNumber", 0x07}}, 4},
    {3, "System Enclosure or Chassis", {{"Manufacturer", 0x04}, {"Version", 0x06}, {"SerialNumber", 0x07}, {}}, 3},
};
// clang-format on
constexpr bool SectionsAgreeWithHeaders() {
  if (sizeof kSectionLines / sizeof kSectionLines[0] !=
      sizeof kSmbiosTemplateSections / sizeof kSmbiosTemplateSections[0]) {
    return false;
  }
  for (size_t s = 0; s < sizeof kSectionLines / sizeof kSectionLines[0]; ++s) {
    if (kSectionLines[s].type != kSmbiosTemplateSections[s].type) return false;
  }
  return true;
}
static_assert(SectionsAgreeWithHeaders());

constexpr size_t kLineFraming = 3;  // "=", ";" and the newline around the value

struct TextOut {
  char* data;
  size_t capacity;
  size_t length;
  bool overflow;
};

void Append(TextOut* out, const char* text, size_t length) {
  if (out->overflow || length > out->capacity - out->length) {
    out->overflow = true;
    return;
  }
  CopyBytes(out->data + out->length, text, length);
  out->length += length;
}

void Append(TextOut* out, const char* text) { Append(out, text, StringLength(text)); }

bool BreaksLine(uint8_t c) { return c < 0x20 || c == 0x7F || c == '='; }

void AppendValueLine(TextOut* out, uint8_t type, const TemplateLine& line, const SmbiosStructure& structure) {
  const char* text = "";
  size_t length = 0;
  switch (SmbiosFieldString(structure, line.fieldOffset, &text, &length)) {
    case SmbiosStringStatus::Present:
      break;
    case SmbiosStringStatus::Absent:
      text = "";
      length = 0;
      break;
    case SmbiosStringStatus::PastStringSet:
      Printf("Warning: Type %u %s left empty: string %u is not in the structure.\n", unsigned{type}, line.key,
             unsigned{structure.formatted[line.fieldOffset]});
      text = "";
      length = 0;
      break;
  }
  switch (CheckTemplateValue(line.key, text, length)) {
    case TemplateValueCheck::Fits:
      break;
    case TemplateValueCheck::BreaksLine:
      Printf("Warning: Type %u %s left empty: it holds \"=\" or a control character.\n", unsigned{type}, line.key);
      length = 0;
      break;
    case TemplateValueCheck::TooLong:
      Printf("Warning: Type %u %s left empty: it is longer than %zu characters.\n", unsigned{type}, line.key,
             kSmbiosTemplateLineLimit - kLineFraming - StringLength(line.key));
      length = 0;
      break;
  }
  Append(out, line.key);
  Append(out, "=");
  Append(out, text, length);
  Append(out, ";\n");
}

}  // namespace

TemplateValueCheck CheckTemplateValue(const char* key, const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (BreaksLine(static_cast<uint8_t>(text[i]))) return TemplateValueCheck::BreaksLine;
  }
  if (StringLength(key) + kLineFraming + length > kSmbiosTemplateLineLimit) return TemplateValueCheck::TooLong;
  return TemplateValueCheck::Fits;
}

size_t BuildSmbiosTemplate(const SmbiosStructure* const byType[4], char* text, size_t capacity) {
  TextOut out{text, capacity, 0, false};
  bool first = true;
  for (size_t s = 0; s < sizeof kSectionLines / sizeof kSectionLines[0]; ++s) {
    const TemplateSectionLines& section = kSectionLines[s];
    const SmbiosStructure* structure = byType[section.type];
    if (structure == nullptr) {
      Printf("Type %u (%s) is not in the SMBIOS tables: no section for it.\n", unsigned{section.type}, section.name);
      continue;
    }
    if (!first) Append(&out, "\n");  // a blank line between sections
    first = false;
    Append(&out, kSmbiosTemplateSections[s].header);
    for (size_t i = 0; i < section.lineCount; ++i) {
      AppendValueLine(&out, section.type, section.lines[i], *structure);
    }
  }
  return out.overflow ? 0 : out.length;
}

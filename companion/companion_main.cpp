#include "companion/companion_main.hpp"

#include <cstddef>
#include <cstdint>

#include "companion/smbios_entry_point.hpp"
#include "companion/smbios_table.hpp"
#include "companion/smbios_template.hpp"
#include "fru/smbios_template_format.hpp"
#include "platform/platform.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/text.hpp"

namespace {

constexpr const char* kUsageLines[] = {
    "tablornX64: SMBIOS strings for the FRU update from SMBIOS.\n",
    "Usage: tablornX64.efi -d\n",
    "  -d    Write the SMBIOS type 1, 2 and 3 strings to SmbiosTemplate.cfg\n",
    "        in the current directory.\n",
};

char TemplateText[kSmbiosTemplateCapacity];

int ShowUsage() {
  for (const char* line : kUsageLines) Printf("%s", line);
  return kStatusUsage;
}

// The structure table the tables lead to, bounded by what is readable and by
// what the entry point says. false after printing why there is none.
bool LocateStructureTable(const SmbiosTableBytes& tables, SmbiosEntryPoint* entry, size_t* length) {
  *length = tables.structuresLength;
  if (tables.entryPoint != nullptr) {
    const SmbiosEntryPointError error = DecodeSmbiosEntryPoint(tables.entryPoint, tables.entryPointLength, entry);
    if (error != SmbiosEntryPointError::None) {
      Printf("Error: SMBIOS entry point: %s.\n", SmbiosEntryPointErrorText(error));
      return false;
    }
    const size_t available = tables.structures != nullptr ? tables.structuresLength : 0;
    if (available < entry->tableLength) {
      Printf("Error: The SMBIOS structure table holds %zu bytes; its entry point says %u.\n", available,
             static_cast<unsigned>(entry->tableLength));
      return false;
    }
    *length = entry->tableLength;
  }
  if (tables.structures == nullptr || *length == 0) {
    Printf("Error: The SMBIOS structure table is empty.\n");
    return false;
  }
  return true;
}

bool WriteTemplate(const char* text, size_t length) {
  PlatformFile* file = FileOpen(kSmbiosTemplateFileName, FileMode::WriteBinary);
  if (file == nullptr) return false;
  const size_t written = FileWrite(file, text, length);
  const bool closed = FileClose(file);
  if (written == length && closed) return true;
  // A partial file could hand the reader a cut value line: leave none.
  FileDelete(kSmbiosTemplateFileName);
  return false;
}

int DumpSmbiosTemplate() {
  // A template left from another machine must never outlive a failed dump.
  if (!FileDelete(kSmbiosTemplateFileName)) {
    Printf("Error: Cannot delete the old %s.\n", kSmbiosTemplateFileName);
    return kStatusFailed;
  }
  SmbiosTableBytes tables{};
  if (!FindSmbiosTable(&tables)) {
    Printf("Error: No SMBIOS tables found.\n");
    return kStatusFailed;
  }
  SmbiosEntryPoint entry{};
  size_t length = 0;
  if (!LocateStructureTable(tables, &entry, &length)) return kStatusFailed;

  SmbiosStructure found[4] = {};
  const SmbiosStructure* byType[4] = {};
  SmbiosTableCursor cursor;
  StartSmbiosTable(&cursor, tables.structures, length);
  SmbiosStructure structure;
  while (NextSmbiosStructure(&cursor, &structure)) {
    // The first structure of each type counts: a system has one of each.
    if (structure.type < 4 && byType[structure.type] == nullptr) {
      found[structure.type] = structure;
      byType[structure.type] = &found[structure.type];
    }
  }
  if (cursor.error != SmbiosTableError::None) {
    Printf("Error: SMBIOS structure at offset %zu: %s.\n", cursor.offset, SmbiosTableErrorText(cursor.error));
    return kStatusFailed;
  }

  if (byType[1] == nullptr && byType[2] == nullptr && byType[3] == nullptr) {
    Printf("Error: The SMBIOS tables hold no type 1, 2 or 3 structure.\n");
    return kStatusFailed;
  }
  const size_t textLength = BuildSmbiosTemplate(byType, TemplateText, sizeof TemplateText);
  if (textLength == 0 || !WriteTemplate(TemplateText, textLength)) {
    Printf("Error: Cannot write %s.\n", kSmbiosTemplateFileName);
    return kStatusFailed;
  }
  if (tables.entryPoint != nullptr) {
    Printf("Wrote %s from the SMBIOS %u.%u tables.\n", kSmbiosTemplateFileName, unsigned{entry.majorVersion},
           unsigned{entry.minorVersion});
  } else {
    Printf("Wrote %s from an SMBIOS structure table.\n", kSmbiosTemplateFileName);
  }
  return kStatusSuccess;
}

}  // namespace

int CompanionMain(int argc, char* argv[]) {
  if (argc != 2 || !StringEquals(argv[1], "-d")) return ShowUsage();
  return DumpSmbiosTemplate();
}

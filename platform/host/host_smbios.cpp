// FindSmbiosTable on Linux: the SMBIOS tables read from files.
//
//   TOLVANE_SMBIOS_TABLE=FILE        the structure table (raw structures, as
//                                    /sys/firmware/dmi/tables/DMI holds them)
//   TOLVANE_SMBIOS_ENTRY_POINT=FILE  its entry point (as .../smbios_entry_point);
//                                    without it the table is walked on its own
//                                    length, with no version
// Neither set: this machine's /sys/firmware/dmi/tables/smbios_entry_point and
// /sys/firmware/dmi/tables/DMI (readable by root). The file stands for the
// memory the entry point's table address names, so that address is not used.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace {

std::vector<uint8_t> EntryPointBytes;
std::vector<uint8_t> StructureBytes;

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "tablorn: cannot read %s: %s\n", path, std::strerror(errno));
    return false;
  }
  bytes->clear();
  uint8_t chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  if (!ok) std::fprintf(stderr, "tablorn: cannot read %s\n", path);
  return ok;
}

}  // namespace

bool FindSmbiosTable(SmbiosTableBytes* tables) {
  *tables = SmbiosTableBytes{};
  const char* tablePath = std::getenv("TOLVANE_SMBIOS_TABLE");
  const char* entryPath = std::getenv("TOLVANE_SMBIOS_ENTRY_POINT");
  if (tablePath == nullptr || *tablePath == '\0') {
    tablePath = "/sys/firmware/dmi/tables/DMI";
    entryPath = "/sys/firmware/dmi/tables/smbios_entry_point";
  }
  if (entryPath != nullptr && *entryPath != '\0') {
    if (!ReadWholeFile(entryPath, &EntryPointBytes)) return false;
    static const uint8_t kNoBytes[1] = {};  // an empty file is still an entry point, a wrong one
    tables->entryPoint = EntryPointBytes.empty() ? kNoBytes : EntryPointBytes.data();
    tables->entryPointLength = EntryPointBytes.size();
  }
  if (!ReadWholeFile(tablePath, &StructureBytes)) return false;
  tables->structures = StructureBytes.empty() ? nullptr : StructureBytes.data();
  tables->structuresLength = StructureBytes.size();
  return true;
}

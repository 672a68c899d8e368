// The SMBIOS dump over any tables: an entry point (2.x or 3.x, or none) and a
// structure table of any bytes. The template it writes must never give the
// FRU update a wrong value: every value the tool's reading of the template
// finds is one of the table's strings, whole.
//
// Input: flags (bit 0: an entry point is given), the entry point's bytes, then
// the structure table.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "companion/companion_main.hpp"
#include "fru/smbios_template_format.hpp"
#include "fru/smbios_update.hpp"
#include "fuzz/fuzz_input.hpp"
#include "fuzz/fuzz_platform.hpp"
#include "fuzz/fuzz_target.hpp"

namespace {

constexpr size_t kMaxEntryPointBytes = 40;
constexpr size_t kMaxTableBytes = 16384;

// Whether text is one whole string of the table's string sets: preceded by a
// NUL (or a structure's formatted area) and followed by its NUL.
bool IsTableString(const std::vector<uint8_t>& table, const std::string& text) {
  if (text.empty()) return true;
  const std::vector<uint8_t> wanted(text.begin(), text.end());
  for (size_t at = 0; at + wanted.size() < table.size(); ++at) {
    if (table[at + wanted.size()] == 0 && std::memcmp(table.data() + at, wanted.data(), wanted.size()) == 0) {
      return true;
    }
  }
  return false;
}

std::vector<fuzz::Input> Seeds() {
  // A structure table of types 1, 2, 3 and 127 without an entry point.
  const uint8_t type1[] = {1, 8, 0, 1, 1, 2, 3, 4, 'M', 0, 'P', 0, 'V', 0, 'S', 0, 0};
  const uint8_t type2[] = {2, 8, 0, 2, 1, 2, 3, 4, 'B', 0, 'R', 0, 'D', 0, 'N', 0, 0};
  const uint8_t type3[] = {3, 9, 0, 3, 1, 1, 2, 3, 0, 'C', 0, 'H', 0, 'X', 0, 0};
  const uint8_t end[] = {127, 4, 0, 4, 0, 0};
  fuzz::Input input = {0};
  fuzz::AppendField(input, {}, kMaxEntryPointBytes);
  for (const auto& part : {std::vector<uint8_t>(std::begin(type1), std::end(type1)),
                           std::vector<uint8_t>(std::begin(type2), std::end(type2)),
                           std::vector<uint8_t>(std::begin(type3), std::end(type3)),
                           std::vector<uint8_t>(std::begin(end), std::end(end))}) {
    input.insert(input.end(), part.begin(), part.end());
  }
  return {input};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::WriteSeedsIfAsked(Seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const bool withEntryPoint = input.Flag();
  const std::vector<uint8_t> entryPoint = input.Bytes(kMaxEntryPointBytes);
  std::vector<uint8_t> table = input.Rest();
  if (table.size() > kMaxTableBytes) table.resize(kMaxTableBytes);

  fuzz::Machine machine;
  if (withEntryPoint) {
    machine.smbiosEntryPoint = entryPoint.data();
    machine.smbiosEntryPointLength = entryPoint.size();
  }
  machine.smbiosStructures = table.data();
  machine.smbiosStructuresLength = table.size();
  char program[] = "tablornX64.efi";
  char dump[] = "-d";
  char* argv[] = {program, dump, nullptr};
  fuzz::CheckExitStatus(fuzz::RunCore(machine, [&argv] { return CompanionMain(2, argv); }));
  if (machine.files.count(kSmbiosTemplateFileName) == 0) return 0;

  // Every value the tool would take from this template is a table string.
  for (const SmbiosSelector& selector : kSmbiosSelectors) {
    char value[kSmbiosValueMaxLength + 1] = {};
    SmbiosTemplateRead read = SmbiosTemplateRead::NoValue;
    fuzz::RunCore(machine, [&] {
      read = ReadSmbiosTemplateValue(kSmbiosTemplateFileName, selector.sectionType, selector.lineIndex, value,
                                     sizeof value);
      return 0;
    });
    if (read == SmbiosTemplateRead::Found && !IsTableString(table, value)) {
      std::fprintf(stderr, "fuzz: the template gives %s the value \"%s\", not a string of the tables\n", selector.code,
                   value);
      std::abort();
    }
  }
  return 0;
}

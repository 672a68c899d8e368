// The SMBIOS dump (tablornX64 -d) on the host binding: the template text, the
// strings it refuses to write, and whole runs on hand-made tables given as
// files, with the console and the file left behind checked exactly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "companion/companion_main.hpp"
#include "companion/smbios_template.hpp"
#include "platform/host/host_platform.hpp"
#include "tests/unit/smbios_builder.hpp"

namespace {

TEST(TemplateValue, RefusesWhatWouldBreakOrCutTheLine) {
  struct Case {
    std::string text;
    TemplateValueCheck check;
  };
  const Case cases[] = {
      {"SYS-SN-0001", TemplateValueCheck::Fits},
      {"", TemplateValueCheck::Fits},
      {"CH-SN,0003; x y", TemplateValueCheck::Fits},  // ";" and blanks stay inside the value
      {"~ \x80\xC3\x84\xFF", TemplateValueCheck::Fits},
      {"CH=SN", TemplateValueCheck::BreaksLine},
      {"=", TemplateValueCheck::BreaksLine},
      {"SN\n", TemplateValueCheck::BreaksLine},
      {"SN\r", TemplateValueCheck::BreaksLine},
      {"S\tN", TemplateValueCheck::BreaksLine},
      {"\x01", TemplateValueCheck::BreaksLine},
      {"\x1F", TemplateValueCheck::BreaksLine},
      {"\x7F", TemplateValueCheck::BreaksLine},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.check, CheckTemplateValue("SerialNumber", c.text.data(), c.text.size())) << c.text;
  }
  // key "=" value ";" newline in at most 127 characters: 112 after a 12-letter key, 117 after "Version".
  const std::string longest(117, 'x');
  EXPECT_EQ(TemplateValueCheck::Fits, CheckTemplateValue("SerialNumber", longest.data(), 112));
  EXPECT_EQ(TemplateValueCheck::TooLong, CheckTemplateValue("SerialNumber", longest.data(), 113));
  EXPECT_EQ(TemplateValueCheck::Fits, CheckTemplateValue("Version", longest.data(), 117));
  EXPECT_EQ(TemplateValueCheck::TooLong, CheckTemplateValue("Version", (longest + "x").data(), 118));
}

const char kFullTemplate[] =
    "[ Type 1 ]:1;\n"
    "Manufacturer=Tolvane Systems;\n"
    "ProductName=TV-1000 Server;\n"
    "Version=1.0a;\n"
    "SerialNumber=SYS-SN-0001;\n"
    "\n"
    "[ Type 2 ]:1;\n"
    "Manufacturer=Board Maker;\n"
    "Product=BRD-2;\n"
    "Version=B2.0;\n"
    "SerialNumber=BRD-SN-0002;\n"
    "\n"
    "[ Type 3 ]:1;\n"
    "Manufacturer=Chassis Maker;\n"
    "Version=C3;\n"
    "SerialNumber=CH-SN-0003;\n";

Bytes FullTable() {
  return Joined({SmbiosStructureBytes(0, 0, {1, 2, 0, 0xE8, 3}, {"Vendor", "1.0", "01/01/2024"}),
                 SmbiosStringStructure(1, {"Tolvane Systems", "TV-1000 Server", "1.0a", "SYS-SN-0001"}),
                 SmbiosStringStructure(2, {"Board Maker", "BRD-2", "B2.0", "BRD-SN-0002"}),
                 SmbiosStringStructure(3, {"Chassis Maker", "C3", "CH-SN-0003"}),
                 // A second chassis: only the first structure of a type counts.
                 SmbiosStringStructure(3, {"Other", "X", "OTHER-SN"}), SmbiosEndOfTable()});
}

// One run of "tablornX64 -d" (or other arguments) in a scratch directory, with
// the tables given as files.
struct DumpRun {
  int status;
  std::string console;
  std::string file;
};

DumpRun RunDump(const Bytes* entryPoint, const Bytes* table, const std::vector<std::string>& arguments = {"-d"},
                const std::string& staleTemplate = "") {
  ScratchDirectory scratch;
  if (!staleTemplate.empty()) ScratchDirectory::Write("SmbiosTemplate.cfg", staleTemplate);
  if (table != nullptr) ScratchDirectory::Write("DMI", *table);
  if (entryPoint != nullptr) ScratchDirectory::Write("smbios_entry_point", *entryPoint);
  setenv("TOLVANE_SMBIOS_TABLE", scratch.Path("DMI").c_str(), 1);
  if (entryPoint != nullptr) {
    setenv("TOLVANE_SMBIOS_ENTRY_POINT", scratch.Path("smbios_entry_point").c_str(), 1);
  } else {
    unsetenv("TOLVANE_SMBIOS_ENTRY_POINT");
  }
  std::vector<std::string> storage = {"tablorn"};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  DumpRun run;
  CaptureConsole(&run.console);
  run.status = CompanionMain(static_cast<int>(storage.size()), argv.data());
  CaptureConsole(nullptr);
  run.file = ScratchDirectory::Read("SmbiosTemplate.cfg");
  unsetenv("TOLVANE_SMBIOS_TABLE");
  unsetenv("TOLVANE_SMBIOS_ENTRY_POINT");
  return run;
}

TEST(SmbiosDump, WritesTheTemplateFromA2xTable) {
  const Bytes table = FullTable();
  const Bytes entry = SmbiosEntryPoint2(0x0F51F000, static_cast<uint16_t>(table.size()));
  const DumpRun run = RunDump(&entry, &table);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("Wrote SmbiosTemplate.cfg from the SMBIOS 2.8 tables.\n", run.console);
  EXPECT_EQ(kFullTemplate, run.file);
}

TEST(SmbiosDump, A3xTableEndsAtItsEndOfTableStructure) {
  Bytes table = FullTable();
  const uint32_t used = static_cast<uint32_t>(table.size());
  table.resize(used + 64, 0xFF);  // the rest of the maximum size is not structures
  const Bytes entry = SmbiosEntryPoint3(0x7F000000, used + 64, 3, 2);
  const DumpRun run = RunDump(&entry, &table);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ("Wrote SmbiosTemplate.cfg from the SMBIOS 3.2 tables.\n", run.console);
  EXPECT_EQ(kFullTemplate, run.file);
}

TEST(SmbiosDump, MissingTypesAndStringsAndHostileStrings) {
  const std::string longSerial(113, 'L');
  const Bytes table = Joined({
      // Type 1: no product name (string 0), a version with "=", a serial past the strings.
      SmbiosStructureBytes(1, 0x100, {1, 0, 2, 3}, {"QEMU", "pc=q35"}),
      // Type 3: a control character and a serial one character too long for its line.
      SmbiosStringStructure(3, {"Chassis\tMaker", "C3", longSerial}),
      SmbiosEndOfTable(),
  });
  const Bytes entry = SmbiosEntryPoint2(0x1000, static_cast<uint16_t>(table.size()), 2, 3);
  const DumpRun run = RunDump(&entry, &table);
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(
      "Warning: Type 1 Version left empty: it holds \"=\" or a control character.\n"
      "Warning: Type 1 SerialNumber left empty: string 3 is not in the structure.\n"
      "Type 2 (Baseboard Information) is not in the SMBIOS tables: no section for it.\n"
      "Warning: Type 3 Manufacturer left empty: it holds \"=\" or a control character.\n"
      "Warning: Type 3 SerialNumber left empty: it is longer than 112 characters.\n"
      "Wrote SmbiosTemplate.cfg from the SMBIOS 2.3 tables.\n",
      run.console);
  EXPECT_EQ(
      "[ Type 1 ]:1;\nManufacturer=QEMU;\nProductName=;\nVersion=;\nSerialNumber=;\n\n"
      "[ Type 3 ]:1;\nManufacturer=;\nVersion=C3;\nSerialNumber=;\n",
      run.file);

  // One character shorter: written as it is.
  const Bytes fits = Joined({SmbiosStringStructure(3, {"M", "V", longSerial.substr(1)}), SmbiosEndOfTable()});
  const DumpRun fitting = RunDump(nullptr, &fits);
  EXPECT_EQ(0, fitting.status);
  EXPECT_NE(std::string::npos, fitting.file.find("SerialNumber=" + longSerial.substr(1) + ";\n"));
  EXPECT_EQ(127u, ("SerialNumber=" + longSerial.substr(1) + ";\n").size());
}

TEST(SmbiosDump, MalformedTablesWriteNothingAndLeaveNoOldTemplate) {
  const Bytes good = SmbiosStringStructure(1, {"A", "B", "C", "D"});
  const Bytes goodTable = Joined({good, SmbiosEndOfTable()});
  const Bytes badTable = Joined({good, Bytes{3, 2, 0, 3, 0, 0}});
  const Bytes entryShort = SmbiosEntryPoint2(0x1000, static_cast<uint16_t>(goodTable.size() + 1));
  Bytes badChecksum = SmbiosEntryPoint3(0x1000, static_cast<uint32_t>(goodTable.size()));
  badChecksum[0x10] ^= 0x40;
  const Bytes empty;
  const Bytes noWantedTypes = Joined({SmbiosStructureBytes(4, 0x400, {1}, {"CPU"}), SmbiosEndOfTable()});
  struct Case {
    const char* name;
    const Bytes* entry;
    const Bytes* table;
    const char* console;
  };
  const Case cases[] = {
      {"malformed structure", nullptr, &badTable, "Error: SMBIOS structure at offset 17: its length is under 4.\n"},
      {"table shorter than its entry point says", &entryShort, &goodTable,
       "Error: The SMBIOS structure table holds 23 bytes; its entry point says 24.\n"},
      {"entry point checksum", &badChecksum, &goodTable, "Error: SMBIOS entry point: checksum error.\n"},
      {"empty entry point file", &empty, &goodTable, "Error: SMBIOS entry point: no \"_SM_\" or \"_SM3_\" anchor.\n"},
      {"empty table", nullptr, &empty, "Error: The SMBIOS structure table is empty.\n"},
      {"no type 1, 2 or 3", nullptr, &noWantedTypes, "Error: The SMBIOS tables hold no type 1, 2 or 3 structure.\n"},
      {"no table file", nullptr, nullptr, "Error: No SMBIOS tables found.\n"},
  };
  for (const Case& c : cases) {
    const DumpRun run = RunDump(c.entry, c.table, {"-d"}, "[ Type 1 ]:1;\nK=OLD-MACHINE;\n");
    EXPECT_EQ(11, run.status) << c.name;
    EXPECT_EQ(c.console, run.console) << c.name;
    EXPECT_EQ("<missing>", run.file) << c.name;
  }
}

TEST(SmbiosDump, UsageForAnythingButDashD) {
  const Bytes table = FullTable();
  const std::vector<std::vector<std::string>> argumentLists = {{}, {"-D"}, {"d"}, {"-d", "-d"}, {"-dump"}};
  for (const auto& arguments : argumentLists) {
    const DumpRun run = RunDump(nullptr, &table, arguments);
    EXPECT_EQ(31, run.status);
    EXPECT_EQ(
        "tablornX64: SMBIOS strings for the FRU update from SMBIOS.\n"
        "Usage: tablornX64.efi -d\n"
        "  -d    Write the SMBIOS type 1, 2 and 3 strings to SmbiosTemplate.cfg\n"
        "        in the current directory.\n",
        run.console);
    EXPECT_EQ("<missing>", run.file);
  }
}

}  // namespace

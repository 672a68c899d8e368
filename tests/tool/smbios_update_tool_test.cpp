// -fru 1m .. 3s as a whole run: the tool runs the SMBIOS dump (the host build,
// on PATH as tablornX64.efi, reading a hand-made table) in its current
// directory, takes the string from the template the dump wrote and writes it
// into the FRU, then lists the FRU. And the runs that must write nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/fru/fru_test_image.hpp"
#include "tests/tool/fru_tool_support.hpp"
#include "tests/tool/tool_harness.hpp"
#include "tests/unit/smbios_builder.hpp"

namespace {

using fru_test::BoardArea;
using fru_test::Bytes;
using fru_test::ChassisArea;
using fru_test::Fields;
using fru_test::kHeaderBoard;
using fru_test::kHeaderChassis;
using fru_test::kHeaderProduct;
using fru_test::LaidOut;
using fru_test::ProductArea;
using fru_tool::ExpectFieldWrite;
using fru_tool::FruScenario;
using fru_tool::ImageAfter;

// The FRU's text fields; a case changes one of them.
struct FruText {
  std::string cp = "CH-7000-R2", cs = "TLV24C0117";
  std::string bm = "Tolvane Systems", bpn = "TS-7000 Mainboard", bs = "MB24A0339", bp = "MB-7000-03";
  std::string pm = "Tolvane Systems", pn = "TS-7000", ppm = "TS7000-2U", pv = "1.1", ps = "SRV24C0117",
              pat = "ASSET-0117";
};

// The FRU with these fields: the image as the tool writes it (size 0) or the
// device of that size holding it.
Bytes Fru(const FruText& t, size_t size) {
  return LaidOut({{kHeaderChassis, ChassisArea(0x17, Fields({t.cp, t.cs}))},
                  {kHeaderBoard, BoardArea({0xF0, 0x59, 0xE2}, Fields({t.bm, t.bpn, t.bs, t.bp, ""}))},
                  {kHeaderProduct, ProductArea(Fields({t.pm, t.pn, t.ppm, t.pv, t.ps, t.pat, ""}))}},
                 size);
}
constexpr size_t kFruSize = 256;

// This machine's SMBIOS tables: system, baseboard (unless left out) and chassis.
const std::string kChassisSerial63(63, 'C');
Bytes Tables(const std::string& systemSerial = "SYS-SN-0001", bool baseboard = true) {
  return Joined({SmbiosStringStructure(1, {"Sys Maker Inc.", "TV-1000 Server", "1.0a", systemSerial}),
                 baseboard ? SmbiosStringStructure(2, {"Board Maker", "BRD-2000", "B2.0", "BRD-SN-0002"}) : Bytes{},
                 SmbiosStringStructure(3, {"Chassis Maker", "C3", kChassisSerial63}), SmbiosEndOfTable()});
}
const Bytes kTable = Tables();
const char kDumpWrote[] = "Wrote SmbiosTemplate.cfg from the SMBIOS 3.0 tables.\n";

// A template "from another server": whole and readable, so using it would write.
const char kStaleTemplate[] =
    "[ Type 1 ]:1;\nManufacturer=Other;\nProductName=Other Server;\nVersion=9;\nSerialNumber=OTHER-SN;\n\n"
    "[ Type 2 ]:1;\nManufacturer=Other;\nProduct=Other Board;\nVersion=9;\nSerialNumber=OTHER-BS;\n\n"
    "[ Type 3 ]:1;\nManufacturer=Other;\nVersion=9;\nSerialNumber=OTHER-CS;\n";

// Each test has a fresh directory under GoogleTest's temporary directory as the
// runs' working directory; it holds bin/ (the dump, when a case has one), the
// table and its entry point.
class ToolSmbiosUpdate : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, mkdir(scratch_.Path("bin").c_str(), 0755)); }

  // The run's environment: PATH holding only bin/, with the dump in it reading
  // table (none: no dump anywhere on PATH).
  Environment Machine(const Bytes* table) {
    unlink(scratch_.Path("bin/tablornX64.efi").c_str());
    if (table != nullptr) {
      EXPECT_EQ(0, symlink(TOLVANE_HOST_COMPANION, scratch_.Path("bin/tablornX64.efi").c_str()));
      ScratchDirectory::Write("DMI", *table);
      const auto length = static_cast<uint32_t>(table->size());
      ScratchDirectory::Write("smbios_entry_point", SmbiosEntryPoint3(0x0F51D000, length));
    }
    return {{"PATH", scratch_.Path("bin")},
            {"TOLVANE_SMBIOS_TABLE", scratch_.Path("DMI")},
            {"TOLVANE_SMBIOS_ENTRY_POINT", scratch_.Path("smbios_entry_point")}};
  }
  ToolRun Run(const Scenario& bmc, const std::vector<std::string>& args, const Bytes* table) {
    return RunTool(bmc, args, scratch_.Path(""), Machine(table));
  }

  ScratchDirectory scratch_;
};

TEST_F(ToolSmbiosUpdate, EachCodeWritesItsStringIntoItsField) {
  const struct {
    const char* code;
    std::string FruText::*field;
    std::string value;
  } cases[] = {
      {"1m", &FruText::pm, "Sys Maker Inc."}, {"1p", &FruText::pn, "TV-1000 Server"},
      {"1s", &FruText::ps, "SYS-SN-0001"},    {"2m", &FruText::bm, "Board Maker"},
      {"2p", &FruText::bpn, "BRD-2000"},      {"2s", &FruText::bs, "BRD-SN-0002"},
      {"3s", &FruText::cs, kChassisSerial63},  // the most a field holds
  };
  const Bytes before = Fru({}, kFruSize);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    ScratchDirectory::Write("SmbiosTemplate.cfg", kStaleTemplate);
    FruText changed;
    changed.*c.field = c.value;
    ExpectFieldWrite(Run(FruScenario(before), {"-fru", c.code}, &kTable), before, Fru(changed, 0), kDumpWrote);
  }
}

TEST_F(ToolSmbiosUpdate, UnderFru1TheStringGoesIntoFru1) {
  // A riser's FRU with only a board area: the product area comes into being.
  const Bytes board =
      BoardArea({0xF0, 0x59, 0xE2}, Fields({"Tolvane Systems", "TS-7000 Riser", "RS24B0042", "RS-7000-01", ""}));
  const Bytes riser = LaidOut({{kHeaderBoard, board}}, kFruSize);
  const Bytes product = ProductArea(Fields({"", "", "", "", "SYS-SN-0001", "", ""}));
  // Under -fru1 the board is written with its version field, empty.
  const Bytes versioned =
      BoardArea({0xF0, 0x59, 0xE2}, Fields({"Tolvane Systems", "TS-7000 Riser", "RS24B0042", "RS-7000-01", "", ""}));
  const Bytes image = LaidOut({{kHeaderBoard, versioned}, {kHeaderProduct, product}}, 0);
  const Bytes fru0 = Fru({}, kFruSize);
  const ToolRun run = Run(FruScenario({{0, fru0}, {1, riser}}), {"-fru1", "1s"}, &kTable);
  ExpectFieldWrite(run, riser, image, kDumpWrote, 1);
  EXPECT_EQ(fru_tool::FirstDifference(ImageAfter(run, 0), fru0), "");
}

// The template from another server is deleted before the dump runs; without a
// value from this machine's tables the run prints why and returns 11 with no
// request to the BMC.
TEST_F(ToolSmbiosUpdate, NothingIsWrittenWithoutAValueFromThisMachine) {
  const Bytes noBaseboard = Tables("SYS-SN-0001", false);
  const Bytes serial64 = Tables(std::string(64, 'S'));
  const Bytes serial1 = Tables("7");
  const Bytes noSerial = Tables("");  // string number 0, as QEMU gives by default
  const Bytes serialWithEquals = Tables("SN=0001");
  Bytes cutShort = kTable;  // the end-of-table structure and the chassis strings' double NUL
  cutShort.resize(cutShort.size() - 8);
  const struct {
    const char* name;
    const Bytes* table;
    const char* code;
    std::string output;
  } cases[] = {
      {"no dump on PATH", nullptr, "1s", "Not found SmbiosTemplate file\n"},
      {"a malformed table", &cutShort, "3s",
       "Error: SMBIOS structure at offset 103: its strings have no closing double NUL before the end of the table.\n"
       "Not found SmbiosTemplate file\n"},
      {"no baseboard structure", &noBaseboard, "2s",
       "Type 2 (Baseboard Information) is not in the SMBIOS tables: no section for it.\n" + std::string(kDumpWrote) +
           "No value for 2s in SmbiosTemplate file\n"},
      {"a serial number of 64 characters", &serial64, "1s",
       std::string(kDumpWrote) + "Value for 1s in SmbiosTemplate file is longer than 63 characters\n"},
      {"no system serial number", &noSerial, "1s",
       std::string(kDumpWrote) + "No value for 1s in SmbiosTemplate file\n"},
      {"a serial number the dump leaves empty", &serialWithEquals, "1s",
       "Warning: Type 1 SerialNumber left empty: it holds \"=\" or a control character.\n" + std::string(kDumpWrote) +
           "No value for 1s in SmbiosTemplate file\n"},
      // A field of one character would read as the end of its area.
      {"a serial number of one character", &serial1, "1s",
       std::string(kDumpWrote) +
           "Value for 1s in SmbiosTemplate file is a single character, which a FRU field cannot hold\n"},
  };
  const Bytes before = Fru({}, kFruSize);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory::Write("SmbiosTemplate.cfg", kStaleTemplate);
    const ToolRun run = Run(FruScenario(before), {"-fru", c.code}, c.table);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.status, 11);
    EXPECT_TRUE(run.requests.empty());
    EXPECT_EQ(fru_tool::FirstDifference(ImageAfter(run), before), "");
    // Only the template this machine's dump wrote is left.
    const std::string left = ScratchDirectory::Read("SmbiosTemplate.cfg");
    EXPECT_EQ(left == "<missing>", c.output.find(kDumpWrote) == std::string::npos);
    EXPECT_EQ(left.find("OTHER"), std::string::npos);
  }
}

}  // namespace

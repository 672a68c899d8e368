// -fru info, list, field display, help and chassis types: every display line,
// the command set fru_source_index selects, the device under -fru1, the exact
// read requests and the failure lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fru/fru_test_image.hpp"
#include "tests/tool/fru_tool_support.hpp"
#include "tests/tool/tool_harness.hpp"

namespace {

using namespace fru_test;
using namespace fru_tool;

const Bytes kMadeAt = {0xF0, 0x59, 0xE2};  // 2024/03/15 12:00

Bytes ServerFru(size_t size = 2048) {
  return LaidOut(
      {{kHeaderChassis, ChassisArea(0x17, Fields({"CH-1000", "CS0001"}))},
       {kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "MB123456", "MB-X100-01", ""}))},
       {kHeaderProduct, ProductArea(Fields({"ACME", "X100 Server", "X100-SRV", "1.2", "PS9876543", "ASSET-0042", ""}))},
       {kHeaderMultiRecord, MultiRecord(0x03, {0x02, 'n', 'o', 'd', 'e'}, true)}},
      size);
}

// A board whose first custom field is the board version, then one more.
Bytes RiserFru(size_t size = 2048) {
  return LaidOut(
      {{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "Riser R2", "RS0002", "RS-R2", "", "R1.0", "X16"}))}}, size);
}

const char kServerListing[] =
    "Chassis Type (CT)               = Rack Mount Chassis(17h)\n"
    "Chassis Part number (CP)        = CH-1000\n"
    "Chassis Serial number (CS)      = CS0001\n"
    "Board Mfg. Date/Time(BDT)       = 2024/03/15 12:00:00 (F0 59 E2)\n"
    "Board Manufacturer (BM)         = ACME\n"
    "Board Product Name (BPN)        = X100 Mainboard\n"
    "Board Serial number (BS)        = MB123456\n"
    "Board Part number (BP)          = MB-X100-01\n"
    "Product Manufacturer (PM)       = ACME\n"
    "Product Name (PN)               = X100 Server\n"
    "Product Part/Model number (PPM) = X100-SRV\n"
    "Product Version (PV)            = 1.2\n"
    "Product Serial number (PS)      = PS9876543\n"
    "Product Asset Tag (PAT)         = ASSET-0042\n";

TEST(ToolFruInfo, SizeAsReportedAndAccessType) {
  const struct {
    Scenario bmc;
    std::string output;
  } cases[] = {
      {FruScenario(ServerFru()), "FRU size :2048 bytes (Device is accessed by bytes)\n"},
      {FruScenario(Bytes(300, 0)), "FRU size :300 bytes (Device is accessed by bytes)\n"},
      // Words: the size in words, not doubled.
      {ScenarioFrom(R"({"fru": {"devices": [{"id": 0, "size": 256, "wordAccess": true}]}})"),
       "FRU size :128 bytes (Device is accessed by words)\n"},
      {FruScenario(Bytes{}), "FRU size :0 bytes (Device is accessed by bytes)\n"},
      // Any other access type: the size and no line end.
      {ScenarioFrom(R"({"kcs": {"responseFrame": "2C 10 00 00 08 02"}})"), "FRU size :2048 bytes "},
      {ScenarioFrom(R"({"kcs": {"responseFrame": "2C 10 00 FF FF FF"}})"), "FRU size :65535 bytes "},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(c.bmc, {"-fru", "info"});
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.requests, Requests{kInventoryInfo});
  }
  // The inventory query names device 0 also under -fru1.
  EXPECT_EQ(RunTool(FruScenario(ServerFru()), {"-fru1", "info"}).requests, Requests{kInventoryInfo});
}

TEST(ToolFruInfo, Failures) {
  const struct {
    std::string scenario;
    std::string output;
  } cases[] = {
      {R"({"completionCodes": [{"netFn": "0A", "cmd": "10", "code": "C1"}]})",
       "Failed to get FRU inventory area, Completion Code=C1h\n"},
      {R"({"fru": {"devices": []}})", "Failed to get FRU inventory area, Completion Code=CCh\n"},
      // Fewer than the three bytes of the reply: never shown as a size.
      {R"({"kcs": {"responseFrame": "2C 10 00 00 08"}})", "Failed to get FRU inventory area, Completion Code=CEh\n"},
      {R"({"kcs": {"forceStateAt": "readPhase", "forcedState": "error"}})",
       "Error: KCS is under error state.\nFailed to get FRU inventory area, Completion Code=03h\n"},
  };
  for (const auto& c : cases) {
    for (const char* form : {"info", "list", "ps"}) {
      const ToolRun run = RunTool(ScenarioFrom(c.scenario), {"-fru", form});
      EXPECT_EQ(run.output, c.output) << c.scenario << ' ' << form;
      EXPECT_EQ(run.status, 11) << c.scenario << ' ' << form;
    }
  }
}

TEST(ToolFruSource, TheFileChoosesTheCommandSetForEveryQuery) {
  const Bytes fru = LaidOut({{kHeaderChassis, ChassisArea(0x17, Fields({"P", "S"}))}}, 32);
  const struct {
    const char* content;  // nullptr: no file
    bool oem;
  } cases[] = {
      {nullptr, false}, {"0", false},  {"1", true},   {"1\n", true}, {"  +1 x", true}, {"01", true},
      {"2", false},     {"-1", false}, {"x1", false}, {"", false},   {"\n", false},    {"1.5", true},
  };
  for (const auto& c : cases) {
    ScratchDirectory directory;
    if (c.content != nullptr) WriteFile("fru_source_index", std::string(c.content));
    const std::string which = c.content == nullptr ? "(no file)" : c.content;
    const ToolRun run = RunTool(FruScenario(fru), {"-fru", "list"});
    const Requests expected = c.oem ? Concat({{kOemInventoryInfo}, ReadRequests(32, 0, "30 81")})
                                    : Concat({{kInventoryInfo}, ReadRequests(32)});
    EXPECT_EQ(run.requests, expected) << which;
    EXPECT_EQ(run.status, 0) << which;
    // The OEM set without the OEM commands: the inventory query fails with C1h.
    if (c.oem) {
      const ToolRun refused = RunTool(FruScenario(fru, R"(, "oemCommands": false)"), {"-fru", "info"});
      EXPECT_EQ(refused.output, "Failed to get FRU inventory area, Completion Code=C1h\n");
      EXPECT_EQ(refused.requests, Requests{kOemInventoryInfo});
    }
  }
  ScratchDirectory directory;
  WriteFile("fru_source_index", std::string("1"));
  const ToolRun run = RunTool(FruScenario({{0, fru}, {1, fru}}), {"-fru1", "list"});
  EXPECT_EQ(run.requests, Concat({{kOemInventoryInfo}, ReadRequests(32, 1, "30 81")}));
}

TEST(ToolFruList, WholeListing) {
  const ToolRun run = RunTool(FruScenario(ServerFru()), {"-fru", "list"});
  EXPECT_EQ(run.output, kServerListing);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(2048)}));
  std::printf("[ measured ] -fru list, 2048-byte FRU: %zu requests, %.3f s of simulated time\n", run.requests.size(),
              static_cast<double>(run.elapsedMicroseconds) / 1e6);
}

TEST(ToolFruList, AreasPresentDecideTheLines) {
  const Bytes board = BoardArea({0, 0, 0}, Fields({"B", "BPN", "BS", "BP", ""}));
  const Bytes product = ProductArea(Fields({"M", "N", "PPM", "V", "S", "T", ""}));
  const std::string boardLines =
      "Board Mfg. Date/Time(BDT)       = 1996/01/01 00:00:00 (00 00 00)\n"
      "Board Manufacturer (BM)         = B\n"
      "Board Product Name (BPN)        = BPN\n"
      "Board Serial number (BS)        = BS\n"
      "Board Part number (BP)          = BP\n";
  const std::string productLines =
      "Product Manufacturer (PM)       = M\n"
      "Product Name (PN)               = N\n"
      "Product Part/Model number (PPM) = PPM\n"
      "Product Version (PV)            = V\n"
      "Product Serial number (PS)      = S\n"
      "Product Asset Tag (PAT)         = T\n";
  const Bytes internalUse = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
  const struct {
    Bytes image;
    std::string output;
  } cases[] = {
      {LaidOut({{kHeaderBoard, board}, {kHeaderProduct, product}}, 256), boardLines + productLines},
      {LaidOut({{kHeaderProduct, product}}, 256), productLines},
      {LaidOut({{kHeaderInternalUse, internalUse}, {kHeaderBoard, board}}, 256),
       "Internal Use Area               = 11 22 33 44 55 66 77 \n" + boardLines},
      // Only the multirecord area: nothing to list.
      {LaidOut({{kHeaderMultiRecord, MultiRecord(0x00, {1, 2, 3}, true)}}, 256), ""},
      {LaidOut({}, 256), ""},
      // A header of another format version.
      {Join({{0x02, 0, 0, 3, 4, 0, 0, 0xF7}, Bytes(248, 0)}), "FRU data error!\n"},
      {Bytes(256, 0xFF), "FRU data error!\n"},
      {Bytes{}, "FRU data error!\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(FruScenario(c.image), {"-fru", "list"});
    EXPECT_EQ(run.output, c.output) << Hex(
        Bytes(c.image.begin(), c.image.begin() + std::min<size_t>(8, c.image.size())));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(c.image.size())}));
  }
}

TEST(ToolFruList, ChassisTypeNames) {
  const struct {
    uint8_t code;
    std::string line;
  } cases[] = {
      {0x01, "Other(01h)"},
      {0x02, "Unknown(02h)"},
      {0x09, "LapTop(09h)"},
      {0x0F, "Space-saving(0Fh)"},
      {0x11, "Main Server Chassis(11h)"},
      {0x17, "Rack Mount Chassis(17h)"},
      {0x18, "Unspecified(18h)"},
      {0x1E, "Unspecified(1Eh)"},
      {0x26, "Unspecified(26h)"},
      {0x27, "Blade(27h)"},
      {0x28, "Unspecified(28h)"},
      {0x00, "Unspecified(00h)"},
      {0xFF, "Unspecified(FFh)"},
  };
  for (const auto& c : cases) {
    const Bytes fru = LaidOut({{kHeaderChassis, ChassisArea(c.code, Fields({"P", "S"}))}}, 64);
    const ToolRun run = RunTool(FruScenario(fru), {"-fru", "list"});
    EXPECT_EQ(run.output, "Chassis Type (CT)               = " + c.line +
                              "\nChassis Part number (CP)        = P\nChassis Serial number (CS)      = S\n");
  }
}

TEST(ToolFruList, BoardVersionUnderFru1Only) {
  const Scenario bmc = FruScenario({{0, ServerFru()}, {1, RiserFru()}});
  const std::string riserBoard =
      "Board Mfg. Date/Time(BDT)       = 2024/03/15 12:00:00 (F0 59 E2)\n"
      "Board Manufacturer (BM)         = ACME\n"
      "Board Product Name (BPN)        = Riser R2\n"
      "Board Serial number (BS)        = RS0002\n"
      "Board Part number (BP)          = RS-R2\n";
  ToolRun run = RunTool(bmc, {"-fru1", "list"});
  EXPECT_EQ(run.output, riserBoard + "Board Version (BV)              = R1.0\n");
  EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(2048, 1)}));
  // A board with no custom field has an empty board version.
  run = RunTool(FruScenario({{0, ServerFru()}, {1, ServerFru()}}), {"-fru1", "list"});
  EXPECT_NE(run.output.find("Board Part number (BP)          = MB-X100-01\nBoard Version (BV)              = \n"),
            std::string::npos);
  // Device 1 under -fru, and device 1 gone.
  EXPECT_EQ(RunTool(FruScenario({{0, RiserFru()}}), {"-fru", "list"}).output, riserBoard);
  run = RunTool(FruScenario(ServerFru()), {"-fru1", "list"});
  EXPECT_EQ(run.output, "Failed to get FRU data, Completion Code=CCh\n");
  EXPECT_EQ(run.status, 11);
}

TEST(ToolFruList, ReadRequestsFollowTheSize) {
  const struct {
    std::string device;
    size_t reads;  // offsets 0, 16, ...
  } cases[] = {
      {R"({"id": 0, "size": 0})", 0},
      {R"({"id": 0, "size": 1})", 1},
      {R"({"id": 0, "size": 16})", 1},
      {R"({"id": 0, "size": 17})", 2},
      {R"({"id": 0, "size": 100})", 7},
      // Word access: 128 words, read as 256 bytes in byte offsets.
      {R"({"id": 0, "size": 256, "wordAccess": true})", 16},
      // Larger than the tool holds: read up to 4096 bytes only.
      {R"({"id": 0, "size": 4096})", 256},
      {R"({"id": 0, "size": 6000})", 256},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(ScenarioFrom(R"({"fru": {"devices": [)" + c.device + "]}}"), {"-fru", "list"});
    EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(c.reads * 16)})) << c.device;
    EXPECT_EQ(run.status, 0) << c.device;
  }
}

TEST(ToolFruList, AFailedReadEndsTheCommand) {
  for (unsigned nth : {1u, 3u, 128u}) {
    const std::string faults =
        R"(, "completionCodes": [{"netFn": "0A", "cmd": "11", "nth": )" + std::to_string(nth) + R"(, "code": "C0"}])";
    const ToolRun run = RunTool(FruScenario(ServerFru(), "", faults), {"-fru", "list"});
    EXPECT_EQ(run.output, "Failed to get FRU data, Completion Code=C0h\n");
    EXPECT_EQ(run.status, 11);
    const Requests reads = ReadRequests(2048);
    EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, Requests(reads.begin(), reads.begin() + nth)}));
  }
}

TEST(ToolFruField, EveryCodeCaseIgnored) {
  const Scenario bmc = FruScenario({{0, ServerFru()}, {1, RiserFru()}});
  const struct {
    const char* word;
    const char* code;
    std::string output;
  } cases[] = {
      {"-fru", "CT", "17\n"},        {"-fru", "ct", "17\n"},
      {"-fru", "Ct", "17\n"},        {"-fru", "CP", "CH-1000\n"},
      {"-fru", "cs", "CS0001\n"},    {"-fru", "bdt", "2024/03/15 12:00:00 (F0 59 E2)\n"},
      {"-fru", "BM", "ACME\n"},      {"-fru", "bPn", "X100 Mainboard\n"},
      {"-fru", "BS", "MB123456\n"},  {"-fru", "bp", "MB-X100-01\n"},
      {"-fru", "PM", "ACME\n"},      {"-fru", "pn", "X100 Server\n"},
      {"-fru", "PPM", "X100-SRV\n"}, {"-fru", "pv", "1.2\n"},
      {"-fru", "PS", "PS9876543\n"}, {"-fru", "pat", "ASSET-0042\n"},
      {"-fru1", "bv", "R1.0\n"},     {"-fru1", "BV", "R1.0\n"},
      {"-fru1", "bs", "RS0002\n"},   {"-fru1", "ct", "02\n"},
      {"-fru1", "cp", "\n"},         {"-fru1", "ps", "\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(bmc, {c.word, c.code});
    EXPECT_EQ(run.output, c.output) << c.word << ' ' << c.code;
    EXPECT_EQ(run.status, 0) << c.word << ' ' << c.code;
    EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(2048, c.word[4] == '1' ? 1 : 0)}));
  }
}

TEST(ToolFruField, DateAndEmptyFields) {
  const Bytes noDate = LaidOut({{kHeaderBoard, BoardArea({0, 0, 0}, Fields({"", "", "", "", ""}))}}, 64);
  // The field shows a zero date as not set; the listing shows it as 1996.
  EXPECT_EQ(RunTool(FruScenario(noDate), {"-fru", "bdt"}).output, "\n");
  EXPECT_NE(RunTool(FruScenario(noDate), {"-fru", "list"}).output.find("1996/01/01 00:00:00 (00 00 00)"),
            std::string::npos);
  const Bytes oneDay = LaidOut({{kHeaderBoard, BoardArea({0xA0, 0x05, 0x00}, Fields({"", "", "", "", ""}))}}, 64);
  EXPECT_EQ(RunTool(FruScenario(oneDay), {"-fru", "BDT"}).output, "1996/01/02 00:00:00 (A0 05 00)\n");
  const Bytes last = LaidOut({{kHeaderBoard, BoardArea({0xFF, 0xFF, 0xFF}, Fields({"", "", "", "", ""}))}}, 64);
  EXPECT_EQ(RunTool(FruScenario(last), {"-fru", "bdt"}).output, "2027/11/24 20:15:00 (FF FF FF)\n");
  // Type codes are not decoded: a 6-bit packed field (8Ah) shows its ten bytes.
  const Bytes packed =
      LaidOut({{kHeaderProduct, ProductArea(Join({Field("0123456789", 0x80), Fields({"", "", "", "", "", ""})}))}}, 64);
  EXPECT_EQ(RunTool(FruScenario(packed), {"-fru", "pm"}).output, "0123456789\n");
  // A 00h byte ends the text shown.
  const Bytes zero = LaidOut(
      {{kHeaderProduct, ProductArea(Join({Field(std::string("AB\0CD", 5)), Fields({"", "", "", "", "", ""})}))}}, 64);
  EXPECT_EQ(RunTool(FruScenario(zero), {"-fru", "pm"}).output, "AB\n");
}

TEST(ToolFruHelp, HelpAndChassisTypesUnderBothWords) {
  const std::string before =
      "Available Fields for FRU\n"
      "Chassis Info Fields:\n"
      "CT  ;Chassis Type\n"
      "CP  ;Chassis Part number\n"
      "CS  ;Chassis Serial number\n"
      "Board Info Fields:\n"
      "BDT ;Board Mfg. Date/Time (YYYYMMDDhhmm)\n"
      "BM  ;Board Manufacturer\n"
      "BPN ;Board Product Name\n"
      "BS  ;Board Serial Name\n"
      "BP  ;Board Part Number\n";
  const std::string after =
      "Product Info Fields:\n"
      "PM  ;Product Manufacturer\n"
      "PN  ;Product Name\n"
      "PPM ;Product Part/Model Number\n"
      "PV  ;Product Version\n"
      "PS  ;Product Serial Number\n"
      "PAT ;Asset Tag\n"
      "Example:\n"
      "tolvane -fru PS                      ;read product serial number\n"
      "tolvane -fru PS 123456789            ;write product serial number\n";
  const std::string chassisTypes =
      "01h = Other\n02h = Unknown\n03h = Desktop\n04h = Low Profile Desktop\n05h = Pizza Box\n06h = Mini Tower\n"
      "07h = Tower\n08h = Portable\n09h = LapTop\n0Ah = Notebook\n0Bh = Hand Held\n0Ch = Docking Station\n"
      "0Dh = All in One\n0Eh = Sub Notebook\n0Fh = Space-saving\n10h = Lunch Box\n11h = Main Server Chassis\n"
      "12h = Expansion Chassis\n13h = SubChassis\n14h = Bus Expansion Chassis\n15h = Peripheral Chassis\n"
      "16h = RAID Chassis\n17h = Rack Mount Chassis\n27h = Blade\n";
  const struct {
    const char* word;
    const char* form;
    std::string output;
  } cases[] = {
      {"-fru", "help", before + after},
      {"-fru1", "help", before + "BV  ;Board Version\n" + after},
      {"-fru", "cthelp", chassisTypes},
      {"-fru1", "cthelp", chassisTypes},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(FruScenario(ServerFru()), {c.word, c.form});
    EXPECT_EQ(run.output, c.output) << c.word << ' ' << c.form;
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.requests.empty());
  }
}

TEST(ToolFruDispatch, FormsThatShowTheUsage) {
  // clang-format off
  const std::vector<std::vector<std::string>> cases = {
      {"-fru"},          {"-fru", "INFO"},         {"-fru", "List"},        {"-fru", "bv"},
      {"-fru", "1M"},    {"-fru", "3S"},           {"-fru", "xx"},          {"-fru", "backup"},
      {"-fru", "Backup", "f"}, {"-fru", "RESTORE", "f"}, {"-fru", "info", "x"}, {"-fru", "ps", "a", "b"},
      {"-fru1"},         {"-fru1", "Bv", "a", "b"}, {"-FRU", "info"},       {"-fru2", "info"},
  };
  // clang-format on
  for (const auto& args : cases) {
    const ToolRun run = RunTool(FruScenario(ServerFru()), args);
    EXPECT_EQ(run.status, 31) << args.size() << ' ' << args.back();
    EXPECT_TRUE(run.requests.empty());
  }
}

}  // namespace

// -fru <Field> <Value>: the rebuilt image byte for byte (from an independent
// layout), the exact unlock, 8-byte chunk writes and lock, the listing after
// it, and every refusal before a request or before the unlock.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "tests/fru/fru_test_image.hpp"
#include "tests/tool/fru_tool_support.hpp"
#include "tests/tool/tool_harness.hpp"

namespace {

using namespace fru_test;
using namespace fru_tool;

const Bytes kMadeAt = {0xF0, 0x59, 0xE2};  // 2024/03/15 12:00
const Bytes kRecord = MultiRecord(0x03, {0x02, 'n', 'o', 'd', 'e'}, true);

Bytes Chassis(const std::string& cs = "CS0001", uint8_t type = 0x17) {
  return ChassisArea(type, Fields({"CH-1000", cs}));
}
Bytes Board(const std::string& bs = "MB123456", const Bytes& date = kMadeAt) {
  return BoardArea(date, Fields({"ACME", "X100 Mainboard", bs, "MB-X100-01", ""}));
}
Bytes Product(const std::string& ps = "PS987654", const std::string& pat = "ASSET-0042") {
  return ProductArea(Fields({"ACME", "X100 Server", "X100-SRV", "1.2", ps, pat, ""}));
}
// The multirecord area as the tool writes it: the records and one 00h.
Bytes RecordArea() { return Join({kRecord, {0x00}}); }

// Runs the write and checks everything a write leaves.
void ExpectWrite(const Bytes& before, const std::vector<std::string>& args, const Bytes& image,
                 const std::string& extraOutput = "") {
  SCOPED_TRACE(args[1] + " " + args[2]);
  ExpectFieldWrite(RunTool(FruScenario(before), args), before, image, extraOutput);
}

// The image before padding (what the tool writes) and the device image.
Bytes Unpadded(const std::vector<std::pair<size_t, Bytes>>& areas) { return LaidOut(areas, 0); }
Bytes Device(const std::vector<std::pair<size_t, Bytes>>& areas, size_t size = 2048) { return LaidOut(areas, size); }

TEST(ToolFruWrite, GrowthAcrossAUnitMovesTheMultirecordArea) {
  // An asset tag whose length puts the product area's checksum exactly at the
  // end of a unit, so one more serial number character takes another unit.
  std::string tag = "A";
  while (Product("12345678", tag).size() == Product("123456789", tag).size()) tag += "B";
  const Bytes before = Device({{kHeaderChassis, Chassis()},
                               {kHeaderBoard, Board()},
                               {kHeaderProduct, Product("12345678", tag)},
                               {kHeaderMultiRecord, kRecord}});
  const Bytes image = Unpadded({{kHeaderChassis, Chassis()},
                                {kHeaderBoard, Board()},
                                {kHeaderProduct, Product("123456789", tag)},
                                {kHeaderMultiRecord, RecordArea()}});
  ASSERT_EQ(image[kHeaderMultiRecord], before[kHeaderMultiRecord] + 1);
  ExpectWrite(before, {"-fru", "PS", "123456789"}, image);
  // One character fewer stays within the unit: nothing moves.
  const Bytes shorter = Unpadded({{kHeaderChassis, Chassis()},
                                  {kHeaderBoard, Board()},
                                  {kHeaderProduct, Product("1234567", tag)},
                                  {kHeaderMultiRecord, RecordArea()}});
  EXPECT_EQ(shorter[kHeaderMultiRecord], before[kHeaderMultiRecord]);
  ExpectWrite(before, {"-fru", "ps", "1234567"}, shorter);
}

TEST(ToolFruWrite, EachAreaAndEmptyValues) {
  const Bytes before = Device({{kHeaderChassis, Chassis()}, {kHeaderBoard, Board()}, {kHeaderProduct, Product()}});
  ExpectWrite(
      before, {"-fru", "CS", "NEW-CHASSIS-SERIAL"},
      Unpadded(
          {{kHeaderChassis, Chassis("NEW-CHASSIS-SERIAL")}, {kHeaderBoard, Board()}, {kHeaderProduct, Product()}}));
  ExpectWrite(before, {"-fru", "bs", "B2"},
              Unpadded({{kHeaderChassis, Chassis()}, {kHeaderBoard, Board("B2")}, {kHeaderProduct, Product()}}));
  // An empty value: type/length byte C0h and no characters.
  ExpectWrite(
      before, {"-fru", "PAT", ""},
      Unpadded({{kHeaderChassis, Chassis()}, {kHeaderBoard, Board()}, {kHeaderProduct, Product("PS987654", "")}}));
  // Two characters, the fewest after none.
  ExpectWrite(
      before, {"-fru", "PV", "1a"},
      Unpadded({{kHeaderChassis, Chassis()},
                {kHeaderBoard, Board()},
                {kHeaderProduct,
                 ProductArea(Fields({"ACME", "X100 Server", "X100-SRV", "1a", "PS987654", "ASSET-0042", ""}))}}));
  // 63 characters, the most a field holds.
  const std::string longest(63, 'x');
  ExpectWrite(
      before, {"-fru", "PAT", longest},
      Unpadded({{kHeaderChassis, Chassis()}, {kHeaderBoard, Board()}, {kHeaderProduct, Product("PS987654", longest)}}));
}

TEST(ToolFruWrite, ChassisType) {
  const Bytes before =
      Device({{kHeaderChassis, Chassis("CS0001", 0x02)}, {kHeaderBoard, Board()}, {kHeaderProduct, Product()}});
  const struct {
    const char* value;
    uint8_t type;
  } cases[] = {{"17", 0x17}, {"0x11", 0x11}, {"1e", 0x1E}, {"127", 0x27}, {"-1", 0xFF}, {"0x", 0x00}, {" 27h", 0x27}};
  for (const auto& c : cases) {
    ExpectWrite(
        before, {"-fru", "CT", c.value},
        Unpadded({{kHeaderChassis, Chassis("CS0001", c.type)}, {kHeaderBoard, Board()}, {kHeaderProduct, Product()}}));
  }
  // The first chassis field on a FRU without a chassis area creates one, with
  // empty part and serial numbers, ahead of the board.
  const Bytes noChassis = Device({{kHeaderBoard, Board()}, {kHeaderProduct, Product()}});
  ExpectWrite(noChassis, {"-fru", "ct", "17"},
              Unpadded({{kHeaderChassis, ChassisArea(0x17, Fields({"", ""}))},
                        {kHeaderBoard, Board()},
                        {kHeaderProduct, Product()}}));
  ExpectWrite(noChassis, {"-fru", "CP", "P-1"},
              Unpadded({{kHeaderChassis, ChassisArea(0x02, Fields({"P-1", ""}))},
                        {kHeaderBoard, Board()},
                        {kHeaderProduct, Product()}}));
}

// Minutes after 1996-01-01 00:00 with the C library's calendar as the judge:
// timegm normalises the fields as mktime does, in UTC.
Bytes DateBytes(int year, int month, int day, int hour, int minute) {
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  std::tm epoch{};
  epoch.tm_year = 96;
  epoch.tm_mday = 1;
  const long long minutes = (timegm(&fields) - timegm(&epoch)) / 60;
  if (minutes < 0) return {0, 0, 0};
  return {static_cast<uint8_t>(minutes), static_cast<uint8_t>(minutes >> 8), static_cast<uint8_t>(minutes >> 16)};
}

TEST(ToolFruWrite, BoardDate) {
  const Bytes before = Device({{kHeaderBoard, Board()}, {kHeaderProduct, Product()}});
  EXPECT_EQ(DateBytes(2010, 7, 16, 12, 0), (Bytes{0x90, 0xAF, 0x74}));
  const struct {
    const char* value;
    Bytes date;
  } cases[] = {
      {"201007161200", {0x90, 0xAF, 0x74}},
      {"199001010000", {0x00, 0x00, 0x00}},  // before 1996
      {"199512312359", {0x00, 0x00, 0x00}},
      {"199601010001", {0x01, 0x00, 0x00}},
      {"201013011200", DateBytes(2011, 1, 1, 12, 0)},  // month 13: January of the next year
      {"202711242015", {0xFF, 0xFF, 0xFF}},
      {"202711242016", {0x00, 0x00, 0x00}},  // past three bytes: the low 24 bits
      {"202402291200", DateBytes(2024, 2, 29, 12, 0)},
      {"201000001299", DateBytes(2009, 12, 0, 12, 99)},
  };
  for (const auto& c : cases) {
    ExpectWrite(before, {"-fru", "BDT", c.value},
                Unpadded({{kHeaderBoard, Board("MB123456", c.date)}, {kHeaderProduct, Product()}}));
  }
  // Not 12 characters: the two format lines, then the FRU rewritten as it was
  // and listed.
  for (const char* value : {"20100716", "2010071612000", ""}) {
    ExpectWrite(before, {"-fru", "bdt", value}, Unpadded({{kHeaderBoard, Board()}, {kHeaderProduct, Product()}}),
                "Date/Time format error\nFormat: YYYYMMDDhhmm  ex:201007161200 (2010/07/16 12:00)\n");
  }
}

TEST(ToolFruWrite, InternalUseAreaKeptWholeBoardAtOffset16) {
  // No chassis: the board follows the internal use area at offset 16 (02h).
  const Bytes internalUse = {0x01, 0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x11, 0x22};
  const Bytes before =
      Device({{kHeaderInternalUse, internalUse}, {kHeaderBoard, Board()}, {kHeaderProduct, Product()}});
  const Bytes image =
      Unpadded({{kHeaderInternalUse, internalUse}, {kHeaderBoard, Board("SN-2")}, {kHeaderProduct, Product()}});
  EXPECT_EQ(image[kHeaderBoard], 0x02);
  ExpectWrite(before, {"-fru", "BS", "SN-2"}, image);
  // A longer area (three units) goes back whole, and the listing shows bytes 1 to 7.
  Bytes longer = internalUse;
  for (int i = 0; i < 16; ++i) longer.push_back(static_cast<uint8_t>(0xA0 + i));
  const Bytes withLonger =
      Device({{kHeaderInternalUse, longer}, {kHeaderChassis, Chassis()}, {kHeaderProduct, Product()}});
  ExpectWrite(withLonger, {"-fru", "PS", "X9"},
              Unpadded({{kHeaderInternalUse, longer}, {kHeaderChassis, Chassis()}, {kHeaderProduct, Product("X9")}}));
  EXPECT_EQ(RunTool(FruScenario(withLonger), {"-fru", "list"}).output.substr(0, 56),
            "Internal Use Area               = DE AD BE EF 00 11 22 \n");
}

TEST(ToolFruWrite, FieldsNotSetGoBackAsRead) {
  // Type codes 00b (binary), 01b (BCD plus), 10b (6-bit packed ASCII) and 11b,
  // a language code of 19h (written back as 00h), a binary custom field with a
  // C1h byte inside it.
  const Bytes oddFields =
      Join({Field(std::string("\x01\xC1\x02", 3), 0x00), Field("12-34", 0x40), Field("PACKED", 0x80), Field("1.2")});
  const Bytes custom = Join({Field(std::string("\xC1\xC1", 2), 0x00), Field("CUSTOM")});
  auto product = [&](const std::string& ps, uint8_t language) {
    return ProductArea(Join({oddFields, Fields({ps, "TAG", ""}), custom}), language);
  };
  const Bytes before = Device({{kHeaderProduct, product("OLD", 0x19)}});
  ExpectWrite(before, {"-fru", "PS", "NEW"}, Unpadded({{kHeaderProduct, product("NEW", 0x00)}}));
}

TEST(ToolFruWrite, BoardVersionUnderFru1) {
  const Bytes plain = Device({{kHeaderBoard, Board()}});
  // A board area whose checksum follows its C1h directly.
  std::string serial = "MB";
  while (Board(serial)[Board(serial).size() - 2] != 0xC1) serial += "0";
  const Bytes unpadded = Device({{kHeaderBoard, Board(serial)}});
  const Bytes versioned =
      Device({{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "MB123456", "MB-X100-01", "", "R1.0",
                                                        "EXTRA-1", "EXTRA-2"}))}});
  const struct {
    Bytes before;
    std::vector<std::string> args;
    Bytes image;
  } cases[] = {
      // The board fields end with C4h and R1.0, then C1h.
      {plain,
       {"-fru1", "BV", "R1.0"},
       Unpadded({{kHeaderBoard,
                  BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "MB123456", "MB-X100-01", "", "R1.0"}))}})},
      // The custom fields after BV stay, after it.
      {versioned,
       {"-fru1", "bv", "R2.10"},
       Unpadded({{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "MB123456", "MB-X100-01", "",
                                                           "R2.10", "EXTRA-1", "EXTRA-2"}))}})},
      {versioned,
       {"-fru1", "BS", "S9"},
       Unpadded({{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "S9", "MB-X100-01", "", "R1.0",
                                                           "EXTRA-1", "EXTRA-2"}))}})},
      // A board without a BV field reads it as empty and is written with an
      // empty one (C0h): after a 00h pad byte, and where the checksum follows
      // C1h at once (it is not a BV character).
      {plain,
       {"-fru1", "BS", "S9"},
       Unpadded({{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "S9", "MB-X100-01", "", ""}))}})},
      {unpadded,
       {"-fru1", "BS", "S9"},
       Unpadded({{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "S9", "MB-X100-01", "", ""}))}})},
      // Under -fru the custom fields are raw bytes, kept as they are.
      {versioned,
       {"-fru", "BS", "S9"},
       Unpadded({{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "S9", "MB-X100-01", "", "R1.0",
                                                           "EXTRA-1", "EXTRA-2"}))}})},
  };
  for (const auto& c : cases) {
    const bool fru1 = c.args[0] == "-fru1";
    const ToolRun run = RunTool(FruScenario({{0, Device({}, 2048)}, {1, c.before}}), c.args);
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2]);
    EXPECT_EQ(run.status, 0);
    if (fru1) {
      EXPECT_EQ(run.requests, WriteSequence(2048, c.image, 1));
      EXPECT_EQ(FirstDifference(ImageAfter(run, 1), Overwritten(c.before, c.image)), "");
    }
  }
  // Under -fru, device 0.
  ExpectWrite(versioned, {"-fru", "BS", "S9"}, cases[5].image);
}

// An area is decoded up to the next area whatever its length byte says, and a
// custom field whose length runs past the end marker is kept as the bytes up
// to the first C1h; the rebuild repairs the length.
TEST(ToolFruWrite, AreaLengthByteNotTrusted) {
  auto withLength = [](Bytes area, int units) {
    area[1] = static_cast<uint8_t>(area[1] + units);
    return area;
  };
  const Bytes overrun = ProductArea(
      Join({Fields({"ACME", "X100 Server", "X100-SRV", "1.2", "PS987654", "ASSET-0042", ""}), {0xC5, 'A', 'B'}}));
  const struct {
    const char* name;
    Bytes before;
    Bytes image;
  } cases[] = {
      {"product one unit short", Device({{kHeaderProduct, withLength(Product(), -1)}, {kHeaderMultiRecord, kRecord}}),
       Unpadded({{kHeaderProduct, Product("V9")}, {kHeaderMultiRecord, RecordArea()}})},
      {"chassis one unit long, over the board",
       Device({{kHeaderChassis, withLength(Chassis(), 1)}, {kHeaderBoard, Board()}, {kHeaderProduct, Product()}}),
       Unpadded({{kHeaderChassis, Chassis()}, {kHeaderBoard, Board()}, {kHeaderProduct, Product("V9")}})},
      {"product one unit long, the last area", Device({{kHeaderProduct, withLength(Product(), 1)}}),
       Unpadded({{kHeaderProduct, Product("V9")}})},
      {"custom field C5h with two bytes", Device({{kHeaderProduct, overrun}}),
       Unpadded({{kHeaderProduct,
                  ProductArea(Join({Fields({"ACME", "X100 Server", "X100-SRV", "1.2", "V9", "ASSET-0042", ""}),
                                    {0xC5, 'A', 'B'}}))}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectWrite(c.before, {"-fru", "PS", "V9"}, c.image);
  }
}

TEST(ToolFruWrite, OemCommandSetUnderFru1) {
  ScratchDirectory directory;
  WriteFile("fru_source_index", std::string("1\n"));
  const Bytes before = Device({{kHeaderProduct, Product()}}, 64);
  const Bytes image = Unpadded({{kHeaderProduct, Product("Z9")}});
  const ToolRun run = RunTool(FruScenario({{0, before}, {1, before}}), {"-fru1", "ps", "Z9"});
  const Requests reads = Concat({{kOemInventoryInfo}, ReadRequests(64, 1, "30 81")});
  EXPECT_EQ(run.requests,
            Concat({reads, {kUnlock}, WriteRequests(image, image.size(), 8, 1, "30 82"), {kLock}, reads}));
  EXPECT_EQ(FirstDifference(ImageAfter(run, 1), Overwritten(before, image)), "");
  EXPECT_EQ(FirstDifference(ImageAfter(run, 0), before), "");
}

TEST(ToolFruWrite, FailuresAfterTheUnlock) {
  const Bytes before = Device({{kHeaderProduct, Product()}}, 64);
  const Bytes image = Unpadded({{kHeaderProduct, Product("Z9")}});
  const Requests reads = Concat({{kInventoryInfo}, ReadRequests(64)});
  const Requests writes = WriteRequests(image, image.size(), 8);
  const struct {
    std::string fru;
    std::string faults;
    std::string output;
    Requests requests;
    bool written;
  } cases[] = {
      // A BMC without the OEM write control: the unlock is an unknown command.
      {R"(, "writeControl": false)", "", "Unlock FRU error, Completion Code=C1h\n", Concat({reads, {kUnlock}}), false},
      {"", R"(, "completionCodes": [{"netFn": "0A", "cmd": "12", "nth": 3, "code": "C0"}])",
       "Write FRU error, Completion Code=C0h\n",
       Concat({reads, {kUnlock}, Requests(writes.begin(), writes.begin() + 3)}), false},
      {"", R"(, "completionCodes": [{"netFn": "30", "cmd": "06", "data": "01", "code": "C1"}])",
       "Lock FRU error, Completion Code=C1h\n", Concat({reads, {kUnlock}, writes, {kLock}}), true},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(FruScenario(before, c.fru, c.faults), {"-fru", "PS", "Z9"});
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.status, 11);
    EXPECT_EQ(run.requests, c.requests);
    if (c.written) EXPECT_EQ(FirstDifference(ImageAfter(run), Overwritten(before, image)), "");
  }
}

// Refused before any request: the value cannot go into the FRU.
TEST(ToolFruWrite, ValuesRefusedBeforeAnyRequest) {
  const Bytes before = Device({{kHeaderChassis, Chassis()}, {kHeaderBoard, Board()}, {kHeaderProduct, Product()}});
  const std::string tooLong = "Invalid value: a FRU field holds at most 63 characters.\n";
  const std::string badType = "Invalid chassis type: give a hexadecimal code (see -fru cthelp).\n";
  const std::string single =
      "Invalid value: one character alone would read as the end of the FRU area; give none or two or more.\n";
  const struct {
    std::vector<std::string> args;
    std::string output;
  } cases[] = {
      {{"-fru", "PS", std::string(64, 'x')}, tooLong},
      {{"-fru", "cp", std::string(200, 'x')}, tooLong},
      {{"-fru1", "BV", std::string(64, 'x')}, tooLong},
      {{"-fru", "PV", "1"}, single},
      {{"-fru", "bm", " "}, single},
      {{"-fru1", "BV", "A"}, single},
      {{"-fru", "CT", "g"}, badType},
      {{"-fru", "CT", ""}, badType},
      {{"-fru", "CT", " "}, badType},
      {{"-fru", "CT", "-"}, badType},
      {{"-fru", "CT", "x17"}, badType},
      {{"-fru", "BV", "R1.0"}, "BV is written only with -fru1.\n"},
      {{"-fru", "bv", ""}, "BV is written only with -fru1.\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(FruScenario(before), c.args);
    EXPECT_EQ(run.output, c.output) << c.args[1] << ' ' << c.args[2].size();
    EXPECT_EQ(run.status, 12);
    EXPECT_TRUE(run.requests.empty());
  }
}

// Refused after the read and before the unlock: the FRU cannot be rebuilt whole
// or the new image does not fit.
void ExpectRefused(const Scenario& bmc, size_t reads, const std::string& line, const std::string& field = "PS") {
  const ToolRun run = RunTool(bmc, {"-fru", field, "V9"});
  EXPECT_EQ(run.output, line);
  EXPECT_EQ(run.status, 11);
  EXPECT_EQ(run.requests, Concat({{kInventoryInfo}, ReadRequests(reads)}));
}
void ExpectWritten(const Scenario& bmc, const std::string& field = "PS") {
  const ToolRun run = RunTool(bmc, {"-fru", field, "V9"});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(std::find(run.requests.begin(), run.requests.end(), kLock), run.requests.end());
}

TEST(ToolFruWrite, ImageLargerThanTheFruIsRefused) {
  const Bytes image = Unpadded({{kHeaderProduct, Product("V9")}, {kHeaderMultiRecord, RecordArea()}});
  ASSERT_NE(image.size() % 8, 0u);
  const Bytes before = Unpadded({{kHeaderProduct, Product()}, {kHeaderMultiRecord, kRecord}});
  // Exactly the FRU's size: written, the last chunk stopping at the FRU's end.
  Bytes fits = before;
  fits.resize(image.size(), 0x00);
  const ToolRun run = RunTool(FruScenario(fits), {"-fru", "PS", "V9"});
  EXPECT_EQ(run.status, 0);
  Requests writes = WriteRequests(image, image.size(), 8);
  const size_t last = (image.size() - 1) / 8 * 8;
  writes.back() = "0A 12 00 " + HexByte(last) + " " + HexByte(last >> 8);
  for (size_t i = last; i < image.size(); ++i) writes.back() += " " + HexByte(image[i]);
  EXPECT_EQ(run.requests, Concat({{kInventoryInfo},
                                  ReadRequests(fits.size()),
                                  {kUnlock},
                                  writes,
                                  {kLock},
                                  {kInventoryInfo},
                                  ReadRequests(fits.size())}));
  EXPECT_EQ(FirstDifference(ImageAfter(run), image), "");
  // One byte short (a FRU one byte smaller).
  Bytes small = before;
  small.resize(image.size() - 1, 0x00);
  ExpectRefused(FruScenario(small), small.size(),
                "FRU not written: the new FRU data (" + std::to_string(image.size()) + " bytes) exceed the FRU size (" +
                    std::to_string(small.size()) + " bytes).\n");
  // Word access: the size counts twice the words.
  const std::string words = R"({"fru": {"devices": [{"id": 0, "wordAccess": true, "hex": ")" + Hex(before) +
                            R"(", "size": )" + std::to_string((image.size() + 1) / 2 * 2) + "}]}}";
  ExpectWritten(ScenarioFrom(words));
}

TEST(ToolFruWrite, FruTheModelCannotHoldWholeIsNotWritten) {
  const auto product = [](const Bytes& custom) {
    return ProductArea(Join({Fields({"M", "N", "P", "V", "S", "T", ""}), custom}));
  };
  // Custom fields of 128 bytes in all (two fields: 1 + 63 and 1 + 63), then 129.
  const Bytes custom128 = Fields({std::string(63, 'a'), std::string(63, 'b')});
  const Bytes custom129 = Join({custom128, Field("")});
  ExpectWritten(FruScenario(Device({{kHeaderProduct, product(custom128)}})));
  ExpectRefused(FruScenario(Device({{kHeaderProduct, product(custom129)}})), 2048,
                "FRU not written: the product area has custom fields of more than 128 bytes.\n");

  // A multirecord of 64 data bytes, then 65.
  ExpectWritten(FruScenario(
      Device({{kHeaderProduct, product({})}, {kHeaderMultiRecord, MultiRecord(0xC0, Bytes(64, 0x5A), true)}})));
  ExpectRefused(FruScenario(Device(
                    {{kHeaderProduct, product({})}, {kHeaderMultiRecord, MultiRecord(0xC0, Bytes(65, 0x5A), true)}})),
                2048, "FRU not written: a multirecord has more than 64 data bytes.\n");

  // 32 multirecords, then 33.
  auto records = [](size_t count) {
    Bytes all;
    for (size_t i = 0; i < count; ++i) {
      const Bytes record = MultiRecord(0xC0, {static_cast<uint8_t>(i)}, i + 1 == count);
      all.insert(all.end(), record.begin(), record.end());
    }
    return all;
  };
  ExpectWritten(FruScenario(Device({{kHeaderProduct, product({})}, {kHeaderMultiRecord, records(32)}})));
  ExpectRefused(FruScenario(Device({{kHeaderProduct, product({})}, {kHeaderMultiRecord, records(33)}})), 2048,
                "FRU not written: the multirecord area has more than 32 records.\n");

  // The end marker: there, or missing within the area's length.
  Bytes noMarker = product({});
  noMarker[noMarker.size() - 2] = 0x00;  // the byte before the checksum is pad; the C1h goes:
  for (size_t i = 2; i < noMarker.size(); ++i) {
    if (noMarker[i] == 0xC1) noMarker[i] = 0x00;
  }
  ExpectRefused(FruScenario(Device({{kHeaderProduct, noMarker}})), 2048,
                "FRU not written: the product area has no end marker C1h.\n");
  // ... or only as the last byte before the next area, with no room for the
  // checksum: one unit later it is the end marker.
  Bytes markerLast = Board();
  std::replace(markerLast.begin(), markerLast.end(), uint8_t{0xC1}, uint8_t{0x00});
  markerLast.back() = 0xC1;
  ExpectRefused(FruScenario(Device({{kHeaderBoard, markerLast}, {kHeaderProduct, product({})}})), 2048,
                "FRU not written: the board area runs into the next area.\n");
  ExpectWritten(
      FruScenario(Device({{kHeaderBoard, Join({markerLast, Bytes(8, 0x00)})}, {kHeaderProduct, product({})}})));
  // Named fields that run into the next area.
  Bytes longSerial = Board();
  longSerial[6 + 5 + 15] = 0xFF;  // BS's type/length byte: 63 characters
  ExpectRefused(FruScenario(Device({{kHeaderBoard, longSerial}, {kHeaderProduct, product({})}})), 2048,
                "FRU not written: the board area runs into the next area.\n");

  // An area reaching past the FRU's end: its checksum, or its offset.
  const Bytes area = product({});
  Bytes atEnd = Device({{kHeaderProduct, area}}, 8 + area.size());
  ExpectWritten(FruScenario(atEnd));
  atEnd.resize(8 + (std::find(area.begin() + 2, area.end(), 0xC1) - area.begin()) + 1);  // ends with its C1h
  ExpectRefused(FruScenario(atEnd), atEnd.size(),
                "FRU not written: the product area reaches past the end of the FRU.\n");
  Bytes offsetOut = Device({{kHeaderProduct, area}}, 256);
  offsetOut[kHeaderChassis] = 0x20;  // 256: the FRU's end
  offsetOut[7] = ZeroChecksum(offsetOut.data(), 7);
  ExpectRefused(FruScenario(offsetOut), 256, "FRU not written: the chassis area reaches past the end of the FRU.\n");

  // A FRU of 4096 bytes is held whole; one of 4097 is not.
  ExpectWritten(FruScenario(Device({{kHeaderProduct, area}}, 4096)));
  ExpectRefused(FruScenario(Device({{kHeaderProduct, area}}, 4097)), 4096,
                "FRU not written: the FRU is larger than 4096 bytes.\n");

  // A BMC that returns fewer bytes than asked leaves gaps.
  ExpectWritten(FruScenario(Device({{kHeaderProduct, area}}), R"(, "readLimit": 16)"));
  ExpectRefused(FruScenario(Device({{kHeaderProduct, area}}), R"(, "readLimit": 15)"), 2048,
                "FRU not written: the BMC returned fewer FRU bytes than asked.\n");
}

TEST(ToolFruWrite, MeasuredOnA2048ByteFru) {
  const Bytes before = Device({{kHeaderChassis, Chassis()},
                               {kHeaderBoard, Board()},
                               {kHeaderProduct, Product()},
                               {kHeaderMultiRecord, kRecord}});
  const ToolRun run = RunTool(FruScenario(before), {"-fru", "PS", "SRV-0001"});
  EXPECT_EQ(run.status, 0);
  std::printf("[ measured ] -fru PS on a 2048-byte FRU: %zu requests, %.3f s of simulated time\n", run.requests.size(),
              static_cast<double>(run.elapsedMicroseconds) / 1e6);
}

}  // namespace

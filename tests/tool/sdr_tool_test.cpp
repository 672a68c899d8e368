// -sdr: loading the repository, one line per full sensor record with its
// requests, every column's conversion and format, and what the listing shows
// when a BMC answers badly.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/tool/tool_harness.hpp"

namespace {

using Requests = std::vector<std::string>;

const char kHeader[] =
    "Status | (#)Sensor                |      Reading | Low Limit | High Limit\n"
    "------ | ---------                |      ------- | --------- | ----------\n";

std::string Line(const std::string& status, const std::string& name, const std::string& reading, const std::string& low,
                 const std::string& high) {
  char text[512];
  std::snprintf(text, sizeof text, "%6s | %-24s | %12s | %9s | %10s\n", status.c_str(), name.c_str(), reading.c_str(),
                low.c_str(), high.c_str());
  return text;
}

std::string Hex(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", value & 0xFF);
  return text;
}

// Info, reservation 0001h, then one whole-record Get SDR per record.
Requests Loading(const std::vector<unsigned>& recordIds) {
  Requests requests = {"0A 20", "0A 22"};
  for (size_t i = 0; i < recordIds.size(); ++i) {
    // The first request names record 0000h; each later one the ID the previous reply carried.
    const unsigned id = i == 0 ? 0 : recordIds[i];
    requests.push_back("0A 23 01 00 " + Hex(id) + " " + Hex(id >> 8) + " 00 FF");
  }
  return requests;
}

Requests Discrete(unsigned number) { return {"04 2D " + Hex(number)}; }
Requests Threshold(unsigned number, bool present = true) {
  Requests requests = {"04 2D " + Hex(number), "04 27 " + Hex(number)};
  if (present) requests.push_back("04 2D " + Hex(number));
  return requests;
}

Requests Join(Requests first, const Requests& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

ToolRun Sdr(const std::string& sdr, const std::string& faults = "[]") {
  return RunTool(ScenarioFrom(R"({"sdr": )" + sdr + R"(, "completionCodes": )" + faults + "}"), {"-sdr"});
}

// One full sensor record (ID 1) described by its fields.
ToolRun OneSensor(const std::string& fields, const std::string& faults = "[]") {
  return Sdr(R"({"records": [{"name": "Sensor", "number": "07", )" + fields + "}]}", faults);
}

struct SensorCase {
  const char* what;
  std::string fields;
  std::string faults;
  std::string status, reading, low, high;
  Requests sensorRequests;
};

void CheckSensorCases(const std::vector<SensorCase>& cases) {
  for (const SensorCase& c : cases) {
    const ToolRun run = OneSensor(c.fields, c.faults.empty() ? "[]" : c.faults);
    EXPECT_EQ(run.output, kHeader + Line(c.status, "(1) Sensor", c.reading, c.low, c.high)) << c.what;
    EXPECT_EQ(run.status, 0) << c.what;
    EXPECT_EQ(run.requests, Join(Loading({1}), c.sensorRequests)) << c.what;
  }
}

// Thresholds given as the Get Sensor Thresholds reply: LNC and UNC readable.
std::string Limits(const char* lnc, const char* unc) {
  return std::string(R"("thresholds": "09 )") + lnc + " 00 00 " + unc + R"( 00 00")";
}

TEST(ToolSdr, TemperatureSensors) {
  const std::string temp = R"("type": "01", "unit": "01", )";
  CheckSensorCases({
      {"raw 23h, limits 05h and 55h", temp + R"("raw": "23", )" + Limits("05", "55"), "", "OK", "35C/95F", "5C/41F",
       "85C/185F", Threshold(7)},
      {"lower limit FBh reads as -5", temp + R"("raw": "23", )" + Limits("FB", "55"), "", "OK", "35C/95F", "-5C/23F",
       "85C/185F", Threshold(7)},
      {"raw 60h above the upper limit", temp + R"("raw": "60", )" + Limits("05", "55"), "", "Fail", "96C/205F",
       "5C/41F", "85C/185F", Threshold(7)},
      {"at the upper limit is not above it", temp + R"("raw": "55", )" + Limits("05", "55"), "", "OK", "85C/185F",
       "5C/41F", "85C/185F", Threshold(7)},
      {"one below the lower limit", temp + R"("raw": "04", )" + Limits("05", "55"), "", "Fail", "4C/39F", "5C/41F",
       "85C/185F", Threshold(7)},
      // The reading is compared with the corrected limit: -5 < 0.
      {"reading 0 above a corrected lower limit", temp + R"("raw": "00", )" + Limits("FB", "55"), "", "OK", "0C/32F",
       "-5C/23F", "85C/185F", Threshold(7)},
      // (17 x + 304) / 10: limit 200.4 has low byte C8h (-56); 300.7 has 2Ch and stays.
      {"sign correction by the low byte only",
       temp + R"("m": 17, "b": 304, "k2": -1, "raw": "64", )" + Limits("64", "9F"), "", "OK", "200C/393F", "-56C/-68F",
       "300C/573F", Threshold(7)},
      // x - 50: -34 is -28.7 F, truncated toward zero.
      {"negative reading", temp + R"("b": -50, "raw": "10", )" + Limits("00", "7F"), "", "OK", "-34C/-28F", "-50C/-57F",
       "77C/171F", Threshold(7)},
      // 205 has low byte CDh: the upper limit becomes -51, and -34 is above it.
      {"a corrected upper limit below the reading", temp + R"("b": -50, "raw": "10", )" + Limits("00", "FF"), "",
       "Fail", "-34C/-28F", "-50C/-57F", "-51C/-59F", Threshold(7)},
  });
}

TEST(ToolSdr, WholeNumberUnits) {
  CheckSensorCases({
      {"fan, M = 75, raw 40h", R"("type": "04", "unit": "12", "m": 75, "raw": "40", )" + Limits("02", "C8"), "", "OK",
       "4800 RPM", "150 RPM", "15000 RPM", Threshold(7)},
      {"fan below its lower limit", R"("type": "04", "unit": "12", "m": 75, "raw": "01", )" + Limits("02", "C8"), "",
       "Fail", "75 RPM", "150 RPM", "15000 RPM", Threshold(7)},
      {"Fahrenheit: no sign correction", R"("type": "01", "unit": "02", "raw": "5A", )" + Limits("FB", "C8"), "",
       "Fail", "90 F", "251 F", "200 F", Threshold(7)},
      {"kelvin", R"("type": "01", "unit": "03", "raw": "FA", )" + Limits("0A", "FE"), "", "OK", "250 K", "10 K",
       "254 K", Threshold(7)},
      {"fan not present (CBh)", R"("type": "04", "unit": "12", "m": 75, "present": false, )" + Limits("02", "C8"), "",
       "", "N/A", "N/A", "N/A", Threshold(7, false)},
      {"raw reading FFh means not present",
       R"("type": "04", "unit": "12", "m": 75, "raw": "FF", )" + Limits("02", "C8"), "", "", "N/A", "N/A", "N/A",
       Threshold(7, false)},
  });
}

TEST(ToolSdr, HundredthsUnits) {
  const std::string volts = R"("type": "02", "unit": "04", )";
  CheckSensorCases({
      {"12.00 V whatever the limits", volts + R"("raw": "0C", )" + Limits("20", "05"), "", "OK", "12.00 V", "32.00 V",
       "5.00 V", Threshold(7)},
      {"1.239 V truncated to 1.23", volts + R"("m": 7, "k2": -3, "raw": "B1", )" + Limits("AA", "C8"), "", "OK",
       "1.23 V", "1.19 V", "1.40 V", Threshold(7)},
      {"log10 of 100 is 2.00", volts + R"("m": 100, "linearization": "02", "raw": "01", )" + Limits("01", "0A"), "",
       "OK", "2.00 V", "100.00 V", "1000.00 V", Threshold(7)},
      {"square applies to the limits too", volts + R"("linearization": "08", "raw": "03", )" + Limits("02", "04"), "",
       "OK", "9.00 V", "4.00 V", "16.00 V", Threshold(7)},
      {"amps", R"("type": "03", "unit": "05", "k2": -1, "raw": "0F", )" + Limits("00", "C8"), "", "OK", "1.50 Amps",
       "0.00 Amps", "20.00 Amps", Threshold(7)},
      {"watts, negative B", R"("type": "0B", "unit": "06", "m": 2, "b": -10, "raw": "02", )" + Limits("00", "FF"), "",
       "OK", "-6.00 Watts", "-10.00 Watts", "500.00 Watts", Threshold(7)},
      {"unit 00h", R"("type": "0B", "unit": "00", "raw": "05", )" + Limits("00", "FF"), "", "OK", "5.00 ", "0.00 ",
       "255.00 ", Threshold(7)},
      // The limits are still asked for and shown.
      {"voltage reading CBh", volts + R"("raw": "0C", )" + Limits("0B", "0D"),
       R"([{"netFn": "04", "cmd": "2D", "code": "CB"}])", "", "N/A", "11.00 V", "13.00 V", Threshold(7, false)},
  });
}

TEST(ToolSdr, DiscreteSensors) {
  CheckSensorCases({
      {"power supply, presence alone", R"("type": "08", "raw": "00", "state": "01 00")", "", "OK", "00 C0 01 00", "N/A",
       "N/A", Discrete(7)},
      {"power supply, failure", R"("type": "08", "state": "02 00")", "", "Fail", "00 C0 02 00", "N/A", "N/A",
       Discrete(7)},
      {"power supply, presence and failure", R"("type": "08", "state": "03 00")", "", "Fail", "00 C0 03 00", "N/A",
       "N/A", Discrete(7)},
      {"power supply, nothing asserted", R"("type": "08", "state": "00 00")", "", "OK", "00 C0 00 00", "N/A", "N/A",
       Discrete(7)},
      {"processor 80h", R"("type": "07", "raw": "12", "state": "80 05")", "", "Fail", "12 C0 80 05", "N/A", "N/A",
       Discrete(7)},
      {"processor, nothing asserted", R"("type": "07", "state": "00 01")", "", "OK", "00 C0 00 01", "N/A", "N/A",
       Discrete(7)},
      {"physical security", R"("type": "05", "state": "01 00")", "", "Fail", "00 C0 01 00", "N/A", "N/A", Discrete(7)},
      {"module/board", R"("type": "15", "state": "00 00")", "", "OK", "00 C0 00 00", "N/A", "N/A", Discrete(7)},
      {"OEM C0h unavailable", R"("type": "C0", "state": "02 00", "unavailable": true)", "", "", "N/A", "N/A", "N/A",
       Discrete(7)},
      {"OEM C0h level 02h", R"("type": "C0", "state": "02 00")", "", "OK", "00 C0 02 00", "N/A", "N/A", Discrete(7)},
      {"OEM C0h level 04h", R"("type": "C0", "raw": "33", "state": "04 00")", "", "OK", "33 C0 04 00", "N/A", "N/A",
       Discrete(7)},
      {"OEM C0h state 03h is no level", R"("type": "C0", "state": "03 00")", "", "", "N/A", "N/A", "N/A", Discrete(7)},
      {"OEM C0h state 07h is no level", R"("type": "C0", "state": "07 00")", "", "", "N/A", "N/A", "N/A", Discrete(7)},
  });
}

TEST(ToolSdr, ColumnsAndLongNames) {
  const ToolRun run = Sdr(R"({"records": [
      {"id": 65535, "name": "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", "number": "01", "type": "08", "state": "01 00"},
      {"id": 12, "name": "", "number": "02", "type": "08", "state": "01 00"},
      {"id": 300, "name": "Exactly Twenty Chars", "number": "03", "type": "08", "state": "01 00"}]})");
  EXPECT_EQ(run.output, kHeader + Line("OK", "(65535) ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", "00 C0 01 00", "N/A", "N/A") +
                            Line("OK", "(12) ", "00 C0 01 00", "N/A", "N/A") +
                            Line("OK", "(300) Exactly Twenty Chars", "00 C0 01 00", "N/A", "N/A"));
  // Longer names widen their line; nothing is cut.
  EXPECT_NE(
      run.output.find("\n    OK | (65535) ABCDEFGHIJKLMNOPQRSTUVWXYZ01234 |  00 C0 01 00 |       N/A |        N/A\n"),
      std::string::npos);
  EXPECT_NE(run.output.find("\n    OK | (12)                     |  00 C0 01 00 |"), std::string::npos);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, Join(Join(Join(Loading({65535, 12, 300}), Discrete(1)), Discrete(2)), Discrete(3)));
}

TEST(ToolSdr, RecordsChainedByTheNextRecordIdAndOtherTypesSilent) {
  // IDs 1, 2, 10h, 11h, 100h: an MC locator, a temperature, a compact record,
  // a power supply, a FRU locator.
  const ToolRun run = Sdr(R"({"records": [
      "01 00 51 12 0E 20 00 00 9F 00 00 00 06 01 00 C3 42 4D 43",
      {"id": 2, "name": "Temp", "number": "01", "type": "01", "unit": "01", "raw": "19", "thresholds": "09 05 00 00 55 00 00"},
      "10 00 51 02 21 20 00 70 1A 01 67 40 0D 6F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 C6 44 72 69 76 65 30",
      {"id": 17, "name": "PSU", "number": "02", "type": "08", "state": "01 00"},
      "00 01 51 11 14 20 00 80 00 00 10 00 07 01 00 C9 4D 61 69 6E 62 6F 61 72 64"]})");
  EXPECT_EQ(run.output, kHeader + Line("OK", "(2) Temp", "25C/77F", "5C/41F", "85C/185F") +
                            Line("OK", "(17) PSU", "00 C0 01 00", "N/A", "N/A"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, Join(Join(Loading({1, 2, 0x10, 0x11, 0x100}), Threshold(1)), Discrete(2)));
}

TEST(ToolSdr, EmptyRepositoryPrintsTheHeaderOnly) {
  const ToolRun run = Sdr(R"({"records": []})");
  EXPECT_EQ(run.output, kHeader);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, (Requests{"0A 20", "0A 22"}));
}

std::string ThreeSensors() {
  return R"({"records": [
      {"name": "A", "number": "01", "type": "08", "state": "01 00"},
      {"name": "B", "number": "02", "type": "08", "state": "02 00"},
      {"name": "C", "number": "03", "type": "08", "state": "01 00"}]})";
}

TEST(ToolSdr, LoadingFailuresPrintOneLineAndNothingOfTheListing) {
  const struct {
    std::string faults;
    std::string output;
    Requests requests;
  } cases[] = {
      {R"([{"netFn": "0A", "cmd": "20", "code": "C1"}])",
       "Failed to get SDR repository info, Completion Code=C1h\n",
       {"0A 20"}},
      {R"([{"netFn": "0A", "cmd": "22", "code": "C1"}])",
       "Failed to get reserve SDR, Completion Code=C1h\n",
       {"0A 20", "0A 22"}},
      {R"([{"netFn": "0A", "cmd": "23", "nth": 3, "code": "C5"}])", "Failed to get SDR data, Completion Code=C5h\n",
       Loading({1, 2, 3})},
      {R"([{"netFn": "0A", "cmd": "23", "nth": 1, "code": "CA"}])", "Failed to get SDR data, Completion Code=CAh\n",
       Loading({1})},
  };
  for (const auto& c : cases) {
    const ToolRun run = Sdr(ThreeSensors(), c.faults);
    EXPECT_EQ(run.output, c.output) << c.faults;
    EXPECT_EQ(run.status, 11) << c.faults;
    EXPECT_EQ(run.requests, c.requests) << c.faults;
  }
}

TEST(ToolSdr, TransportFailureWhileLoading) {
  Scenario scenario = ScenarioFrom(R"({"sdr": )" + ThreeSensors() + "}");
  scenario.kcs.onTransfer = 4;  // the second Get SDR
  scenario.kcs.forceStateAt = KcsPhase::ReadPhase;
  scenario.kcs.forcedState = KcsStateCode::Error;
  const ToolRun run = RunTool(scenario, {"-sdr"});
  EXPECT_EQ(run.output, "Error: KCS is under error state.\nFailed to get SDR data, Completion Code=03h\n");
  EXPECT_EQ(run.status, 11);
}

// Short successful replies to the repository information and the reservation
// are taken as they came, their missing bytes 00h.
TEST(ToolSdr, ShortInfoAndReservationRepliesAreUsed) {
  const std::string firstTwo =
      Line("OK", "(1) A", "00 C0 01 00", "N/A", "N/A") + Line("Fail", "(2) B", "00 C0 02 00", "N/A", "N/A");
  const std::string all = firstTwo + Line("OK", "(3) C", "00 C0 01 00", "N/A", "N/A");
  const Requests listed = Join(Join(Discrete(1), Discrete(2)), Discrete(3));
  const struct {
    const char* what;
    unsigned transfer;
    std::vector<uint8_t> frame;
    std::string output;
    Requests requests;
  } cases[] = {
      {"info with version and count", 1, {0x2C, 0x20, 0x00, 0x51, 0x03, 0x00}, all, Join(Loading({1, 2, 3}), listed)},
      {"info without the count's MS byte",
       1,
       {0x2C, 0x20, 0x00, 0x51, 0x02},
       firstTwo,
       Join(Loading({1, 2}), Join(Discrete(1), Discrete(2)))},
      {"info without data: no records", 1, {0x2C, 0x20, 0x00}, "", {"0A 20", "0A 22"}},
      {"reservation without data: 0000h",
       2,
       {0x2C, 0x22, 0x00},
       all,
       Join({"0A 20", "0A 22", "0A 23 00 00 00 00 00 FF", "0A 23 00 00 02 00 00 FF", "0A 23 00 00 03 00 00 FF"},
            listed)},
      {"reservation of one byte, its LS byte", 2, {0x2C, 0x22, 0x00, 0x01}, all, Join(Loading({1, 2, 3}), listed)},
  };
  for (const auto& c : cases) {
    Scenario scenario = ScenarioFrom(R"({"sdr": )" + ThreeSensors() + "}");
    scenario.kcs.onTransfer = c.transfer;
    scenario.kcs.responseFrame = c.frame;
    const ToolRun run = RunTool(scenario, {"-sdr"});
    EXPECT_EQ(run.output, kHeader + c.output) << c.what;
    EXPECT_EQ(run.status, 0) << c.what;
    EXPECT_EQ(run.requests, c.requests) << c.what;
  }
}

TEST(ToolSdr, AReplyOfOnlyTheNextRecordIdLeavesThatRecordOut) {
  // The second Get SDR (transfer 4) answers the next record ID 0003h alone.
  Scenario scenario = ScenarioFrom(R"({"sdr": )" + ThreeSensors() + "}");
  scenario.kcs.onTransfer = 4;
  scenario.kcs.responseFrame = std::vector<uint8_t>{0x2C, 0x23, 0x00, 0x03, 0x00};
  const ToolRun run = RunTool(scenario, {"-sdr"});
  EXPECT_EQ(run.output, kHeader + Line("OK", "(1) A", "00 C0 01 00", "N/A", "N/A") +
                            Line("OK", "(3) C", "00 C0 01 00", "N/A", "N/A"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, Join(Join(Loading({1, 2, 3}), Discrete(1)), Discrete(3)));
}

TEST(ToolSdr, MoreRecordsThanTheTableListsTheFirst128) {
  std::string records = R"({"records": [)";
  for (int id = 1; id <= 130; ++id) {
    records += std::string(id > 1 ? "," : "") + R"({"name": "S)" + std::to_string(id) + R"(", "number": ")" +
               Hex(static_cast<unsigned>(id)) + R"(", "type": "08", "state": "01 00"})";
  }
  const ToolRun run = Sdr(records + "]}");
  std::vector<unsigned> ids;
  std::string expected = kHeader;
  Requests sensors;
  for (unsigned id = 1; id <= 128; ++id) {
    ids.push_back(id);
    expected += Line("OK", "(" + std::to_string(id) + ") S" + std::to_string(id), "00 C0 01 00", "N/A", "N/A");
    sensors.push_back("04 2D " + Hex(id));
  }
  EXPECT_EQ(run.output, expected);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, Join(Loading(ids), sensors));
}

// What the listing shows where a BMC's answers leave it nothing to show.
TEST(ToolSdr, ShortLongAndFailedReadings) {
  const std::string psu = R"("type": "08", )";
  const std::string volts = R"("type": "02", "unit": "04", "raw": "0C", )" + Limits("0B", "0D");
  const std::string temp = R"("type": "01", "unit": "01", "raw": "23", )" + Limits("05", "55");
  CheckSensorCases({
      {"discrete reply of two bytes: the rest read 00h", psu + R"("readingReply": "01 C0")", "", "OK", "01 C0 00 00",
       "N/A", "N/A", Discrete(7)},
      {"discrete reply of no bytes", psu + R"("readingReply": "")", "", "OK", "00 00 00 00", "N/A", "N/A", Discrete(7)},
      {"discrete reply of eight bytes: four are read", psu + R"("readingReply": "01 C0 02 03 04 05 06 07")", "", "Fail",
       "01 C0 02 03", "N/A", "N/A", Discrete(7)},
      {"discrete reading refused", psu + R"("state": "01 00")", R"([{"netFn": "04", "cmd": "2D", "code": "C1"}])", "",
       "N/A", "N/A", "N/A", Discrete(7)},
      // A code other than CBh is no proof of absence: the reading is asked
      // again, and a second failure leaves nothing to show.
      {"threshold reading fails twice", temp, R"([{"netFn": "04", "cmd": "2D", "code": "C0"}])", "", "N/A", "5C/41F",
       "85C/185F", Threshold(7)},
      {"threshold reading fails once", temp, R"([{"netFn": "04", "cmd": "2D", "nth": 1, "code": "C0"}])", "OK",
       "35C/95F", "5C/41F", "85C/185F", Threshold(7)},
      {"second reading without data", temp, R"([{"netFn": "04", "cmd": "2D", "nth": 2, "code": "00"}])", "", "N/A",
       "5C/41F", "85C/185F", Threshold(7)},
      {"hundredths reading fails twice", volts, R"([{"netFn": "04", "cmd": "2D", "code": "D5"}])", "", "N/A", "11.00 V",
       "13.00 V", Threshold(7)},
      // No limits to compare with: no failure either.
      {"thresholds refused", temp, R"([{"netFn": "04", "cmd": "27", "code": "C1"}])", "OK", "35C/95F", "N/A", "N/A",
       Threshold(7)},
      {"thresholds reply too short", R"("type": "01", "unit": "01", "raw": "23", "thresholds": "09 05 00 00 55 00")",
       "", "OK", "35C/95F", "N/A", "N/A", Threshold(7)},
      {"hundredths thresholds refused", volts, R"([{"netFn": "04", "cmd": "27", "code": "C1"}])", "OK", "12.00 V",
       "N/A", "N/A", Threshold(7)},
      {"unit code outside the table", R"("type": "02", "unit": "07", "raw": "0C", )" + Limits("0B", "0D"), "", "OK",
       "12.00 ", "11.00 ", "13.00 ", Threshold(7)},
  });
}

TEST(ToolSdr, AFailedSensorNeverShowsTheBytesOfAnother) {
  const ToolRun run = Sdr(R"({"records": [
      {"name": "A", "number": "01", "type": "07", "raw": "5A", "state": "80 01"},
      {"name": "B", "number": "02", "type": "07", "raw": "5B", "state": "00 00"},
      {"name": "T1", "number": "03", "type": "01", "unit": "01", "raw": "23", "thresholds": "09 05 00 00 55 00 00"},
      {"name": "T2", "number": "04", "type": "01", "unit": "01", "raw": "24", "thresholds": "09 06 00 00 56 00 00"}]})",
                          R"([{"netFn": "04", "cmd": "2D", "data": "02", "code": "C3"},
                              {"netFn": "04", "cmd": "2D", "data": "04", "code": "C3"},
                              {"netFn": "04", "cmd": "27", "data": "04", "code": "C3"}])");
  EXPECT_EQ(run.output,
            kHeader + Line("Fail", "(1) A", "5A C0 80 01", "N/A", "N/A") + Line("", "(2) B", "N/A", "N/A", "N/A") +
                Line("OK", "(3) T1", "35C/95F", "5C/41F", "85C/185F") + Line("", "(4) T2", "N/A", "N/A", "N/A"));
  EXPECT_EQ(run.status, 0);
}

// Results that are not a finite number, or too large for the column's
// integer, read "N/A"; a reading shown so has no status.
TEST(ToolSdr, ValuesThatCannotBeShown) {
  const std::string volts = R"("type": "02", "unit": "04", )";
  const std::string temp = R"("type": "01", "unit": "01", )";
  CheckSensorCases({
      {"ln of 0", volts + R"("linearization": "01", "raw": "00", )" + Limits("01", "02"), "", "", "N/A", "1.00 V",
       "2.00 V", Threshold(7)},
      {"log10 of a negative value", volts + R"("linearization": "02", "b": -20, "raw": "05", )" + Limits("00", "FF"),
       "", "", "N/A", "-20.00 V", "235.00 V", Threshold(7)},
      {"1/0", volts + R"("linearization": "07", "raw": "00", )" + Limits("01", "02"), "", "", "N/A", "1.00 V", "2.00 V",
       Threshold(7)},
      {"1/4", volts + R"("linearization": "07", "raw": "04", )" + Limits("01", "02"), "", "OK", "0.25 V", "1.00 V",
       "2.00 V", Threshold(7)},
      {"10^y overflows", volts + R"("linearization": "05", "m": 511, "k2": 7, "raw": "FE", )" + Limits("00", "01"), "",
       "", "N/A", "0.00 V", "N/A", Threshold(7)},
      {"10^2", volts + R"("linearization": "05", "raw": "02", )" + Limits("00", "01"), "", "OK", "100.00 V", "0.00 V",
       "1.00 V", Threshold(7)},
      // 21474836.47 is the largest value whose hundredths fit 32 bits.
      {"hundredths beyond 32 bits", volts + R"("m": 511, "k2": 7, "raw": "FE", )" + Limits("01", "00"), "", "", "N/A",
       "N/A", "0.00 V", Threshold(7)},
      // Limits 5.11e9 (low byte 80h: -128) and 1.022e10 (low byte 00h: kept, too large).
      {"temperature beyond 32 bits", temp + R"("m": 511, "k2": 7, "raw": "FE", )" + Limits("01", "02"), "", "", "N/A",
       "-128C/-197F", "N/A", Threshold(7)},
      {"Fahrenheit beyond 32 bits", temp + R"("m": 500, "k2": 4, "raw": "FA", )" + Limits("00", "00"), "", "", "N/A",
       "0C/32F", "0C/32F", Threshold(7)},
      {"square root and cube root", volts + R"("linearization": "0A", "raw": "51", )" + Limits("40", "1B"), "", "OK",
       "9.00 V", "64.00 V", "27.00 V", Threshold(7)},
      {"cube root", volts + R"("linearization": "0B", "raw": "1B", )" + Limits("40", "1B"), "", "OK", "3.00 V",
       "64.00 V", "27.00 V", Threshold(7)},
      {"linearization 03h leaves y as it is", volts + R"("linearization": "03", "raw": "08", )" + Limits("40", "1B"),
       "", "OK", "8.00 V", "64.00 V", "27.00 V", Threshold(7)},
  });
}

TEST(ToolSdr, DefaultBmcListsAPlausibleServer) {
  const ToolRun run = RunTool({"-sdr"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, kHeader + Line("OK", "(2) CPU1 Temp", "45C/113F", "5C/41F", "85C/185F") +
                            Line("OK", "(3) CPU2 Temp", "48C/118F", "5C/41F", "85C/185F") +
                            Line("OK", "(4) Inlet Temp", "23C/73F", "-5C/23F", "45C/113F") +
                            Line("OK", "(5) 12V", "12.00 V", "11.40 V", "12.60 V") +
                            Line("OK", "(6) 5V", "5.01 V", "4.65 V", "5.34 V") +
                            Line("OK", "(7) 3.3V", "3.30 V", "3.08 V", "3.52 V") +
                            Line("OK", "(8) FAN1", "7000 RPM", "500 RPM", "10000 RPM") +
                            Line("OK", "(9) FAN2", "6900 RPM", "500 RPM", "10000 RPM") +
                            Line("", "(10) FAN3", "N/A", "N/A", "N/A") +
                            Line("OK", "(11) PSU1 Power", "180.00 Watts", "0.00 Watts", "450.00 Watts") +
                            Line("OK", "(12) PSU1 Current", "1.50 Amps", "0.00 Amps", "20.00 Amps") +
                            Line("OK", "(13) PSU1 Status", "00 C0 01 00", "N/A", "N/A") +
                            Line("Fail", "(14) PSU2 Status", "00 C0 09 00", "N/A", "N/A") +
                            Line("OK", "(15) CPU1 Status", "00 C0 00 00", "N/A", "N/A") +
                            Line("OK", "(16) Chassis Intru", "00 C0 00 00", "N/A", "N/A") +
                            Line("OK", "(17) Fan Level", "00 C0 01 00", "N/A", "N/A"));
}

// Sixty temperature sensors: the whole run's requests; the simulated time it
// takes at the KCS timing is reported, not asserted.
TEST(ToolSdr, SixtySensors) {
  std::string records = R"({"records": [)";
  std::vector<unsigned> ids;
  std::string expected = kHeader;
  Requests sensors;
  for (unsigned n = 1; n <= 60; ++n) {
    records += std::string(n > 1 ? "," : "") + R"({"name": "Temp )" + std::to_string(n) + R"(", "number": ")" + Hex(n) +
               R"(", "type": "01", "unit": "01", "raw": "2D", "thresholds": "09 05 00 00 55 00 00"})";
    ids.push_back(n);
    expected += Line("OK", "(" + std::to_string(n) + ") Temp " + std::to_string(n), "45C/113F", "5C/41F", "85C/185F");
    sensors = Join(sensors, Threshold(n));
  }
  const ToolRun run = Sdr(records + "]}");
  EXPECT_EQ(run.output, expected);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.requests, Join(Loading(ids), sensors));
  RecordProperty("requests", static_cast<int>(run.requests.size()));
  RecordProperty("simulatedMicroseconds", std::to_string(run.elapsedMicroseconds));
  std::printf("-sdr with 60 full sensor records: %zu requests, %llu us simulated\n", run.requests.size(),
              static_cast<unsigned long long>(run.elapsedMicroseconds));
}

}  // namespace

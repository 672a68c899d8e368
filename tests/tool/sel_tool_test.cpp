// -sel info, del, raw and list: output, status and the exact requests, against
// the simulated SEL, each run in a directory holding the event text data files
// the case chooses.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/tool/tool_harness.hpp"

namespace {

namespace fs = std::filesystem;

const char* const kDataFiles[] = {"MBType.dat",   "GenEvt.dat",   "SpecEvt1.dat", "SpecEvt2.dat", "SpecEvt3.dat",
                                  "SpecEvt4.dat", "SpecEvt5.dat", "RomEN.dat",    "RomEPEX.dat"};

// A temporary working directory with the generated data files; a case may
// replace or remove any of them.
class DataDirectory {
 public:
  DataDirectory() {
    std::string pattern = testing::TempDir() + "tolvane-sel-XXXXXX";
    path_ = mkdtemp(pattern.data());
    for (const char* name : kDataFiles) fs::copy_file(fs::path(TOLVANE_EVENT_DATA_DIR) / name, fs::path(path_) / name);
  }
  ~DataDirectory() { fs::remove_all(path_); }
  void Write(const std::string& name, const std::string& content) const {
    std::ofstream(fs::path(path_) / name, std::ios::binary | std::ios::trunc) << content;
  }
  void Remove(const std::string& name) const { fs::remove(fs::path(path_) / name); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string EventRecord(uint8_t key1, uint8_t key2, uint8_t key3, const std::string& text) {
  std::string record(1028, '\0');
  record[0] = static_cast<char>(key1);
  record[1] = static_cast<char>(key2);
  record[2] = static_cast<char>(key3);
  record.replace(516, text.size(), text);
  return record;
}

std::string KeyedRecord(uint8_t key1, uint8_t key2, const std::string& text) {
  std::string record(258, '\0');
  record[0] = static_cast<char>(key1);
  record[1] = static_cast<char>(key2);
  record.replace(2, text.size(), text);
  return record;
}

std::string Hex(std::initializer_list<unsigned> bytes) {
  std::string text;
  char part[4];
  for (unsigned b : bytes) {
    std::snprintf(part, sizeof part, "%s%02X", text.empty() ? "" : " ", b & 0xFF);
    text += part;
  }
  return text;
}

constexpr uint32_t kTime = 0x66431ADD;  // 2024/05/14 08:03:41
const std::string kTimeText = "2024/05/14 08:03:41";

// A system event record: record ID, type 02h, timestamp, generator 0020h, EvM 04h.
std::string Entry(unsigned id, unsigned sensorType, unsigned sensorNumber, unsigned dirType, unsigned d1, unsigned d2,
                  unsigned d3, uint32_t time = kTime) {
  return R"({"raw": ")" +
         Hex({id, id >> 8, 0x02, time, time >> 8, time >> 16, time >> 24, 0x20, 0x00, 0x04, sensorType, sensorNumber,
              dirType, d1, d2, d3}) +
         R"("})";
}

// The default BMC with this log (and further "sel" keys).
std::string Log(const std::vector<std::string>& entries, const std::string& selKeys = "") {
  std::string json = R"({"sel": {)" + selKeys + (selKeys.empty() ? "" : ", ") + R"("entries": [)";
  for (size_t i = 0; i < entries.size(); ++i) json += (i ? ", " : "") + entries[i];
  return json + "]}}";
}

// The logs of these tests name their sensors through the SDR records they give,
// so the BMC's repository holds only those (none when the scenario gives none).
Scenario SelScenario(const std::string& json) {
  Scenario scenario = ScenarioFrom(json);
  if (json.find("\"sdr\"") == std::string::npos) scenario.state.sdr.records.clear();
  return scenario;
}

std::string GetEntry(unsigned reservation, unsigned id) {
  return Hex({0x0A, 0x43, reservation, reservation >> 8, id, id >> 8, 0x00, 0xFF});
}

// The requests of a listing of entries with IDs 1..n read under reservation
// 0001h, and of the SDR repository read at its first entry.
std::vector<std::string> ListingRequests(unsigned entries, std::vector<std::string> more = {"0A 20", "0A 22"}) {
  std::vector<std::string> requests = {"0A 40", "0A 42"};
  for (unsigned i = 0; i < entries; ++i) requests.push_back(GetEntry(1, i == 0 ? 0 : i + 1));
  requests.insert(requests.end(), more.begin(), more.end());
  return requests;
}

std::string Listed(int k, const std::string& name, const std::string& event, const std::string& time = kTimeText) {
  char number[8];
  std::snprintf(number, sizeof number, "%3d", k);
  return std::string(number) + " | " + time + " | " + name + " \n    | " + event + "\n";
}

struct Case {
  const char* name;
  std::string scenario;
  std::vector<std::string> args;
  int status;
  std::string output;
  std::vector<std::string> requests;
  std::map<std::string, std::string> files = {};  // replaced data files ("" removes one)
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DataDirectory directory;
    for (const auto& [file, content] : c.files) {
      if (content.empty()) {
        directory.Remove(file);
      } else {
        directory.Write(file, content);
      }
    }
    const ToolRun run = RunTool(SelScenario(c.scenario), c.args, directory.Path());
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.requests, c.requests);
  }
}

const std::string kAllocation =
    "# of alloc units : 1000\nAlloc unit size  : 16 bytes\n# free alloc unit: 998 \nLargest free blk : 998 \n"
    "Max record size  : 1 \n";

std::string InfoLines(const std::string& added, const std::string& erased) {
  return "# of log entries : 2\nFree Space       : 15968 bytes\nMost recent add  : " + added +
         "Most recent del  : " + erased;
}

std::string TwoEntriesWithTimes(const std::string& added, const std::string& erased, const std::string& more = "") {
  return Log({Entry(1, 1, 1, 1, 0, 0, 0), Entry(2, 1, 1, 1, 0, 0, 0)},
             more + R"("lastAddTime": )" + added + R"(, "lastEraseTime": )" + erased);
}

TEST(ToolSel, InfoShowsCountsTimesAndAllocation) {
  // clang-format off
  RunCases({
      {"pre-init and the first absolute time", TwoEntriesWithTimes("4660", "536870912"), {"-sel", "info"}, 0,
       InfoLines("Pre-Init \n", "Mon Jan  5 18:48:32 1987\r\n") + kAllocation, {"0A 40", "0A 41"}},
      {"just below 20000000h, and FFFFFFFFh", TwoEntriesWithTimes("536870911", "4294967295"), {"-sel", "info"}, 0,
       InfoLines("Pre-Init \n", "Pre-Init \n") + kAllocation, {"0A 40", "0A 41"}},
      {"7FFFFFFFh, and 80000000h (negative)", TwoEntriesWithTimes("2147483647", "2147483648"), {"-sel", "info"}, 0,
       InfoLines("Tue Jan 19 03:14:07 2038\r\n", "Pre-Init \n") + kAllocation, {"0A 40", "0A 41"}},
      {"allocation info not supported", TwoEntriesWithTimes("0", "0", R"("operationSupport": "02", )"),
       {"-sel", "info"}, 11,
       InfoLines("Pre-Init \n", "Pre-Init \n") + "Failed to get SEL allocation info, Completion Code=C1h\n",
       {"0A 40", "0A 41"}},
      {"Get SEL Info fails", R"({"completionCodes": [{"netFn": "0A", "cmd": "40", "code": "C0"}]})", {"-sel", "info"},
       11, "Failed to get SEL info, Completion Code=C0h\n", {"0A 40"}},
      // The information lines read 13 reply bytes; 12 are too few.
      {"Get SEL Info of 12 bytes", R"({"kcs": {"onTransfer": 1, "responseFrame": "2C 40 00 51 02 00 00 01 00 00 00 00 00 00 00"}})",
       {"-sel", "info"}, 11, "Failed to get SEL info, Completion Code=CEh\n", {"0A 40"}},
      {"Get SEL Info of 13 bytes", R"({"kcs": {"onTransfer": 1, "responseFrame": "2C 40 00 51 02 00 10 01 00 00 00 00 00 00 00 20"}})",
       {"-sel", "info"}, 0,
       "# of log entries : 2\nFree Space       : 272 bytes\nMost recent add  : Pre-Init \nMost recent del  : "
       "Mon Jan  5 18:48:32 1987\r\n"
       "# of alloc units : 1000\nAlloc unit size  : 16 bytes\n# free alloc unit: 993 \nLargest free blk : 993 \n"
       "Max record size  : 1 \n",
       {"0A 40", "0A 41"}},
  });
  // clang-format on
}

TEST(ToolSel, DelReservesAndClearsWithoutWaiting) {
  // clang-format off
  RunCases({
      {"clear", "{}", {"-sel", "del"}, 0, "Clear all SEL successfully.\n", {"0A 42", "0A 47 01 00 43 4C 52 AA"}},
      {"Reserve SEL not supported", Log({}, R"("operationSupport": "01")"), {"-sel", "del"}, 11,
       "Failed to get reserve SEL, Completion Code=C1h\n", {"0A 42"}},
      {"Clear SEL refused", R"({"completionCodes": [{"netFn": "0A", "cmd": "47", "code": "C5"}]})", {"-sel", "del"}, 11,
       "Failed to clear SEL, Completion Code=C5h\n", {"0A 42", "0A 47 01 00 43 4C 52 AA"}},
  });
  // clang-format on
}

TEST(ToolSel, RawDumpsEveryEntryChainedByRecordId) {
  const std::string three = Log({R"({"raw": "01 00 02 00 00 00 00 20 00 04 01 30 01 57 58 55"})",
                                 R"({"raw": "10 00 02 FF 00 00 80 33 00 04 0C 60 6F A0 0A 81"})",
                                 R"({"raw": "00 01 C0 01 02 03 04 57 01 00 AB CD EF 01 02 03"})"});
  // clang-format off
  RunCases({
      {"three entries, no reservation", three, {"-sel", "raw"}, 0,
       "SEL(   1) 01 00 02 00 00 00 00 20 00 04 01 30 01 57 58 55 \n"
       "SEL(   2) 10 00 02 FF 00 00 80 33 00 04 0C 60 6F A0 0A 81 \n"
       "SEL(   3) 00 01 C0 01 02 03 04 57 01 00 AB CD EF 01 02 03 \n",
       {"0A 40", GetEntry(0, 0), GetEntry(0, 0x10), GetEntry(0, 0x100)}},
      {"empty log", Log({}), {"-sel", "raw"}, 0, "", {"0A 40"}},
      {"second Get SEL Entry fails", three.substr(0, three.size() - 1) + R"(, "completionCodes": [{"netFn": "0A",
       "cmd": "43", "nth": 2, "code": "CB"}]})", {"-sel", "raw"}, 11,
       "Failed to get SEL allocation info, Completion Code=CBh\n", {"0A 40", GetEntry(0, 0), GetEntry(0, 0x10)}},
      {"Get SEL Info fails", R"({"completionCodes": [{"cmd": "40", "code": "FF"}]})", {"-sel", "raw"}, 11,
       "Failed to get SEL info, Completion Code=FFh\n", {"0A 40"}},
      // Implementer's choice: the bytes a short reply leaves out read as zero.
      {"short reply", three.substr(0, three.size() - 1) +
           R"(, "kcs": {"onTransfer": 3, "responseFrame": "2C 43 00 00 01 01 02"}})",
       {"-sel", "raw"}, 0,
       "SEL(   1) 01 00 02 00 00 00 00 20 00 04 01 30 01 57 58 55 \n"
       "SEL(   2) 01 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
       "SEL(   3) 00 01 C0 01 02 03 04 57 01 00 AB CD EF 01 02 03 \n",
       {"0A 40", GetEntry(0, 0), GetEntry(0, 0x10), GetEntry(0, 0x100)}},
      {"empty reply: next record 0000h", three.substr(0, three.size() - 1) +
           R"(, "kcs": {"onTransfer": 2, "responseFrame": "2C 43 00"}})",
       {"-sel", "raw"}, 0,
       "SEL(   1) 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \n"
       "SEL(   2) 01 00 02 00 00 00 00 20 00 04 01 30 01 57 58 55 \n"
       "SEL(   3) 10 00 02 FF 00 00 80 33 00 04 0C 60 6F A0 0A 81 \n",
       {"0A 40", GetEntry(0, 0), GetEntry(0, 0), GetEntry(0, 0x10)}},
  });
  // clang-format on
}

// Implementer's choice: a log of more than 1024 entries gives its first 1024;
// no request reads past them.
TEST(ToolSel, RawStopsAtTheTablesEnd) {
  for (const unsigned entries : {1024u, 1025u, 1030u}) {
    SCOPED_TRACE(entries);
    const ToolRun run = RunTool(
        SelScenario(Log({Entry(1, 1, 1, 1, 0, 0, 0)}, R"("capacity": 2000, "fillTo": )" + std::to_string(entries))),
        {"-sel", "raw"});
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.requests.size(), 1025u);
    EXPECT_EQ(run.requests.back(), GetEntry(0, 1024));
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1024);
    EXPECT_NE(run.output.find("SEL(1024) 00 04 02 DD 1A 43 66"), std::string::npos);
  }
}

// An SDR full sensor record with this sensor number and ID string.
std::string SdrRecord(unsigned id, unsigned sensorNumber, const std::string& name) {
  std::string bytes = Hex({id, id >> 8, 0x51, 0x01, static_cast<unsigned>(43 + name.size()), 0x20, 0x00, sensorNumber});
  for (int i = 8; i < 47; ++i) bytes += " 00";
  bytes += " " + Hex({static_cast<unsigned>(0xC0 | name.size())});
  for (char c : name) bytes += " " + Hex({static_cast<unsigned char>(c)});
  return "\"" + bytes + "\"";
}

TEST(ToolSel, ListNamesSensorsFromTheSdrOrByType) {
  const std::string twoRecords =
      R"(, "sdr": {"records": [)" + SdrRecord(1, 0x30, "CPU0 Temp") + ", " + SdrRecord(2, 0x30, "CPU1 Temp") + "]}}";
  const std::string emptyFirst =
      R"(, "sdr": {"records": [)" + SdrRecord(1, 0x30, "") + ", " + SdrRecord(2, 0x30, "CPU1 Temp") + "]}}";
  const std::string oneEntry = Log({Entry(1, 0x01, 0x30, 0x01, 0x57, 0x58, 0x55)});
  const std::vector<std::string> sdrReads = {"0A 20", "0A 22", "0A 23 01 00 00 00 00 FF", "0A 23 01 00 02 00 00 FF"};
  const std::string upperNc = "Assertion:Upper Non-critical - going high";
  // clang-format off
  RunCases({
      {"empty log: files opened, no SDR read", Log({}), {"-sel", "list"}, 0, "", {"0A 40", "0A 42"}},
      {"first of two records with the number", oneEntry.substr(0, oneEntry.size() - 1) + twoRecords, {"-sel", "list"},
       0, Listed(1, "CPU0 Temp", upperNc), ListingRequests(1, sdrReads)},
      {"an empty first name gives the default", oneEntry.substr(0, oneEntry.size() - 1) + emptyFirst,
       {"-sel", "list"}, 0, Listed(1, "Temperature", upperNc), ListingRequests(1, sdrReads)},
      {"SDR repository unreadable: defaults, each step sent",
       oneEntry.substr(0, oneEntry.size() - 1) + R"(, "completionCodes": [{"netFn": "0A", "cmd": "20", "code": "C1"}]})",
       {"-sel", "list"}, 0, Listed(1, "Temperature", upperNc), ListingRequests(1)},
      {"defaults by sensor type, SDR read once",
       Log({Entry(1, 0x04, 0x40, 0x01, 0x00, 0, 0), Entry(2, 0x2D, 0x41, 0x6F, 0x00, 0, 0),
            Entry(3, 0x00, 0x42, 0x7F, 0, 0, 0), Entry(4, 0x2C, 0x43, 0x6F, 0x07, 0, 0),
            Entry(5, 0xC3, 0x44, 0x7F, 0x03, 0, 0), Entry(6, 0xC3, 0x44, 0x7F, 0x83, 0, 0),
            Entry(7, 0xC2, 0x45, 0x7F, 0, 0, 0), Entry(8, 0xC6, 0x46, 0x7F, 0, 0, 0), Entry(9, 0xC7, 0x47, 0x7F, 0, 0, 0),
            Entry(10, 0xFF, 0x48, 0x7F, 0, 0, 0)}),
       {"-sel", "list"}, 0,
       Listed(1, "Fan", "Assertion:Lower Non-critical - going low") + Listed(2, "OEM", "Assertion:unknown event") +
           Listed(3, "reserved", "Assertion:OEM event") + Listed(4, "FRU State", "Assertion:FRU Communication Lost") +
           Listed(5, "PCH Hot", "Assertion:OEM event") + Listed(6, "CPU Error", "Assertion:OEM event") +
           Listed(7, "CPLD Event", "Assertion:OEM event") + Listed(8, "BBP", "Assertion:OEM event") +
           Listed(9, "Xeon Phi Throttle", "Assertion:OEM event") + Listed(10, "OEM", "Assertion:OEM event"),
       ListingRequests(10)},
  });
  // clang-format on
}

TEST(ToolSel, ListChoosesTheTextByEventType) {
  RunCases({
      {"direction bit and event/reading type codes",
       Log({Entry(1, 0x01, 1, 0x81, 0x52, 0, 0), Entry(2, 0x01, 1, 0x00, 0, 0, 0), Entry(3, 0x01, 1, 0x0C, 0x03, 0, 0),
            Entry(4, 0x01, 1, 0x0D, 0, 0, 0), Entry(5, 0x01, 1, 0x6E, 0, 0, 0), Entry(6, 0x08, 1, 0xF0, 0x01, 0, 0),
            Entry(7, 0x08, 1, 0x7F, 0x01, 0, 0), Entry(8, 0x07, 1, 0x0B, 0x00, 0, 0),
            Entry(9, 0x0F, 1, 0x6F, 0xC2, 0x13, 0xFF), Entry(10, 0x0F, 1, 0x6F, 0xC2, 0x15, 0xFF),
            Entry(11, 0x0F, 1, 0x6F, 0xC0, 0x0B, 0xFF)}),
       {"-sel", "list"},
       0,
       Listed(1, "Temperature", "Deassertion:Lower Critical - going low") +
           Listed(2, "Temperature", "Assertion:OEM event") + Listed(3, "Temperature", "Assertion:D3 Power State") +
           Listed(4, "Temperature", "Assertion:OEM event") + Listed(5, "Temperature", "Assertion:OEM event") +
           Listed(6, "Power Supply", "Deassertion:Power Supply Failure detected") +
           Listed(7, "Power Supply", "Assertion:OEM event") +
           Listed(8, "Processor",
                  "Assertion:Fully Redundant "
                  "(formerly \"Redundancy Regained\")") +
           Listed(9, "System Firmwares",
                  "Assertion:System Firmware Progress - Starting operating system boot process, e.g. calling Int 19h") +
           Listed(10, "System Firmwares", "Assertion:System Firmware Progress") +
           Listed(11, "System Firmwares",
                  "Assertion:System Firmware Error (POST Error) - Firmware (BIOS) ROM corruption "
                  "detected"),
       ListingRequests(11)},
  });
}

const std::string kNormalBoard = R"("boardId": "10 03")";

TEST(ToolSel, ListAppendsMemoryAndPciLocations) {
  const std::string ecc = "Assertion:Uncorrectable ECC / other uncorrectable memory error";
  const std::string serr = "Assertion:PCI SERR";
  // clang-format off
  RunCases({
      {"Normal board: CPU label and DIMM; the board asked once",
       Log({Entry(1, 0x0C, 1, 0x6F, 0xA1, 0x0A, 0x81), Entry(2, 0x0C, 1, 0x6F, 0xA1, 0x0A, 0x05),
            Entry(3, 0x0C, 1, 0x6F, 0xA0, 0x00, 0x00), Entry(4, 0x0C, 1, 0x6F, 0xA0, 0x1F, 0x80),
            Entry(5, 0x0C, 1, 0x6F, 0xA0, 0x00, 0x83), Entry(6, 0x0C, 1, 0x6F, 0xA0, 0x03, 0x84),
            Entry(7, 0x0C, 1, 0x6F, 0xA2, 0x0A, 0x81), Entry(8, 0x0C, 1, 0x01, 0x01, 0x0A, 0x81)},
           kNormalBoard),
       {"-sel", "list"}, 0,
       Listed(1, "Memory", ecc + " at CPU2 DIMM A") + Listed(2, "Memory", ecc + " at  DIMM A") +
           Listed(3, "Memory", "Assertion:Correctable ECC / other correctable memory error") +
           Listed(4, "Memory", "Assertion:Correctable ECC / other correctable memory error at CPU1 DIMM 1F") +
           Listed(5, "Memory", "Assertion:Correctable ECC / other correctable memory error at CPU4 DIMM 0") +
           Listed(6, "Memory", "Assertion:Correctable ECC / other correctable memory error at  DIMM 3") +
           Listed(7, "Memory", "Assertion:Parity") + Listed(8, "Memory", "Assertion:Lower Non-critical - going high"),
       ListingRequests(8, {"0A 20", "0A 22", "30 21"})},
      {"RomleyEN by a Q7TUV board name", Log({Entry(1, 0x0C, 1, 0x6F, 0xA1, 0x02, 0x80), Entry(2, 0x0C, 1, 0x6F, 0xA1, 0x20, 0x80)},
                                             R"("boardId": "10 01")"),
       {"-sel", "list"}, 0, Listed(1, "Memory", ecc + " at CPU1_DIMM_B1") + Listed(2, "Memory", ecc),
       ListingRequests(2, {"0A 20", "0A 22", "30 21"})},
      {"RomleyEPEX by a Q7KE board name", Log({Entry(1, 0x0C, 1, 0x6F, 0xA1, 0x02, 0x80)}, R"("boardId": "10 02")"),
       {"-sel", "list"}, 0, Listed(1, "Memory", ecc + " at CPU1_DIMM_A3"), ListingRequests(1, {"0A 20", "0A 22", "30 21"})},
      {"RomleyEN by a Q7KN board name", Log({Entry(1, 0x0C, 1, 0x6F, 0xA1, 0x02, 0x80)}, R"("boardId": "13 02")"),
       {"-sel", "list"}, 0, Listed(1, "Memory", ecc + " at CPU1_DIMM_B1"), ListingRequests(1, {"0A 20", "0A 22", "30 21"})},
      {"board unknown to MBType.dat: Normal, asked once",
       Log({Entry(1, 0x0C, 1, 0x6F, 0xA1, 0x02, 0x80), Entry(2, 0x0C, 1, 0x6F, 0xA1, 0x02, 0x80)}, R"("boardId": "99 99")"),
       {"-sel", "list"}, 0, Listed(1, "Memory", ecc + " at CPU1 DIMM 2") + Listed(2, "Memory", ecc + " at CPU1 DIMM 2"),
       ListingRequests(2, {"0A 20", "0A 22", "30 21"})},
      {"board query refused: CPU form, asked again",
       Log({Entry(1, 0x0C, 1, 0x6F, 0xA1, 0x02, 0x80), Entry(2, 0x0C, 1, 0x6F, 0xA1, 0x02, 0x80)}, R"("boardId": null)"),
       {"-sel", "list"}, 0, Listed(1, "Memory", ecc + " at CPU1 DIMM 2") + Listed(2, "Memory", ecc + " at CPU1 DIMM 2"),
       ListingRequests(2, {"0A 20", "0A 22", "30 21", "30 21"})},
      {"board identifier of one byte: refused (CEh)", Log({Entry(1, 0x0C, 1, 0x6F, 0xA1, 0x02, 0x80)}, R"("boardId": "10")"),
       {"-sel", "list"}, 0, Listed(1, "Memory", ecc + " at CPU1 DIMM 2"), ListingRequests(1, {"0A 20", "0A 22", "30 21"})},
      {"PCI PERR and SERR: bus, device, function",
       Log({Entry(1, 0x13, 1, 0x6F, 0xA5, 0x02, 0x0B), Entry(2, 0x13, 1, 0x6F, 0xA4, 0xFF, 0xFF),
            Entry(3, 0x13, 1, 0x6F, 0xA5, 0x00, 0x00), Entry(4, 0x13, 1, 0x6F, 0xA0, 0x02, 0x0B),
            Entry(5, 0x13, 1, 0x6F, 0xA6, 0x02, 0x0B), Entry(6, 0x13, 1, 0x70, 0x05, 0x00, 0x01)}),
       {"-sel", "list"}, 0,
       Listed(1, "Critical Interrupt", serr + ", Bus 2 /Device 1 /Function 3") +
           Listed(2, "Critical Interrupt", "Assertion:PCI PERR, Bus 255 /Device 31 /Function 7") +
           Listed(3, "Critical Interrupt", serr) +
           Listed(4, "Critical Interrupt", "Assertion:Front Panel NMI / Diagnostic Interrupt") +
           Listed(5, "Critical Interrupt", "Assertion:EISA Fail Safe Timeout") +
           Listed(6, "Critical Interrupt", serr + ", Bus 0 /Device 0 /Function 1"),
       ListingRequests(6)},
  });
  // clang-format on
}

TEST(ToolSel, ListLooksUpTheDataFilesAsWritten) {
  const std::string generic = Log({Entry(1, 0x01, 1, 0x01, 0x57, 0, 0)});
  const std::string specific = Log({Entry(1, 0x05, 1, 0x6F, 0x00, 0x07, 0), Entry(2, 0x05, 1, 0x6F, 0x00, 0x08, 0)});
  const std::string bbp = Log({Entry(1, 0xC6, 1, 0x6F, 0xA1, 0x0A, 0x81)});
  const std::string memory = Log({Entry(1, 0x0C, 1, 0x6F, 0xA1, 0x0A, 0x81)}, R"("boardId": "10 03")");
  const std::string end = EventRecord(0xFF, 0, 0, "");
  const std::string longName(250, 'x');
  // clang-format off
  RunCases({
      {"first GenEvt record 00h", generic, {"-sel", "list"}, 0, Listed(1, "Temperature", "Assertion:unknown event"),
       ListingRequests(1), {{"GenEvt.dat", EventRecord(0x00, 0x07, 0, "") + EventRecord(0x01, 0x07, 0, "seven")}}},
      {"event data 1 57h looks for offset 7", generic, {"-sel", "list"}, 0, Listed(1, "Temperature", "Assertion:seven"),
       ListingRequests(1),
       {{"GenEvt.dat", EventRecord(0x01, 0x57, 0, "57h") + EventRecord(0x01, 0x07, 0, "seven") + EventRecord(0, 0, 0, "")}}},
      {"no end marker, no match: empty text", generic, {"-sel", "list"}, 0, Listed(1, "Temperature", "Assertion:"),
       ListingRequests(1), {{"GenEvt.dat", EventRecord(0x01, 0x06, 0, "six")}}},
      {"odd length: the partial record never matches", generic, {"-sel", "list"}, 0,
       Listed(1, "Temperature", "Assertion:"), ListingRequests(1),
       {{"GenEvt.dat", EventRecord(0x01, 0x06, 0, "six") + EventRecord(0x01, 0x07, 0, "seven").substr(0, 1027)}}},
      // Implementer's choice: a text field without its zero byte gives its first 511 characters.
      {"text field without a terminator", generic, {"-sel", "list"}, 0,
       Listed(1, "Temperature", "Assertion:" + std::string(511, 'T')), ListingRequests(1),
       {{"GenEvt.dat", EventRecord(0x01, 0x07, 0, std::string(512, 'T'))}}},
      {"an FFh wildcard hides a later record", specific, {"-sel", "list"}, 0,
       Listed(1, "Physical Security", "Assertion:any") + Listed(2, "Physical Security", "Assertion:any"),
       ListingRequests(2),
       {{"SpecEvt1.dat", EventRecord(0x05, 0x00, 0xFF, "any") + EventRecord(0x05, 0x00, 0x07, "seven") + end}}},
      {"a record for one event data 2 before the wildcard", specific, {"-sel", "list"}, 0,
       Listed(1, "Physical Security", "Assertion:seven") + Listed(2, "Physical Security", "Assertion:any"),
       ListingRequests(2),
       {{"SpecEvt1.dat", EventRecord(0x05, 0x00, 0x07, "seven") + EventRecord(0x05, 0x00, 0xFF, "any") + end}}},
      {"SpecEvt without end marker or match: empty, no detail", memory, {"-sel", "list"}, 0,
       Listed(1, "Memory", "Assertion:"), ListingRequests(1), {{"SpecEvt1.dat", EventRecord(0x0C, 0x02, 0xFF, "x")}}},
      {"SpecEvt end marker: unknown event, no detail", memory, {"-sel", "list"}, 0,
       Listed(1, "Memory", "Assertion:unknown event"), ListingRequests(1), {{"SpecEvt1.dat", end}}},
      {"C6h: fixed text, no file read, no detail", bbp, {"-sel", "list"}, 0,
       Listed(1, "BBP", "Assertion:BBP Timer expired/OS gracefully shutdown"), ListingRequests(1),
       {{"SpecEvt5.dat", EventRecord(0xC6, 0x01, 0xFF, "from the file") + end}}},
      // Implementer's choice: a 255-character board name is cut to 254 so that
      // its line feed and terminator fit; cut here, "Q7KE" no longer names it.
      {"board name of 254 characters", memory, {"-sel", "list"}, 0,
       Listed(1, "Memory", "Assertion:Uncorrectable ECC / other uncorrectable memory error at CPU2_DIMM_H2"),
       ListingRequests(1, {"0A 20", "0A 22", "30 21"}), {{"MBType.dat", KeyedRecord(0x03, 0x10, longName + "Q7KE")}}},
      {"board name of 255 characters", memory, {"-sel", "list"}, 0,
       Listed(1, "Memory", "Assertion:Uncorrectable ECC / other uncorrectable memory error at CPU2 DIMM A"),
       ListingRequests(1, {"0A 20", "0A 22", "30 21"}), {{"MBType.dat", KeyedRecord(0x03, 0x10, "y" + longName + "Q7KE")}}},
  });
  // clang-format on
}

TEST(ToolSel, ListEndsTheRunWhenADataFileIsMissing) {
  for (size_t missing = 0; missing < std::size(kDataFiles); ++missing) {
    const std::string name = kDataFiles[missing];
    // clang-format off
    RunCases({
        {name.c_str(), Log({}), {"-sel", "list"}, 1, "Failed to open " + name + ".\n", {"0A 40", "0A 42"}, {{name, ""}}},
    });
    // clang-format on
  }
  // clang-format off
  RunCases({
      {"the first missing one in order", Log({Entry(1, 1, 1, 1, 0, 0, 0)}), {"-sel", "list"}, 1,
       "Failed to open SpecEvt3.dat.\n", ListingRequests(1, {}), {{"RomEN.dat", ""}, {"SpecEvt3.dat", ""}}},
      {"loading failures come first", R"({"completionCodes": [{"netFn": "0A", "cmd": "43", "nth": 1, "code": "CA"}]})",
       {"-sel", "list"}, 11, "Failed to get SEL allocation info, Completion Code=CAh\n", ListingRequests(1, {}),
       {{"MBType.dat", ""}}},
      {"Get SEL Info fails", R"({"completionCodes": [{"netFn": "0A", "cmd": "40", "code": "C3"}]})", {"-sel", "list"}, 11,
       "Failed to get SEL info, Completion Code=C3h\n", {"0A 40"}},
      {"Reserve SEL fails", R"({"completionCodes": [{"netFn": "0A", "cmd": "42", "code": "C1"}]})", {"-sel", "list"}, 11,
       "Failed to get reserve SEL, Completion Code=C1h\n", {"0A 40", "0A 42"}},
  });
  // clang-format on
}

TEST(ToolSel, ListTimesAreCalendarTimesOfTheSignedTimestamp) {
  RunCases({
      {"boundaries",
       Log({Entry(1, 1, 1, 1, 0, 0, 0, 0), Entry(2, 1, 1, 1, 0, 0, 0, 0xFFFFFFFF),
            Entry(3, 1, 1, 1, 0, 0, 0, 0x7FFFFFFF), Entry(4, 1, 1, 1, 0, 0, 0, 0x80000000),
            Entry(5, 1, 1, 1, 0, 0, 0, 0x20000000)}),
       {"-sel", "list"},
       0,
       Listed(1, "Temperature", "Assertion:Lower Non-critical - going low", "1970/01/01 00:00:00") +
           Listed(2, "Temperature", "Assertion:Lower Non-critical - going low", "1969/12/31 23:59:59") +
           Listed(3, "Temperature", "Assertion:Lower Non-critical - going low", "2038/01/19 03:14:07") +
           Listed(4, "Temperature", "Assertion:Lower Non-critical - going low", "1901/12/13 20:45:52") +
           Listed(5, "Temperature", "Assertion:Lower Non-critical - going low", "1987/01/05 18:48:32"),
       ListingRequests(5)},
  });
}

}  // namespace

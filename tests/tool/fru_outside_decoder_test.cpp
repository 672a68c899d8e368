// FreeIPMI's ipmi-fru as the outside judge of what a field write leaves in the
// FRU: it decodes every rebuilt image with no checksum or format complaint and
// shows the values the tool lists.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fru/fru_test_image.hpp"
#include "tests/tool/fru_tool_support.hpp"
#include "tests/tool/tool_harness.hpp"

namespace {

using namespace fru_test;
using namespace fru_tool;

bool HaveIpmiFru() { return std::system("command -v ipmi-fru >/dev/null 2>&1") == 0; }

std::string Capture(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  const size_t last = text.find_last_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// "Label = value" lines of the tool's listing, by field code in parentheses.
std::map<std::string, std::string> ToolFields(const std::string& listing) {
  std::map<std::string, std::string> fields;
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);) {
    const size_t open = line.find('('), close = line.find(')'), equals = line.find(" = ");
    if (open == std::string::npos || close == std::string::npos || equals == std::string::npos) continue;
    fields[line.substr(open + 1, close - open - 1)] = line.substr(equals + 3);
  }
  return fields;
}

// The label ipmi-fru gives each text field.
const std::map<std::string, std::string> kIpmiFruLabels = {
    {"CP", "FRU Chassis Part Number"},        {"CS", "FRU Chassis Serial Number"},
    {"BM", "FRU Board Manufacturer"},         {"BPN", "FRU Board Product Name"},
    {"BS", "FRU Board Serial Number"},        {"BP", "FRU Board Part Number"},
    {"PM", "FRU Product Manufacturer Name"},  {"PN", "FRU Product Name"},
    {"PPM", "FRU Product Part/Model Number"}, {"PV", "FRU Product Version"},
    {"PS", "FRU Product Serial Number"},      {"PAT", "FRU Product Asset Tag"},
};

// ipmi-fru's date "MM/DD/YY - hh:mm:ss" as the tool writes it.
std::string ToolDate(const std::string& ipmiFru) {
  return "20" + ipmiFru.substr(6, 2) + "/" + ipmiFru.substr(0, 2) + "/" + ipmiFru.substr(3, 2) + " " +
         ipmiFru.substr(11, 8);
}

// Runs the tool, hands the FRU it left to ipmi-fru, compares.
void ExpectIpmiFruAgrees(const Scenario& bmc, const std::vector<std::string>& args, uint8_t device,
                         const std::vector<std::string>& expectedLines) {
  SCOPED_TRACE(args[0] + " " + args[1] + " " + args[2]);
  const ToolRun run = RunTool(bmc, args);
  ASSERT_EQ(run.status, 0) << run.output;
  ScratchDirectory directory;
  WriteFile("fru.bin", ImageAfter(run, device));
  const std::string decoded = Capture("TZ=UTC ipmi-fru -v --fru-file fru.bin 2>&1");
  SCOPED_TRACE(decoded);
  for (const char* complaint : {"Error", "error", "checksum", "invalid", "Invalid", "corrupt"}) {
    EXPECT_EQ(decoded.find(complaint), std::string::npos) << complaint;
  }
  for (const std::string& line : expectedLines) EXPECT_NE(decoded.find(line + "\n"), std::string::npos) << line;

  // Every non-empty text field the tool lists, ipmi-fru shows the same.
  const std::map<std::string, std::string> tool = ToolFields(run.output);
  std::map<std::string, std::string> outside;
  std::istringstream in(decoded);
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) outside.emplace(Trim(line.substr(0, colon)), line.substr(colon + 2));
  }
  for (const auto& [code, label] : kIpmiFruLabels) {
    const auto shown = tool.find(code);
    if (shown == tool.end() || shown->second.empty()) continue;
    EXPECT_EQ(outside[label], shown->second) << code;
  }
  if (tool.count("BDT")) {
    EXPECT_EQ(ToolDate(outside["FRU Board Manufacturing Date/Time"]), tool.at("BDT").substr(0, 19));
  }
}

const Bytes kMadeAt = {0xF0, 0x59, 0xE2};

Bytes Server(const std::string& ps = "12345678", const std::string& tag = "ASSET-0042") {
  return LaidOut(
      {{kHeaderChassis, ChassisArea(0x17, Fields({"CH-1000", "CS0001"}))},
       {kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "X100 Mainboard", "MB123456", "MB-X100-01", ""}), 0x19)},
       {kHeaderProduct, ProductArea(Fields({"ACME", "X100 Server", "X100-SRV", "1.2", ps, tag, ""}), 0x19)},
       {kHeaderMultiRecord, MultiRecord(0x03, {0x02, 'n', 'o', 'd', 'e', '-', '7'}, true)}},
      2048);
}

TEST(ToolFruOutsideDecoder, IpmiFruReadsEveryRebuiltImage) {
  if (!HaveIpmiFru())
    GTEST_SKIP() << "ipmi-fru (Debian package freeipmi-tools) not found; the outside decoder is skipped";

  // A field of each area, the date and the chassis type.
  const Scenario server = FruScenario(Server());
  ExpectIpmiFruAgrees(server, {"-fru", "CS", "CHASSIS-SERIAL-0042"}, 0,
                      {"  FRU Chassis Serial Number: CHASSIS-SERIAL-0042", "  FRU Chassis Type: Rack Mount Chassis"});
  ExpectIpmiFruAgrees(server, {"-fru", "BS", "BOARD-SN"}, 0, {"  FRU Board Serial Number: BOARD-SN"});
  ExpectIpmiFruAgrees(server, {"-fru", "PAT", ""}, 0, {"  FRU Product Serial Number: 12345678"});
  ExpectIpmiFruAgrees(server, {"-fru", "BDT", "201007161200"}, 0,
                      {"  FRU Board Manufacturing Date/Time: 07/16/10 - 12:00:00"});
  ExpectIpmiFruAgrees(server, {"-fru", "CT", "11"}, 0, {"  FRU Chassis Type: Main Server Chassis"});
  ExpectIpmiFruAgrees(
      server, {"-fru", "PM", std::string(63, 'M')}, 0,
      {"  FRU Product Manufacturer Name: " + std::string(63, 'M'), "  FRU Management Access System Name: node-7"});

  // Growth across a unit: the multirecord area moves and is still found.
  std::string tag = "A";
  while (ProductArea(Fields({"ACME", "X100 Server", "X100-SRV", "1.2", "12345678", tag, ""})).size() ==
         ProductArea(Fields({"ACME", "X100 Server", "X100-SRV", "1.2", "123456789", tag, ""})).size()) {
    tag += "B";
  }
  ExpectIpmiFruAgrees(FruScenario(Server("12345678", tag)), {"-fru", "PS", "123456789"}, 0,
                      {"  FRU Product Serial Number: 123456789", "  FRU Management Access System Name: node-7"});

  // Area length bytes one unit short and one unit long: the rewrite repairs them.
  for (const auto& [header, units] : {std::pair{kHeaderProduct, -1}, std::pair{kHeaderChassis, 1}}) {
    Bytes offLength = Server();
    offLength[offLength[header] * 8 + 1] = static_cast<uint8_t>(offLength[offLength[header] * 8 + 1] + units);
    ExpectIpmiFruAgrees(FruScenario(offLength), {"-fru", "PS", "SN-REPAIRED"}, 0,
                        {"  FRU Product Serial Number: SN-REPAIRED", "  FRU Chassis Serial Number: CS0001"});
  }

  // A chassis area created by CT on a FRU without one, ahead of an internal use area's neighbours.
  const Bytes noChassis =
      LaidOut({{kHeaderInternalUse, {0x01, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
               {kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "Board", "SN01", "PN01", ""}))},
               {kHeaderProduct, ProductArea(Fields({"ACME", "Server", "PPM1", "V1", "SN02", "TAG1", ""}))}},
              512);
  ExpectIpmiFruAgrees(FruScenario(noChassis), {"-fru", "CT", "17"}, 0,
                      {"  FRU Chassis Type: Rack Mount Chassis", "  FRU Board Manufacturer: ACME"});

  // -fru1 with BV: the first custom field, the one after it kept.
  const Bytes riser = LaidOut(
      {{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "Riser", "RS0002", "RS-R2", "", "R1.0", "LANE-X16"}))}}, 2048);
  ExpectIpmiFruAgrees(FruScenario({{0, Server()}, {1, riser}}), {"-fru1", "BV", "R2.10"}, 1,
                      {"  FRU Board Custom Info: R2.10", "  FRU Board Custom Info: LANE-X16"});
  const Bytes plainBoard =
      LaidOut({{kHeaderBoard, BoardArea(kMadeAt, Fields({"ACME", "Riser", "RS0002", "RS-R2", ""}))}}, 2048);
  ExpectIpmiFruAgrees(FruScenario({{0, Server()}, {1, plainBoard}}), {"-fru1", "BV", "R1.0"}, 1,
                      {"  FRU Board Custom Info: R1.0"});
}

}  // namespace

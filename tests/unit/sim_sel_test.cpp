// The simulated BMC's System Event Log: entries described in scenarios, the
// storage commands and the board identifier request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/bmc_model.hpp"

namespace {

Scenario WithSel(const std::string& sel, std::string* error) {
  Scenario scenario;
  ScenarioFromJson(nlohmann::json::parse(R"({"sel": )" + sel + "}"), &scenario, error);
  return scenario;
}

// Requests as "NN CC DD ..." (NetFn unshifted); answers as "CC DD ...".
class Bmc {
 public:
  explicit Bmc(const std::string& sel) : model_(Load(sel), &clock_) {}
  explicit Bmc(const Scenario& scenario) : model_(scenario, &clock_) {}
  std::string Send(const std::string& request) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ParseHexBytes(request, &bytes)) << request;
    bytes[0] = static_cast<uint8_t>(bytes[0] << 2);
    return HexBytesText(std::span<const uint8_t>(*model_.HandleFrame(bytes)).subspan(2));
  }
  static Scenario Load(const std::string& sel) {
    std::string error;
    Scenario scenario = WithSel(sel, &error);
    EXPECT_EQ(error, "");
    return scenario;
  }
  VirtualClock clock_;
  BmcModel model_;
};

TEST(SimSel, EntriesAreDescribedReadablyOrRaw) {
  std::string error;
  const Scenario s = WithSel(R"({"time": 1000, "entries": [
      {"sensorType": "0C", "sensorNumber": "60", "eventType": "6F", "data": "A0 0A 81", "timestamp": 305419896},
      {"recordId": "0010", "generatorId": "0033", "evmRev": "03", "sensorType": "08", "sensorNumber": "51",
       "eventType": "6F", "direction": "deassertion", "data": "01"},
      {"raw": "00 02 C0 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D"},
      {"sensorType": "01", "sensorNumber": "30", "eventType": "01", "data": "57 58"}]})",
                             &error);
  ASSERT_EQ(error, "");
  const auto& e = s.state.sel.entries;
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(HexBytesText(e[0]), "01 00 02 78 56 34 12 20 00 04 0C 60 6F A0 0A 81");
  // Without a timestamp an entry carries the SEL clock; missing event data are FFh.
  EXPECT_EQ(HexBytesText(e[1]), "10 00 02 E8 03 00 00 33 00 03 08 51 EF 01 FF FF");
  EXPECT_EQ(HexBytesText(e[2]), "00 02 C0 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D");
  EXPECT_EQ(HexBytesText(e[3]), "01 02 02 E8 03 00 00 20 00 04 01 30 01 57 58 FF");

  Scenario back;
  ASSERT_TRUE(ScenarioFromJson(ScenarioToJson(s), &back, &error)) << error;
  EXPECT_EQ(back.state.sel.entries, e);
  EXPECT_EQ(ScenarioToJson(back)["sel"], ScenarioToJson(s)["sel"]);
}

TEST(SimSel, FillToRepeatsTheEntriesWithNewRecordIds) {
  std::string error;
  const Scenario s = WithSel(R"({"entries": [{"raw": "05 00 02 00 00 00 00 20 00 04 01 01 01 00 00 00"},
                                             {"raw": "09 00 02 00 00 00 00 20 00 04 02 02 01 00 00 00"}],
                                 "fillTo": 5})",
                             &error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(s.state.sel.entries.size(), 5u);
  EXPECT_EQ(HexBytesText(s.state.sel.entries[2]), "0A 00 02 00 00 00 00 20 00 04 01 01 01 00 00 00");
  EXPECT_EQ(HexBytesText(s.state.sel.entries[4]), "0C 00 02 00 00 00 00 20 00 04 01 01 01 00 00 00");
}

TEST(SimSel, MalformedEntriesAreNamed) {
  const struct {
    const char* sel;
    const char* error;
  } cases[] = {
      {R"({"entries": [{"raw": "01 02"}]})", "\"raw\" must be 16 bytes: the whole entry from its record ID"},
      {R"({"entries": [{"sensorNumber": "01", "eventType": "01", "data": "00"}]})",
       "\"sensorType\" must be given for every entry without \"raw\""},
      {R"({"entries": [{"sensorType": "01", "sensorNumber": "01", "eventType": "81", "data": "00"}]})",
       "\"eventType\" must be an event/reading type code 00-7F (the direction is its own key)"},
      {R"({"entries": [{"sensorType": "01", "sensorNumber": "01", "eventType": "01", "data": "00 00 00 00"}]})",
       "\"data\" must be event data 1 to 3 (missing ones are FF)"},
      {R"({"entries": [{"sensorType": "01", "sensorNumber": "01", "eventType": "01", "data": "00",
                        "direction": "up"}]})",
       "\"direction\" must be \"assertion\" or \"deassertion\""},
      {R"({"entries": [{"recordId": "12", "sensorType": "01", "sensorNumber": "01", "eventType": "01", "data": "00"}]})",
       "\"recordId\" must be a 16-bit number or four hexadecimal digits such as \"0020\""},
      {R"({"entries": [], "fillTo": 3})", "\"fillTo\" must be used with at least one entry"},
      {R"({"reservationId": 65536})", "\"reservationId\" must be at most 65535"},
  };
  for (const auto& c : cases) {
    std::string error;
    WithSel(c.sel, &error);
    EXPECT_EQ(error, c.error) << c.sel;
  }
}

// The host tool saves the BMC's state after every run: the next run's SEL and
// SDR reservations continue the count, and one given out before still holds,
// as on a BMC that kept running.
TEST(SimSel, ReservationsLastInTheSavedState) {
  Bmc first("{}");
  EXPECT_EQ(first.Send("0A 42"), "00 01 00");
  EXPECT_EQ(first.Send("0A 22"), "00 01 00");
  Scenario saved;
  std::string error;
  ASSERT_TRUE(ScenarioFromJson(ScenarioToJson(first.model_.CurrentScenario()), &saved, &error)) << error;
  Bmc next(saved);
  EXPECT_EQ(next.Send("0A 43 01 00 00 00 00 05").substr(0, 2), "00");  // a partial read under 0001h
  EXPECT_EQ(next.Send("0A 42"), "00 02 00");
  EXPECT_EQ(next.Send("0A 22"), "00 02 00");
}

const char* const kTwoEntries = R"({"time": 1715677200, "lastAddTime": 4660, "lastEraseTime": 0, "capacity": 3,
    "boardId": "10 03", "entries": [{"raw": "01 00 02 00 00 00 00 20 00 04 01 30 01 57 58 55"},
                                    {"raw": "07 00 02 00 00 00 00 20 00 04 0C 60 6F A0 0A 81"}]})";

TEST(SimSel, InfoAllocationEntriesAndBoardIdentifier) {
  Bmc bmc(kTwoEntries);
  EXPECT_EQ(bmc.Send("0A 40"), "00 51 02 00 10 00 34 12 00 00 00 00 00 00 03");
  EXPECT_EQ(bmc.Send("0A 41"), "00 03 00 10 00 01 00 01 00 01");
  EXPECT_EQ(bmc.Send("0A 43 00 00 00 00 00 FF"), "00 07 00 01 00 02 00 00 00 00 20 00 04 01 30 01 57 58 55");
  EXPECT_EQ(bmc.Send("0A 43 00 00 07 00 00 FF"), "00 FF FF 07 00 02 00 00 00 00 20 00 04 0C 60 6F A0 0A 81");
  EXPECT_EQ(bmc.Send("0A 43 00 00 FF FF 0C 10"), "00 FF FF 6F A0 0A 81");
  EXPECT_EQ(bmc.Send("0A 43 00 00 02 00 00 FF"), "CB");
  EXPECT_EQ(bmc.Send("0A 43 00 00 01 00 10 FF"), "C9");
  EXPECT_EQ(bmc.Send("0A 43 00 00 01 00"), "C7");
  EXPECT_EQ(bmc.Send("30 21"), "00 10 03");
}

TEST(SimSel, ClearEmptiesTheLogRecordsTheTimeAndCancelsTheReservation) {
  Bmc bmc(kTwoEntries);
  EXPECT_EQ(bmc.Send("0A 42"), "00 01 00");
  EXPECT_EQ(bmc.Send("0A 42"), "00 02 00");
  EXPECT_EQ(bmc.Send("0A 47 01 00 43 4C 52 AA"), "C5");  // an older reservation
  EXPECT_EQ(bmc.Send("0A 47 02 00 43 4C 53 AA"), "CC");  // not "CLR"
  EXPECT_EQ(bmc.Send("0A 47 02 00 43 4C 52 01"), "CC");
  EXPECT_EQ(bmc.Send("0A 47 02 00 43 4C 52 00"), "00 01");  // progress only
  EXPECT_EQ(bmc.Send("0A 43 02 00 00 00 00 FF").substr(0, 2), "00");
  bmc.clock_.Advance(61500000);
  EXPECT_EQ(bmc.Send("0A 47 02 00 43 4C 52 AA"), "00 01");
  // 1715677200 + 61 s = 6643284Dh.
  EXPECT_EQ(bmc.Send("0A 40"), "00 51 00 00 30 00 34 12 00 00 4D 28 43 66 03");
  EXPECT_EQ(bmc.Send("0A 43 00 00 00 00 00 FF"), "CB");
  EXPECT_EQ(bmc.Send("0A 43 02 00 00 00 00 FF"), "C5");
  EXPECT_EQ(bmc.Send("0A 47 02 00 43 4C 52 AA"), "C5");
  EXPECT_EQ(bmc.Send("0A 42"), "00 03 00");
}

TEST(SimSel, OperationSupportBitsGateTheOptionalCommands) {
  Bmc bmc(R"({"operationSupport": "00", "boardId": null})");
  EXPECT_EQ(bmc.Send("0A 41"), "C1");
  EXPECT_EQ(bmc.Send("0A 42"), "C1");
  EXPECT_EQ(bmc.Send("30 21"), "C1");
  const std::string info = bmc.Send("0A 40");
  EXPECT_EQ(info.substr(info.size() - 3), " 00");
}

}  // namespace

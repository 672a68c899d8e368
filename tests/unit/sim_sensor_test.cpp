// The simulated BMC's sensor records as a scenario describes them, and its
// answers to Get Sensor Reading and Get Sensor Thresholds.
#include <gtest/gtest.h>

#include "sim/bmc_model.hpp"
#include "sim/scenario.hpp"

namespace {

Scenario Parse(const std::string& text) {
  Scenario scenario;
  std::string error;
  EXPECT_TRUE(ScenarioFromJson(nlohmann::json::parse(text), &scenario, &error)) << error;
  return scenario;
}

std::string Answer(BmcModel& model, const std::vector<uint8_t>& frame) {
  const std::vector<uint8_t> response = *model.HandleFrame(frame);
  return HexBytesText(std::vector<uint8_t>(response.begin() + 2, response.end()));
}

TEST(SimSensors, DescribedRecordIsAFullSensorRecord) {
  const Scenario s = Parse(R"({"sdr": {"records": [{"id": 258, "name": "CPU Temp", "number": "31", "type": "01",
      "unit": "01", "m": -3, "b": 300, "k1": -2, "k2": 7, "linearization": "0A", "raw": "40",
      "thresholds": "3F 0A 09 08 50 60 70"}]}})");
  ASSERT_EQ(s.state.sdr.records.size(), 1u);
  const std::vector<uint8_t>& r = s.state.sdr.records[0];
  ASSERT_EQ(r.size(), 64u);
  EXPECT_EQ(HexBytesText(std::vector<uint8_t>(r.begin(), r.begin() + 48)),
            "02 01 51 01 3B 20 00 31 07 01 67 44 01 01 00 00 00 00 3F 00 00 01 00 0A FD C0 2C 40 00 7E 00 00 00 00 "
            "FF 00 70 60 50 08 09 0A 00 00 00 00 00 C8");
  EXPECT_EQ(std::string(r.begin() + 48, r.begin() + 56), "CPU Temp");
  EXPECT_EQ(r[56], 0);
  // A threshold sensor reports its comparison bits: raw 40h crosses none of
  // the six, 09h is at or below LNC and LC, 60h at or above UC (UNC is not
  // in the mask).
  ASSERT_EQ(s.state.sdr.sensors.size(), 1u);
  EXPECT_EQ(HexBytesText(s.state.sdr.sensors[0].reading), "40 C0 00 00");
  const Scenario low = Parse(R"({"sdr": {"records": [{"number": 1, "raw": "09", "thresholds": "3F 0A 09 08 50 60 70"},
      {"number": 2, "raw": "60", "thresholds": "37 0A 09 08 50 60 70"},
      {"number": 3, "raw": "60", "state": "81 02", "flags": "40", "unavailable": true},
      {"name": "A name of thirty-one characters", "number": 4}]}})");
  EXPECT_EQ(HexBytesText(low.state.sdr.sensors[0].reading), "09 C0 03 00");
  EXPECT_EQ(HexBytesText(low.state.sdr.sensors[1].reading), "60 C0 10 00");  // UNC is not in the mask
  EXPECT_EQ(HexBytesText(low.state.sdr.sensors[2].reading), "60 60 81 02");
  EXPECT_EQ(low.state.sdr.records[2][13], 0x6F);  // no thresholds: a sensor-specific discrete record
  EXPECT_EQ(low.state.sdr.records[3].size(), 48u + 31u);
  EXPECT_EQ(low.state.sdr.records[3][47], 0xDF);
}

TEST(SimSensors, AnswersReadingsThresholdsAndAbsence) {
  VirtualClock clock;
  BmcModel model(Parse(R"({"sdr": {"records": ["01 00 51 02 00"], "sensors": [
      {"number": "04", "readingReply": "12 C0"},
      {"number": "05", "raw": "02", "thresholds": "01 02 03 04 05 06 07"},
      {"number": "06", "present": false, "thresholds": "01 02 03 04 05 06 07"}]}})"),
                 &clock);
  EXPECT_EQ(Answer(model, {0x10, 0x2D, 0x04}), "00 12 C0");
  EXPECT_EQ(Answer(model, {0x10, 0x27, 0x04}), "C1");
  EXPECT_EQ(Answer(model, {0x10, 0x2D, 0x05}), "00 02 C0 01 00");
  EXPECT_EQ(Answer(model, {0x10, 0x27, 0x05}), "00 01 02 03 04 05 06 07");
  EXPECT_EQ(Answer(model, {0x10, 0x2D, 0x06}), "CB");
  EXPECT_EQ(Answer(model, {0x10, 0x27, 0x06}), "CB");
  EXPECT_EQ(Answer(model, {0x10, 0x2D, 0x07}), "CB");
  EXPECT_EQ(Answer(model, {0x10, 0x2D}), "C7");
}

TEST(SimSensors, RoundTripsAndNamesMalformedFields) {
  const Scenario s = DefaultScenario();
  Scenario back;
  std::string error;
  ASSERT_TRUE(ScenarioFromJson(ScenarioToJson(s), &back, &error)) << error;
  EXPECT_EQ(back.state.sdr.records, s.state.sdr.records);
  ASSERT_EQ(back.state.sdr.sensors.size(), s.state.sdr.sensors.size());
  EXPECT_EQ(ScenarioToJson(back), ScenarioToJson(s));

  const struct {
    const char* sdr;
    const char* error;
  } cases[] = {
      {R"({"records": [{"number": 1, "m": 512}]})", "\"m\" must be a whole number from -512 to 511"},
      {R"({"records": [{"number": 1, "b": -513}]})", "\"b\" must be a whole number from -512 to 511"},
      {R"({"records": [{"number": 1, "k2": 8}]})", "\"k2\" must be a whole number from -8 to 7"},
      {R"({"records": [{"number": 1, "name": "A name of thirty-two characters!"}]})",
       "\"name\" must be at most 31 characters"},
      {R"({"records": [{"name": "x"}]})", "\"number\" must be given for every sensor record"},
      {R"({"records": [{"number": 1, "state": "01"}]})", "\"state\" must be two bytes: state bits 0-7 and 8-14"},
      {R"({"records": [5]})",
       "\"records\" must be records as hexadecimal bytes such as \"01 00 51 01 35 ...\" or sensor objects"},
      {R"({"sensors": [{"raw": "01"}]})", "\"number\" must be given for every sensor"},
  };
  for (const auto& c : cases) {
    Scenario scenario;
    EXPECT_FALSE(ScenarioFromJson(nlohmann::json::parse(std::string(R"({"sdr": )") + c.sdr + "}"), &scenario, &error))
        << c.sdr;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace

// Sensor conversions on record bytes, the reading area's bounds, and a
// property: random records and random replies never crash the listing or make
// it read past a buffer (run under the sanitizer build to see the latter).
#include "sdr/sensor_reading.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "sdr/sdr_repository.hpp"
#include "sdr/sensor_listing.hpp"
#include "support/format.hpp"
#include "tests/unit/sdr_bmc_test.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

struct Factors {
  int m, b, k1, k2;
};

// A full sensor record with the factors encoded as IPMI 2.0 table 43-1 has them.
void SetFactors(uint8_t* record, Factors f, uint8_t linearization = 0) {
  const auto m = static_cast<unsigned>(f.m) & 0x3FF, b = static_cast<unsigned>(f.b) & 0x3FF;
  record[23] = linearization;
  record[24] = static_cast<uint8_t>(m);
  record[25] = static_cast<uint8_t>((m >> 8) << 6 | 0x15);  // tolerance bits are not read
  record[26] = static_cast<uint8_t>(b);
  record[27] = static_cast<uint8_t>((b >> 8) << 6 | 0x2A);  // nor accuracy bits
  record[29] = static_cast<uint8_t>((static_cast<unsigned>(f.k2) & 0xF) << 4 | (static_cast<unsigned>(f.k1) & 0xF));
}

TEST(SensorConversion, LinearValue) {
  const struct {
    Factors f;
    uint8_t raw;
    double expected;
  } cases[] = {
      {{1, 0, 0, 0}, 0x23, 35.0},
      {{1, 0, 0, 0}, 0xFF, 255.0},  // raw is unsigned
      {{7, 0, 0, -3}, 0xB1, 1239 * 0.001},
      {{75, 0, 0, 0}, 0x40, 4800.0},
      {{-1, 0, 0, 0}, 0x10, -16.0},
      {{-512, -512, 0, 0}, 0xFF, -512.0 * 255 - 512},
      {{511, 511, 7, 7}, 0xFF, (511e7 + 511 * 255) * 1e7},
      {{2, -3, 1, -1}, 0x05, (-30 + 10) * 0.1},
      {{1, 5, -8, 0}, 0x00, 5 * 1e-8},
  };
  for (const auto& c : cases) {
    uint8_t record[kSdrSlotSize] = {};
    SetFactors(record, c.f);
    EXPECT_EQ(LinearSensorValue(record, c.raw), c.expected) << c.f.m << " " << c.f.b << " " << c.f.k1 << " " << c.f.k2;
  }
}

TEST(SensorConversion, LinearizationCodes) {
  const struct {
    uint8_t code;
    double y, expected;
  } cases[] = {
      {0x00, 7.5, 7.5},  {0x01, 1.0, 0.0},   {0x02, 100.0, 2.0}, {0x02, 0.001, -3.0}, {0x03, 8.0, 8.0},
      {0x04, 2.0, 2.0},  {0x05, 2.0, 100.0}, {0x05, -1.0, 0.1},  {0x06, 3.0, 3.0},    {0x07, 4.0, 0.25},
      {0x08, -3.0, 9.0}, {0x09, 2.0, 2.0},   {0x0A, 81.0, 9.0},  {0x0B, -27.0, -3.0}, {0x0C, 5.0, 5.0},
      {0x70, 5.0, 5.0},  {0xFF, -5.0, -5.0},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplyLinearization(c.code, c.y), c.expected) << int{c.code};
  EXPECT_EQ(ApplyLinearization(0x01, 0.0), -HUGE_VAL);
  EXPECT_TRUE(std::isnan(ApplyLinearization(0x02, -1.0)));
  EXPECT_TRUE(std::isinf(ApplyLinearization(0x07, 0.0)));
  EXPECT_TRUE(std::isinf(ApplyLinearization(0x05, 400.0)));
  EXPECT_TRUE(std::isnan(ApplyLinearization(0x0A, -4.0)));
}

class SensorRequestTest : public SdrBmcTest {
 protected:
  static Scenario WithSensor(const std::string& reply, const std::string& thresholds = "") {
    Scenario scenario = DefaultScenario();
    SimSensor sensor;
    sensor.number = 0x07;
    ParseHexBytes(reply, &sensor.reading);
    if (!thresholds.empty()) {
      sensor.thresholds.emplace();
      ParseHexBytes(thresholds, &*sensor.thresholds);
    }
    scenario.state.sdr.sensors = {sensor};
    return scenario;
  }
};

TEST_F(SensorRequestTest, ThresholdsConvertWithTheSquareOnly) {
  Start(WithSensor("10 C0 00 00", "3F 02 03 04 05 06 07"));
  uint8_t* record = sdr_->recordTable[3];
  record[kSdrSensorNumberByte] = 0x07;
  for (uint8_t code : {0x00, 0x01, 0x02, 0x05, 0x07, 0x08, 0x0A, 0x0B}) {
    SetFactors(record, {1, 0, 0, 0}, code);
    SensorThresholds t;
    EXPECT_EQ(GetSensorThresholds(record, &t), kCcSuccess);
    for (size_t i = 0; i < kThresholdCount; ++i) {
      const double raw = 2.0 + static_cast<double>(i);
      EXPECT_EQ(t.value[i], code == kLinearizationSquare ? raw * raw : raw) << int{code} << " " << i;
    }
  }
}

TEST_F(SensorRequestTest, TheReadingTakesFourBytesAtMost) {
  // The longest reply the transport delivers: 197 data bytes.
  std::string longest = "11 C0 22 33";
  for (int i = 4; i < 197; ++i) longest += " EE";
  Start(WithSensor(longest));
  SensorReading reading;
  EXPECT_EQ(GetSensorReading(0x07, &reading), kCcSuccess);
  EXPECT_EQ((std::vector<uint8_t>{reading.raw, reading.flags, reading.state, reading.stateHigh}),
            (std::vector<uint8_t>{0x11, 0xC0, 0x22, 0x33}));
  // Absent sensor: CBh and a cleared reading, never the previous bytes.
  EXPECT_EQ(GetSensorReading(0x08, &reading), kCcRequestedSensorNotPresent);
  EXPECT_EQ((std::vector<uint8_t>{reading.raw, reading.flags, reading.state, reading.stateHigh}),
            (std::vector<uint8_t>{0, 0, 0, 0}));
}

// The hundredths the listing prints reach the formatter as n / 100.0; its
// text must be the C library's for every such value.
TEST(SensorConversion, HundredthsFormatLikeTheCLibrary) {
  char ours[64], library[64];
  for (int64_t n = -2147483648LL; n <= 2147483647LL; n += n > -300000 && n < 300000 ? 1 : 65521) {
    const double value = static_cast<double>(n) / 100.0;
    FormatString(ours, sizeof ours, "%.2f %s", value, "V");
    std::snprintf(library, sizeof library, "%.2f %s", value, "V");
    ASSERT_STREQ(ours, library) << n;
  }
}

uint64_t NextRandom(uint64_t& state) {  // splitmix64: the same sequence on every run
  uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

std::vector<uint8_t> RandomBytes(uint64_t& state, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(NextRandom(state));
  return bytes;
}

TEST_F(SensorRequestTest, RandomRecordsAndRepliesNeverBreakTheListing) {
  uint64_t state = 2024;
  size_t sensorLines = 0;
  for (int run = 0; run < 400; ++run) {
    SetUp();
    Scenario scenario = DefaultScenario();
    SdrState& sdr = scenario.state.sdr;
    sdr.records.clear();
    sdr.sensors.clear();
    const size_t records = NextRandom(state) % 12;
    for (size_t i = 0; i < records; ++i) {
      // Mostly full sensor records (type 01h), with random lengths up to the most a reply carries.
      std::vector<uint8_t> record = RandomBytes(state, NextRandom(state) % 196);
      if (record.size() > 3 && NextRandom(state) % 4 != 0) record[3] = 0x01;
      if (record.size() > 12 && NextRandom(state) % 3 == 0) record[12] = 0xC0;
      if (record.size() > 7) record[7] = static_cast<uint8_t>(NextRandom(state) % 8);
      sdr.records.push_back(record);
    }
    for (uint8_t number = 0; number < 8; ++number) {
      SimSensor sensor;
      sensor.number = number;
      sensor.present = NextRandom(state) % 5 != 0;
      sensor.reading = RandomBytes(state, NextRandom(state) % 9);
      if (NextRandom(state) % 3 != 0) sensor.thresholds = RandomBytes(state, NextRandom(state) % 10);
      sdr.sensors.push_back(sensor);
    }
    if (NextRandom(state) % 3 == 0) {
      const uint8_t commands[] = {0x2D, 0x27, 0x23};
      scenario.completionCodes.push_back({std::nullopt,
                                          commands[NextRandom(state) % 3],
                                          {},
                                          static_cast<unsigned>(NextRandom(state) % 6),
                                          static_cast<uint8_t>(NextRandom(state))});
    }
    if (NextRandom(state) % 4 == 0) {  // one reply of any bytes, any length
      scenario.kcs.onTransfer = static_cast<unsigned>(NextRandom(state) % 20);
      scenario.kcs.responseFrame = RandomBytes(state, NextRandom(state) % 230);
    }
    Start(scenario);
    const int status = ShowSensors(*sdr_);
    ASSERT_TRUE(status == 0 || status == 11) << run;
    if (status == 0) {
      ASSERT_EQ(console_.rfind("Status | (#)Sensor", 0), 0u) << run;
      for (char c : console_) sensorLines += c == '\n';
      sensorLines -= 2;
    }
    CaptureConsole(nullptr);
    console_.clear();
  }
  // The runs reach the listing's lines, not only the loading failures.
  EXPECT_GT(sensorLines, 500u);
}

}  // namespace

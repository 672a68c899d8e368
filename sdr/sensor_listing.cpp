#include "sdr/sensor_listing.hpp"

#include <cstddef>
#include <cstdint>

#include "sdr/sdr_repository.hpp"
#include "sdr/sensor_reading.hpp"
#include "support/bytes.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/math.hpp"
#include "support/report.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

constexpr size_t kColumnSize = 256;
constexpr const char kNotAvailable[] = "N/A";
constexpr const char kOk[] = "OK";
constexpr const char kFail[] = "Fail";

// Base unit codes (IPMI 2.0 section 43.17, Sensor Unit Type Codes) and their
// texts; codes not listed show no unit text.
struct UnitText {
  uint8_t code;
  const char* text;
};
constexpr UnitText kUnitTexts[] = {
    {0x00, ""}, {0x01, "C"}, {0x02, "F"}, {0x03, "K"}, {0x04, "V"}, {0x05, "Amps"}, {0x06, "Watts"}, {0x12, "RPM"},
};
constexpr uint8_t kUnitCelsius = 0x01;
// Units shown as whole numbers and compared with the non-critical limits:
// temperatures and fan speeds.
constexpr uint8_t kWholeNumberUnits[] = {kUnitCelsius, 0x02, 0x03, 0x12};

// The raw reading of a threshold sensor that is not there.
constexpr uint8_t kRawReadingAbsent = 0xFF;

// What a discrete sensor's reading means: the state shown as the third
// reading byte, whether it is available at all, and whether it is a failure.
struct DiscreteState {
  uint8_t state;
  bool available;
  bool fail;
};
using DiscreteRule = DiscreteState (*)(const SensorReading& reading);

// Any asserted state is a failure.
DiscreteState AnyStateFails(const SensorReading& reading) { return {reading.state, true, reading.state != 0}; }

// Power supply (IPMI 2.0 table 42-3, offset 0): presence detected alone is
// the healthy state.
DiscreteState PresenceAloneIsHealthy(const SensorReading& reading) {
  constexpr uint8_t kPresenceDetected = 0x01;
  const uint8_t s = reading.state;
  return {s, true, s != 0 && s != kPresenceDetected};
}

// The OEM sensor's levels: 00h Low, 01h Medium, 02h High, 04h Overheat. An
// unavailable reading counts as state 07h, which is none of them.
DiscreteState OemLevel(const SensorReading& reading) {
  constexpr uint8_t kUnavailableState = 0x07;
  constexpr uint8_t kKnownLevels[] = {0x00, 0x01, 0x02, 0x04};
  const uint8_t s = (reading.flags & kSensorReadingUnavailable) != 0 ? kUnavailableState : reading.state;
  bool known = false;
  for (uint8_t level : kKnownLevels) known = known || s == level;
  return {s, known, false};
}

// Sensor types read as discrete states (IPMI 2.0 table 42-3); every other type
// is a threshold sensor.
struct DiscreteSensorType {
  uint8_t type;
  DiscreteRule rule;
};
constexpr DiscreteSensorType kDiscreteSensorTypes[] = {
    {0x05, AnyStateFails},           // physical security (chassis intrusion)
    {0x07, AnyStateFails},           // processor
    {0x08, PresenceAloneIsHealthy},  // power supply
    {0x15, AnyStateFails},           // module / board
    {0xC0, OemLevel},                // OEM
};

// The texts of one listing line.
struct SensorLine {
  char status[kColumnSize];
  char name[kColumnSize];
  char reading[kColumnSize];
  char low[kColumnSize];
  char high[kColumnSize];
};

void SetText(char* column, const char* text) { FormatString(column, kColumnSize, "%s", text); }

const char* UnitTextOf(uint8_t code) {
  for (const UnitText& unit : kUnitTexts) {
    if (unit.code == code) return unit.text;
  }
  return "";
}

bool IsWholeNumberUnit(uint8_t code) {
  for (uint8_t unit : kWholeNumberUnits) {
    if (unit == code) return true;
  }
  return false;
}

DiscreteRule DiscreteRuleOf(uint8_t sensorType) {
  for (const DiscreteSensorType& entry : kDiscreteSensorTypes) {
    if (entry.type == sensorType) return entry.rule;
  }
  return nullptr;
}

// The column formatters below return false (and leave the column alone) when the value
// cannot be shown as the format's integer: NaN, an infinity, or out of range.

// "%dC/%dF": the value truncated toward zero, and Fahrenheit (y × 1.8 + 32)
// from the untruncated value, plus one half, truncated the same way.
bool FormatCelsius(char* column, double celsius) {
  int32_t c = 0;
  int32_t f = 0;
  if (!TruncateToInt32(celsius, &c) || !TruncateToInt32(celsius * 1.8 + 32.0 + 0.5, &f)) return false;
  FormatString(column, kColumnSize, "%dC/%dF", static_cast<int>(c), static_cast<int>(f));
  return true;
}

bool FormatWhole(char* column, double value, const char* unit) {
  int32_t whole = 0;
  if (!TruncateToInt32(value, &whole)) return false;
  FormatString(column, kColumnSize, "%d %s", static_cast<int>(whole), unit);
  return true;
}

// "%.2f" of the value truncated to hundredths (through a 32-bit integer).
bool FormatHundredths(char* column, double value, const char* unit) {
  int32_t hundredths = 0;
  if (!TruncateToInt32(value * 100.0, &hundredths)) return false;
  FormatString(column, kColumnSize, "%.2f %s", hundredths / 100.0, unit);
  return true;
}

// A temperature limit whose 64-bit truncation has a negative low byte was a
// signed raw byte read as unsigned (FBh: 251 is -5); the limit becomes that
// signed byte. Other limits keep their full value.
double CorrectLimitSign(double limit) {
  int64_t whole = 0;
  if (!TruncateToInt64(limit, &whole)) return limit;
  const auto lowByte = static_cast<int8_t>(static_cast<uint8_t>(whole & kByteMask));
  return lowByte < 0 ? lowByte : limit;
}

void ShowDiscreteSensor(uint8_t sensorNumber, DiscreteRule rule, SensorLine* line) {
  SensorReading reading;
  SetText(line->low, kNotAvailable);
  SetText(line->high, kNotAvailable);
  // A failed reading has no state to judge: shown like an unavailable one.
  if (GetSensorReading(sensorNumber, &reading) != kCcSuccess) {
    SetText(line->reading, kNotAvailable);
    return;
  }
  const DiscreteState s = rule(reading);
  if (!s.available) {
    SetText(line->reading, kNotAvailable);
    return;
  }
  FormatString(line->reading, kColumnSize, "%02X %02X %02X %02X", reading.raw, reading.flags, s.state,
               reading.stateHigh);
  SetText(line->status, s.fail ? kFail : kOk);
}

// A reading or limit that cannot be shown as a number reads "N/A"; a sensor
// whose reading cannot be shown gets no status.
void ShowThresholdSensor(const uint8_t* record, SensorLine* line) {
  const uint8_t unitCode = record[kSdrBaseUnitByte];
  const char* unit = UnitTextOf(unitCode);
  SensorReading presence;
  const uint8_t presenceCc = GetSensorReading(record[kSdrSensorNumberByte], &presence);
  const bool present = presenceCc != kCcRequestedSensorNotPresent && presence.raw != kRawReadingAbsent;
  SensorThresholds thresholds;
  GetSensorThresholds(record, &thresholds);
  double low = thresholds.value[kLowerNonCritical];
  double high = thresholds.value[kUpperNonCritical];

  if (IsWholeNumberUnit(unitCode)) {
    if (!present) {
      SetText(line->reading, kNotAvailable);
      SetText(line->low, kNotAvailable);
      SetText(line->high, kNotAvailable);
      return;
    }
    const double y = ConvertSensorReading(record);
    bool shown = false;
    if (unitCode == kUnitCelsius) {
      low = CorrectLimitSign(low);
      high = CorrectLimitSign(high);
      shown = FormatCelsius(line->reading, y);
      if (!FormatCelsius(line->low, low)) SetText(line->low, kNotAvailable);
      if (!FormatCelsius(line->high, high)) SetText(line->high, kNotAvailable);
    } else {
      shown = FormatWhole(line->reading, y, unit);
      if (!FormatWhole(line->low, low, unit)) SetText(line->low, kNotAvailable);
      if (!FormatWhole(line->high, high, unit)) SetText(line->high, kNotAvailable);
    }
    if (!shown) {
      SetText(line->reading, kNotAvailable);
      return;
    }
    // A limit the BMC did not give (NaN) compares false: it never fails.
    SetText(line->status, (y > high || y < low) ? kFail : kOk);
    return;
  }

  if (present && FormatHundredths(line->reading, ConvertSensorReading(record), unit)) {
    SetText(line->status, kOk);
  } else {
    SetText(line->reading, kNotAvailable);
  }
  if (!FormatHundredths(line->low, low, unit)) SetText(line->low, kNotAvailable);
  if (!FormatHundredths(line->high, high, unit)) SetText(line->high, kNotAvailable);
}

}  // namespace

void ListSensors(const SdrRepository& sdr) {
  Printf("Status | (#)Sensor                |      Reading | Low Limit | High Limit\n");
  Printf("------ | ---------                |      ------- | --------- | ----------\n");
  const int records = sdr.VisibleRecordCount();
  for (int i = 0; i < records; ++i) {
    const uint8_t* record = sdr.recordTable[i];
    if (record[kSdrRecordTypeByte] != kSdrFullSensorRecord) continue;
    SensorLine line{};
    char name[kSdrSensorNameSize];
    SdrSensorName(record, name, sizeof name);
    FormatString(line.name, kColumnSize, "(%d) %s", SdrRecordId(record), name);
    if (const DiscreteRule rule = DiscreteRuleOf(record[kSdrSensorTypeByte])) {
      ShowDiscreteSensor(record[kSdrSensorNumberByte], rule, &line);
    } else {
      ShowThresholdSensor(record, &line);
    }
    Printf("%6s | %-24s | %12s | %9s | %10s\n", line.status, line.name, line.reading, line.low, line.high);
  }
}

int ShowSensors(SdrRepository& sdr) {
  uint8_t cc = GetSdrRepositoryInfo(sdr);
  if (cc != kCcSuccess) return ReportFailure("Failed to get SDR repository info", cc);
  cc = ReserveSdrRepository(sdr);
  if (cc != kCcSuccess) return ReportFailure("Failed to get reserve SDR", cc);
  cc = ReadSdrRecords(sdr);
  if (cc != kCcSuccess) return ReportFailure("Failed to get SDR data", cc);
  ListSensors(sdr);
  return kStatusSuccess;
}

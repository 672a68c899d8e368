// Full sensor records described field by field in a scenario, compiled into the
// bytes a BMC stores (IPMI 2.0 table 43-1), and the sensors behind them.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/ipmi_message.hpp"
#include "sim/json_reader.hpp"
#include "sim/sdr_state.hpp"

namespace {

using nlohmann::json;

constexpr uint8_t kSdrVersion = 0x51;
constexpr uint8_t kFullSensorRecord = 0x01;
constexpr size_t kHeaderBytes = 5;
// Bytes 0-47 of a full sensor record, then the ID string (16 bytes at most in
// IPMI 2.0; longer names are kept and lengthen the record).
constexpr size_t kIdStringAt = 48;
constexpr size_t kIdStringBytes = 16;
constexpr size_t kMaxNameLength = 31;  // what the type/length byte can say

// Record offsets (0-based).
constexpr size_t kOwnerId = 5, kSensorNumber = 7, kEntityId = 8, kEntityInstance = 9, kInitialization = 10,
                 kCapabilities = 11, kSensorType = 12, kReadingType = 13, kReadableThresholds = 18, kBaseUnit = 21,
                 kLinearization = 23, kM = 24, kMHigh = 25, kB = 26, kBHigh = 27, kExponents = 29, kSensorMaximum = 34,
                 kUpperNonRecoverable = 36, kIdTypeLength = 47;

constexpr uint8_t kBmcAddress = 0x20;
constexpr uint8_t kEntitySystemBoard = 0x07;
// Scanning, events and sensor type initialised; auto re-arm, readable thresholds.
constexpr uint8_t kInitAll = 0x67;
constexpr uint8_t kAutoRearm = 0x40;
constexpr uint8_t kThresholdsReadable = 0x04;
constexpr uint8_t kReadingTypeThreshold = 0x01;
constexpr uint8_t kReadingTypeSensorSpecific = 0x6F;
constexpr uint8_t kIdString8BitAscii = 0xC0;

// Get Sensor Reading reply defaults: events and scanning enabled.
constexpr uint8_t kDefaultFlags = 0xC0;
constexpr uint8_t kFlagUnavailable = 0x20;
// Get Sensor Thresholds reply: mask, then LNC LC LNR UNC UC UNR.
constexpr size_t kThresholdReplyBytes = 7;
constexpr size_t kFirstUpper = 4;  // index of UNC in the reply

void ReadSigned(const json& object, const char* key, int low, int high, int* target, JsonReader& read) {
  if (!object.contains(key)) return;
  const json& value = object.at(key);
  if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high) {
    return read.Fail(key, "a whole number from " + std::to_string(low) + " to " + std::to_string(high));
  }
  *target = static_cast<int>(value.get<long long>());
}

// The threshold comparison bits a BMC reports for raw against the thresholds
// (IPMI 2.0 section 35.14, response byte 4): at or below a lower threshold, at
// or above an upper one, for the thresholds the mask names.
uint8_t ComparisonBits(uint8_t raw, const std::vector<uint8_t>& thresholds) {
  uint8_t bits = 0;
  for (size_t i = 1; i < kThresholdReplyBytes && i < thresholds.size(); ++i) {
    const unsigned bit = 1u << (i - 1);
    if ((thresholds[0] & bit) == 0) continue;
    const bool crossed = i < kFirstUpper ? raw <= thresholds[i] : raw >= thresholds[i];
    if (crossed) bits = static_cast<uint8_t>(bits | bit);
  }
  return bits;
}

void ReadSensorWithComparison(const json& object, SimSensor* sensor, bool thresholdSensor, JsonReader& read) {
  uint8_t raw = 0;
  uint8_t flags = kDefaultFlags;
  std::vector<uint8_t> state;
  bool unavailable = false;
  read.Byte(object, "raw", &raw);
  read.Byte(object, "flags", &flags);
  read.Bytes(object, "state", &state);
  read.Bool(object, "unavailable", &unavailable);
  read.Bool(object, "present", &sensor->present);
  if (object.contains("thresholds")) {
    std::vector<uint8_t> thresholds;
    read.Bytes(object, "thresholds", &thresholds);
    sensor->thresholds = thresholds;
  }
  if (object.contains("state") && state.size() != 2) read.Fail("state", "two bytes: state bits 0-7 and 8-14");
  if (!object.contains("state")) {
    const uint8_t low = thresholdSensor && sensor->thresholds ? ComparisonBits(raw, *sensor->thresholds) : 0;
    state = {low, 0x00};
  }
  if (unavailable) flags = static_cast<uint8_t>(flags | kFlagUnavailable);
  if (state.size() < 2) state.resize(2, 0);
  sensor->reading = {raw, flags, state[0], state[1]};
  read.Bytes(object, "readingReply", &sensor->reading);
}

}  // namespace

void ReadSensor(const json& object, SimSensor* sensor, JsonReader& read) {
  if (!object.is_object()) return read.Fail("sensors", "objects with \"number\"");
  if (!object.contains("number")) return read.Fail("number", "given for every sensor");
  read.Byte(object, "number", &sensor->number);
  ReadSensorWithComparison(object, sensor, /*thresholdSensor=*/true, read);
}

void ReadSensorRecord(const json& object, size_t position, SdrState* sdr, JsonReader& read) {
  unsigned id = static_cast<unsigned>(position + 1);
  std::string name;
  uint8_t number = 0, type = 0x01, unit = 0x00, linearization = 0x00;
  int m = 1, b = 0, k1 = 0, k2 = 0;
  read.Unsigned(object, "id", &id);
  if (id > 0xFFFF) read.Fail("id", "a record ID from 0 to 65535");
  read.Text(object, "name", &name);
  if (name.size() > kMaxNameLength) read.Fail("name", "at most 31 characters");
  if (!object.contains("number")) read.Fail("number", "given for every sensor record");
  read.Byte(object, "number", &number);
  read.Byte(object, "type", &type);
  read.Byte(object, "unit", &unit);
  read.Byte(object, "linearization", &linearization);
  ReadSigned(object, "m", -512, 511, &m, read);
  ReadSigned(object, "b", -512, 511, &b, read);
  ReadSigned(object, "k1", -8, 7, &k1, read);
  ReadSigned(object, "k2", -8, 7, &k2, read);

  SimSensor sensor;
  sensor.number = number;
  uint8_t readingType = object.contains("thresholds") ? kReadingTypeThreshold : kReadingTypeSensorSpecific;
  read.Byte(object, "readingType", &readingType);
  ReadSensorWithComparison(object, &sensor, readingType == kReadingTypeThreshold, read);
  if (!read.Ok()) return;

  std::vector<uint8_t> r(kIdStringAt + std::max(kIdStringBytes, name.size()), 0x00);
  r[0] = static_cast<uint8_t>(id);
  r[1] = static_cast<uint8_t>(id >> 8);
  r[2] = kSdrVersion;
  r[3] = kFullSensorRecord;
  r[4] = static_cast<uint8_t>(r.size() - kHeaderBytes);
  r[kOwnerId] = kBmcAddress;
  r[kSensorNumber] = number;
  r[kEntityId] = kEntitySystemBoard;
  r[kEntityInstance] = 0x01;
  r[kInitialization] = kInitAll;
  r[kCapabilities] = sensor.thresholds ? kAutoRearm | kThresholdsReadable : kAutoRearm;
  r[kSensorType] = type;
  r[kReadingType] = readingType;
  r[kBaseUnit] = unit;
  r[kLinearization] = linearization;
  // M and B: 10-bit two's complement, the high two bits in bits 7:6 of the next byte.
  const unsigned m10 = static_cast<unsigned>(m) & 0x3FFu;
  const unsigned b10 = static_cast<unsigned>(b) & 0x3FFu;
  r[kM] = static_cast<uint8_t>(m10);
  r[kMHigh] = static_cast<uint8_t>((m10 >> 8) << 6);
  r[kB] = static_cast<uint8_t>(b10);
  r[kBHigh] = static_cast<uint8_t>((b10 >> 8) << 6);
  r[kExponents] = static_cast<uint8_t>(((static_cast<unsigned>(k2) & 0xFu) << 4) | (static_cast<unsigned>(k1) & 0xFu));
  r[kSensorMaximum] = 0xFF;
  if (sensor.thresholds && sensor.thresholds->size() >= kThresholdReplyBytes) {
    const std::vector<uint8_t>& t = *sensor.thresholds;
    r[kReadableThresholds] = t[0] & 0x3F;
    // The record lists them UNR UC UNC LNR LC LNC; the reply LNC LC LNR UNC UC UNR.
    for (size_t i = 0; i < 6; ++i) r[kUpperNonRecoverable + i] = t[6 - i];
  }
  r[kIdTypeLength] = static_cast<uint8_t>(kIdString8BitAscii | name.size());
  std::copy(name.begin(), name.end(), r.begin() + kIdStringAt);
  sdr->records.push_back(std::move(r));
  sdr->sensors.push_back(std::move(sensor));
}

SdrState DefaultSdrState() {
  // A controller locator; temperatures in whole degrees C (the inlet's lower
  // limit a signed -5); 12 V as 0.06 V steps, 5 V and 3.3 V as 0.03 V and
  // 0.02 V steps; fans 50 RPM per step, FAN3 not fitted; power in 2 W and
  // current in 0.1 A steps; power supplies (PSU2 has lost its AC input), a
  // processor, chassis intrusion, an OEM fan level sensor at level 01h; a
  // compact record for a drive slot.
  const json sdr = json::parse(R"({"records": [
    "01 00 51 12 0E 20 00 00 9F 00 00 00 06 01 00 C3 42 4D 43",
    {"name": "CPU1 Temp", "number": "01", "type": "01", "unit": "01", "raw": "2D", "thresholds": "09 05 00 00 55 00 00"},
    {"name": "CPU2 Temp", "number": "02", "type": "01", "unit": "01", "raw": "30", "thresholds": "09 05 00 00 55 00 00"},
    {"name": "Inlet Temp", "number": "03", "type": "01", "unit": "01", "raw": "17", "thresholds": "09 FB 00 00 2D 00 00"},
    {"name": "12V", "number": "10", "type": "02", "unit": "04", "m": 6, "k2": -2, "raw": "C8",
     "thresholds": "1B BE B4 00 D2 DC 00"},
    {"name": "5V", "number": "11", "type": "02", "unit": "04", "m": 3, "k2": -2, "raw": "A7",
     "thresholds": "1B 9B 96 00 B2 B7 00"},
    {"name": "3.3V", "number": "12", "type": "02", "unit": "04", "m": 2, "k2": -2, "raw": "A5",
     "thresholds": "1B 9A 94 00 B0 B6 00"},
    {"name": "FAN1", "number": "20", "type": "04", "unit": "12", "m": 50, "raw": "8C", "thresholds": "09 0A 00 00 C8 00 00"},
    {"name": "FAN2", "number": "21", "type": "04", "unit": "12", "m": 50, "raw": "8A", "thresholds": "09 0A 00 00 C8 00 00"},
    {"name": "FAN3", "number": "22", "type": "04", "unit": "12", "m": 50, "present": false,
     "thresholds": "09 0A 00 00 C8 00 00"},
    {"name": "PSU1 Power", "number": "30", "type": "0B", "unit": "06", "m": 2, "raw": "5A",
     "thresholds": "08 00 00 00 E1 00 00"},
    {"name": "PSU1 Current", "number": "31", "type": "03", "unit": "05", "m": 1, "k2": -1, "raw": "0F",
     "thresholds": "08 00 00 00 C8 00 00"},
    {"name": "PSU1 Status", "number": "40", "type": "08", "state": "01 00"},
    {"name": "PSU2 Status", "number": "41", "type": "08", "state": "09 00"},
    {"name": "CPU1 Status", "number": "50", "type": "07", "state": "00 00"},
    {"name": "Chassis Intru", "number": "51", "type": "05", "state": "00 00"},
    {"name": "Fan Level", "number": "60", "type": "C0", "state": "01 00"},
    "12 00 51 02 21 20 00 70 1A 01 67 40 0D 6F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 C6 44 72 69 76 65 30"
  ]})");
  SdrState state;
  std::string error;
  JsonReader read(&error);
  ReadSdrState(sdr, &state, read);
  if (!read.Ok()) {
    std::fprintf(stderr, "default SDR repository: %s\n", error.c_str());
    std::abort();
  }
  return state;
}

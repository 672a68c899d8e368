// The simulated BMC's Sensor Data Record repository and the sensors behind it.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

class JsonReader;

// What the BMC answers for one sensor number.
struct SimSensor {
  uint8_t number = 0;
  bool present = true;  // false: Get Sensor Reading and Get Sensor Thresholds answer CBh
  // Get Sensor Reading reply data: raw reading, flags, state bits 0-7, state
  // bits 8-14 (any length is sent as it is).
  std::vector<uint8_t> reading;
  // Get Sensor Thresholds reply data: readable mask, then LNC LC LNR UNC UC
  // UNR raw. None: the sensor has no thresholds to read (C1h).
  std::optional<std::vector<uint8_t>> thresholds;
};

struct SdrState {
  // Whole records in repository order, each from its record ID (bytes 0-1, LS
  // first) on: the 5-byte header and the record body.
  std::vector<std::vector<uint8_t>> records;
  // The current reservation; 0 until Reserve SDR Repository was asked. Kept with
  // the rest of the state, as for the SEL.
  uint16_t reservationId = 0;
  // The sensors, by number (the first of a number answers).
  std::vector<SimSensor> sensors;
};

// A realistic server: temperatures, voltages, fans, power supplies, a
// processor, an OEM sensor, a compact record and a controller locator.
SdrState DefaultSdrState();

// "sdr": {"records": [RECORD, ...], "sensors": [SENSOR, ...], "reservationId": 0}
// A RECORD is either the whole record in hexadecimal ("01 00 51 12 ...": any
// type, compact and locator records, malformed ones) or a full sensor record
// described by its fields, which also defines the sensor behind it:
//   {"id": 1, "name": "CPU Temp", "number": "01", "type": "01", "unit": "01",
//    "m": 1, "b": 0, "k1": 0, "k2": 0, "linearization": "00", "readingType": "01",
//    SENSOR keys but "number"}
// A SENSOR (for records given in hexadecimal) is
//   {"number": "04", "raw": "2D", "flags": "C0", "state": "00 00",
//    "unavailable": false, "present": true, "thresholds": "3F 05 02 00 55 5A 5F",
//    "readingReply": "2D C0 00 00"}
// readingReply, when given, is the whole Get Sensor Reading reply (any length)
// in place of raw, flags and state. Giving "records" or "sensors" replaces that
// list of the default BMC.
void ReadSdrState(const nlohmann::json& object, SdrState* sdr, JsonReader& read);
nlohmann::json SdrStateToJson(const SdrState& sdr);

// A full sensor record (type 01h, IPMI 2.0 table 43-1) as read from a scenario
// object; appends the record and its sensor. Used by ReadSdrState.
void ReadSensorRecord(const nlohmann::json& object, size_t position, SdrState* sdr, JsonReader& read);
void ReadSensor(const nlohmann::json& object, SimSensor* sensor, JsonReader& read);

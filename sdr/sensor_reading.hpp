// Live sensor readings and thresholds (IPMI 2.0 sections 35.9 and 35.14), and
// their conversion into units with the factors of the sensor's full record
// (IPMI 2.0 section 36.3: y = L[(M x + B 10^K1) 10^K2]).
#pragma once

#include <cstddef>
#include <cstdint>

// Sensor/Event commands, NetFn 04h.
inline constexpr uint8_t kCmdGetSensorThresholds = 0x27;
inline constexpr uint8_t kCmdGetSensorReading = 0x2D;

// Get Sensor Reading reply (IPMI 2.0 section 35.14): the raw reading, flags,
// threshold comparison or discrete state bits 0-7, discrete state bits 8-14.
struct SensorReading {
  uint8_t raw;
  uint8_t flags;
  uint8_t state;
  uint8_t stateHigh;
};
// Flags bit 5: the reading or state is unavailable.
inline constexpr uint8_t kSensorReadingUnavailable = 0x20;

// The six thresholds in the order Get Sensor Thresholds returns them, as values
// in the sensor's unit; NaN where the BMC gave none.
enum ThresholdIndex : size_t {
  kLowerNonCritical,
  kLowerCritical,
  kLowerNonRecoverable,
  kUpperNonCritical,
  kUpperCritical,
  kUpperNonRecoverable,
  kThresholdCount
};
struct SensorThresholds {
  double value[kThresholdCount];
};

// Linearization codes (IPMI 2.0 table 43-1, Linearization).
inline constexpr uint8_t kLinearizationSquare = 0x08;

// One Get Sensor Reading. *reading always has defined content: on 00h the
// first four reply bytes, missing ones 00h and further ones ignored; on any
// other completion code all four 00h. Returns the completion code.
uint8_t GetSensorReading(uint8_t sensorNumber, SensorReading* reading);

// One Get Sensor Thresholds for the sensor of a full sensor record. On 00h
// with the mask and six threshold bytes, each byte converted with
// ConvertThresholdByte (the readable mask is not consulted); otherwise (the
// failure, or a short reply: CEh) all six are NaN. Returns the completion code.
uint8_t GetSensorThresholds(const uint8_t* record, SensorThresholds* thresholds);

// Asks the BMC for the record's sensor reading (its own Get Sensor Reading) and
// converts the raw byte with the record's factors and linearization. NaN when
// the reading fails or carries no raw byte.
double ConvertSensorReading(const uint8_t* record);

// Converts one raw threshold byte with the record's factors; of the
// linearizations only the square (08h) is applied.
double ConvertThresholdByte(const uint8_t* record, uint8_t raw);

// The linear part, (M x + B 10^K1) 10^K2, with M x formed as an integer and
// x taken as unsigned whatever the record's analog data format says.
double LinearSensorValue(const uint8_t* record, uint8_t raw);

// The linearization function of code: ln, log10, 10^y, 1/y, y^2, sqrt, cbrt
// for 01h, 02h, 05h, 07h, 08h, 0Ah, 0Bh; any other code leaves y unchanged.
// The result may be infinite or NaN (log of 0 or of a negative value, 1/0,
// overflow); callers check before they show it.
double ApplyLinearization(uint8_t code, double y);

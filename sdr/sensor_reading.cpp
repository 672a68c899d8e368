#include "sdr/sensor_reading.hpp"

#include "sdr/sdr_repository.hpp"
#include "support/math.hpp"
#include "support/text.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// Get Sensor Thresholds response: the readable mask, then the six bytes.
constexpr uint32_t kThresholdResponseBytes = 1 + kThresholdCount;

double Reciprocal(double y) { return y == 0 ? Infinity() : 1.0 / y; }
double Square(double y) { return y * y; }

struct Linearization {
  uint8_t code;
  double (*apply)(double);
};
// IPMI 2.0 table 43-1, Linearization. The codes not listed (among them 03h
// log2, 04h e^y, 06h 2^y, 09h cube, 70h-7Fh non-linear) leave y unchanged.
constexpr Linearization kLinearizations[] = {
    {0x01, NaturalLog},
    {0x02, Log10},
    {0x05, Exp10},
    {0x07, Reciprocal},
    {kLinearizationSquare, Square},
    {0x0A, SquareRoot},
    {0x0B, CubeRoot},
};

const uint8_t* RecordAt(int recordIndex) {
  if (recordIndex < 0 || recordIndex >= kSdrSlotCount) return nullptr;
  return SdrRecordTable[recordIndex];
}

}  // namespace

uint8_t GetSensorReading(uint8_t sensorNumber, uint8_t (&reading)[kSensorReadingBytes]) {
  // Room for any response the transport can deliver; only four bytes are kept.
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t request[] = {sensorNumber};
  const uint8_t cc = IpmiRequest(kBmcSlaveAddress, kNetFnSensorEvent, kCmdGetSensorReading, request, response, &count);
  FillBytes(reading, 0, kSensorReadingBytes);
  if (cc == kCcSuccess) CopyBytes(reading, response, count < kSensorReadingBytes ? count : kSensorReadingBytes);
  return cc;
}

uint8_t GetSensorThresholds(int recordIndex, uint8_t sensorNumber, SensorThresholds* thresholds) {
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t request[] = {sensorNumber};
  const uint8_t cc = IpmiRequestForData(kNetFnSensorEvent, kCmdGetSensorThresholds, request, response, &count,
                                        kThresholdResponseBytes);
  for (size_t i = 0; i < kThresholdCount; ++i) {
    thresholds->value[i] = cc == kCcSuccess ? ConvertThresholdByte(recordIndex, response[1 + i]) : NotANumber();
  }
  return cc;
}

double ConvertSensorReading(int recordIndex) {
  const uint8_t* record = RecordAt(recordIndex);
  if (record == nullptr) return NotANumber();
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t request[] = {record[kSdrSensorNumberByte]};
  const uint8_t cc = IpmiRequestForData(kNetFnSensorEvent, kCmdGetSensorReading, request, response, &count, 1);
  if (cc != kCcSuccess) return NotANumber();
  return ApplyLinearization(record[kSdrLinearizationByte], LinearSensorValue(record, response[kSensorRawByte]));
}

double ConvertThresholdByte(int recordIndex, uint8_t raw) {
  const uint8_t* record = RecordAt(recordIndex);
  if (record == nullptr) return NotANumber();
  const double y = LinearSensorValue(record, raw);
  return record[kSdrLinearizationByte] == kLinearizationSquare ? Square(y) : y;
}

double LinearSensorValue(const uint8_t* record, uint8_t raw) {
  const SdrFactors factors = SdrConversionFactors(record);
  double a = Pow10(factors.k1) * factors.b;
  a += factors.m * raw;  // |M x| <= 512 x 255: an exact integer product
  return a * Pow10(factors.k2);
}

double ApplyLinearization(uint8_t code, double y) {
  for (const Linearization& l : kLinearizations) {
    if (l.code == code) return l.apply(y);
  }
  return y;
}

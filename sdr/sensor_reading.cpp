#include "sdr/sensor_reading.hpp"

#include "sdr/sdr_repository.hpp"
#include "support/bytes.hpp"
#include "support/math.hpp"
#include "transport/ipmi.hpp"

namespace {

double Reciprocal(double y) { return y == 0 ? Infinity() : 1.0 / y; }
double Square(double y) { return y * y; }

struct Linearization {
  uint8_t code;
  double (*apply)(double);
};
// IPMI 2.0 table 43-1, Linearization. The codes not listed (among them 03h
// log2, 04h e^y, 06h 2^y, 09h cube, 70h-7Fh non-linear) leave y unchanged.
constexpr Linearization kLinearizations[] = {
    {0x01, NaturalLog}, {0x02, Log10},    {0x05, Exp10}, {0x07, Reciprocal}, {kLinearizationSquare, Square},
    {0x0A, SquareRoot}, {0x0B, CubeRoot},
};

// Get Sensor Reading and Get Sensor Thresholds name the sensor alone.
uint8_t SensorRequest(uint8_t cmd, uint8_t sensorNumber, IpmiResponse* reply) {
  const uint8_t request[] = {sensorNumber};
  return IpmiExchange(kNetFnSensorEvent, cmd, request, reply);
}

}  // namespace

uint8_t GetSensorReading(uint8_t sensorNumber, SensorReading* reading) {
  IpmiResponse reply;
  const uint8_t cc = SensorRequest(kCmdGetSensorReading, sensorNumber, &reply);
  *reading = {};
  if (cc == kCcSuccess) {
    ByteReader reader = reply.Reader();
    *reading = {reader.Byte(), reader.Byte(), reader.Byte(), reader.Byte()};
  }
  return cc;
}

uint8_t GetSensorThresholds(const uint8_t* record, SensorThresholds* thresholds) {
  IpmiResponse reply;
  const uint8_t cc = SensorRequest(kCmdGetSensorThresholds, record[kSdrSensorNumberByte], &reply);
  ByteReader reader = reply.Reader();
  reader.Skip(1);  // the readable mask, not consulted
  uint8_t raw[kThresholdCount];
  reader.Copy(raw);
  const uint8_t result = DecodedResult(cc, reader);
  for (size_t i = 0; i < kThresholdCount; ++i) {
    thresholds->value[i] = result == kCcSuccess ? ConvertThresholdByte(record, raw[i]) : NotANumber();
  }
  return result;
}

double ConvertSensorReading(const uint8_t* record) {
  IpmiResponse reply;
  const uint8_t cc = SensorRequest(kCmdGetSensorReading, record[kSdrSensorNumberByte], &reply);
  ByteReader reader = reply.Reader();
  const uint8_t raw = reader.Byte();
  if (DecodedResult(cc, reader) != kCcSuccess) return NotANumber();
  return ApplyLinearization(record[kSdrLinearizationByte], LinearSensorValue(record, raw));
}

double ConvertThresholdByte(const uint8_t* record, uint8_t raw) {
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

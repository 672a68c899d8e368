// Sensor/Event network function: sensor readings and thresholds (IPMI 2.0
// sections 35.9 and 35.14), answered from the sensors of the SDR state.
#include "sim/bmc_model.hpp"
#include "sim/handler.hpp"
#include "sim/sdr_state.hpp"

namespace {

constexpr uint8_t kNetFnSensorEvent = 0x04;
constexpr uint8_t kCmdGetSensorThresholds = 0x27;
constexpr uint8_t kCmdGetSensorReading = 0x2D;

const SimSensor* FindSensor(const SdrState& sdr, uint8_t number) {
  for (const SimSensor& sensor : sdr.sensors) {
    if (sensor.number == number) return &sensor;
  }
  return nullptr;
}

IpmiReply GetSensorReading(BmcModel& bmc, const IpmiMessage& request) {
  const SimSensor* sensor = FindSensor(bmc.State().sdr, request.data[0]);
  if (sensor == nullptr || !sensor->present) return Refuse(kSimCcNotPresent);
  return Reply(sensor->reading);
}

IpmiReply GetSensorThresholds(BmcModel& bmc, const IpmiMessage& request) {
  const SimSensor* sensor = FindSensor(bmc.State().sdr, request.data[0]);
  if (sensor == nullptr || !sensor->present) return Refuse(kSimCcNotPresent);
  // A sensor without readable thresholds (a discrete one) does not take the command.
  if (!sensor->thresholds) return Refuse(kSimCcInvalidCommand);
  return Reply(*sensor->thresholds);
}

constexpr HandlerEntry kSensorHandlers[] = {
    {kNetFnSensorEvent, kCmdGetSensorThresholds, 1, GetSensorThresholds},
    {kNetFnSensorEvent, kCmdGetSensorReading, 1, GetSensorReading},
};

}  // namespace

std::span<const HandlerEntry> SensorHandlers() { return kSensorHandlers; }

// The sensor listing (-sdr) over any SDR repository and any sensor replies: the
// input gives the records and, for each, what the sensor with that record's
// number answers; the BMC's answers may be bent further (scripted_bmc.hpp).
//
// Input: record count, then per record its bytes, a presence flag, the Get
// Sensor Reading reply and the Get Sensor Thresholds reply (none when empty);
// then one choice per request.
#include <string>
#include <vector>

#include "fuzz/fuzz_input.hpp"
#include "fuzz/fuzz_platform.hpp"
#include "fuzz/fuzz_target.hpp"

namespace {

constexpr unsigned kMaxRecords = 12;
constexpr size_t kMaxRecordBytes = 200;
constexpr size_t kMaxReplyBytes = 12;
constexpr size_t kSensorNumberByte = 7;

std::vector<fuzz::Input> Seeds() {
  std::vector<fuzz::Input> seeds;
  for (const Scenario& scenario : fuzz::TestScenarios()) {
    const SdrState& sdr = scenario.state.sdr;
    fuzz::Input input = {static_cast<uint8_t>(std::min<size_t>(sdr.records.size(), kMaxRecords))};
    for (size_t i = 0; i < sdr.records.size() && i < kMaxRecords; ++i) {
      const std::vector<uint8_t>& record = sdr.records[i];
      fuzz::AppendField(input, record, kMaxRecordBytes);
      const SimSensor* sensor = nullptr;
      for (const SimSensor& s : sdr.sensors) {
        if (record.size() > kSensorNumberByte && s.number == record[kSensorNumberByte]) {
          sensor = &s;
          break;
        }
      }
      input.push_back(sensor != nullptr && sensor->present ? 1 : 0);
      fuzz::AppendField(input, sensor != nullptr ? sensor->reading : std::vector<uint8_t>{}, kMaxReplyBytes);
      fuzz::AppendField(input, sensor != nullptr && sensor->thresholds ? *sensor->thresholds : std::vector<uint8_t>{},
                        kMaxReplyBytes);
    }
    seeds.push_back(input);
  }
  return seeds;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::WriteSeedsIfAsked(Seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  Scenario scenario = fuzz::DefaultBmc();
  SdrState& sdr = scenario.state.sdr;
  sdr.records.clear();
  sdr.sensors.clear();
  const unsigned count = input.Below(kMaxRecords + 1);
  for (unsigned i = 0; i < count; ++i) {
    std::vector<uint8_t> record = input.Bytes(kMaxRecordBytes);
    SimSensor sensor;
    sensor.number = record.size() > kSensorNumberByte ? record[kSensorNumberByte] : 0;
    sensor.present = input.Flag();
    sensor.reading = input.Bytes(kMaxReplyBytes);
    std::vector<uint8_t> thresholds = input.Bytes(kMaxReplyBytes);
    if (!thresholds.empty()) sensor.thresholds = thresholds;
    sdr.records.push_back(std::move(record));
    sdr.sensors.push_back(std::move(sensor));
  }

  fuzz::Machine machine;
  fuzz::RunTool(machine, scenario, input, {"-sdr"});
  return 0;
}

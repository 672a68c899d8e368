// CPU cost of the sensor listing: a whole -sdr (load and list) against the
// in-process simulated BMC, per record, with the simulated time the KCS timing
// gives it; and the conversion of one raw byte alone.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/host/host_session.hpp"
#include "sdr/sdr_repository.hpp"
#include "sdr/sensor_listing.hpp"
#include "sdr/sensor_reading.hpp"

namespace {

// count temperature sensors, each with a reading and thresholds.
Scenario TemperatureSensors(int count) {
  std::string records;
  for (int n = 1; n <= count; ++n) {
    records += std::string(n > 1 ? "," : "") + R"({"name": "Temp )" + std::to_string(n) + R"(", "number": )" +
               std::to_string(n) +
               R"(, "type": "01", "unit": "01", "raw": "2D", "thresholds": "09 05 00 00 55 00 00"})";
  }
  Scenario scenario;
  std::string error;
  ScenarioFromJson(nlohmann::json::parse(R"({"sdr": {"records": [)" + records + "]}}"), &scenario, &error);
  return scenario;
}

void BM_SensorListing(benchmark::State& state) {
  const auto records = static_cast<int>(state.range(0));
  SimulatedBmc bmc(TemperatureSensors(records));
  bmc.Attach(/*sleepForReal=*/false);
  std::string console;
  CaptureConsole(&console);
  auto sdr = std::make_unique<SdrRepository>();
  for (auto _ : state) {
    sdr->recordCount = 0;
    sdr->reservationId = 0;
    console.clear();
    benchmark::DoNotOptimize(ShowSensors(*sdr));
  }
  const auto runs = static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * records);  // items: records listed
  state.counters["simulated_s_per_listing"] = static_cast<double>(bmc.Clock().NowMicroseconds()) / 1e6 / runs;
  state.counters["requests_per_listing"] = static_cast<double>(bmc.Model().RequestLog().size()) / runs;
  CaptureConsole(nullptr);
  SelectPortDriver(nullptr);
}
BENCHMARK(BM_SensorListing)->Arg(60)->Unit(benchmark::kMillisecond);

// One raw byte through the linear formula and a linearization.
void BM_ConvertRawByte(benchmark::State& state) {
  uint8_t record[kSdrSlotSize] = {};
  record[24] = 7;     // M
  record[29] = 0xD0;  // K2 = -3
  const auto code = static_cast<uint8_t>(state.range(0));
  uint8_t raw = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ApplyLinearization(code, LinearSensorValue(record, ++raw)));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertRawByte)->Arg(0x00)->Arg(0x01)->Arg(0x02)->Arg(0x05)->Arg(0x0A)->Arg(0x0B);

}  // namespace

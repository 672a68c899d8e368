// CPU cost of one IPMI request through the whole transport against the
// in-process simulated BMC (stalls advance the virtual clock and cost nothing),
// and the simulated stall time a request takes by response length.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/host/host_session.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

void BM_GetDeviceId(benchmark::State& state) {
  SimulatedBmc bmc(DefaultScenario());
  bmc.Attach(/*sleepForReal=*/false);
  uint8_t response[256];
  uint32_t count = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, nullptr, 0, response, &count));
  }
  state.counters["stall_us_per_request"] =
      static_cast<double>(bmc.Clock().NowMicroseconds()) / static_cast<double>(state.iterations());
  SelectPortDriver(nullptr);
}
BENCHMARK(BM_GetDeviceId);

// The response frame is NetFn/LUN, command, completion code and length - 3 data bytes.
void BM_ResponseLength(benchmark::State& state) {
  const auto length = static_cast<size_t>(state.range(0));
  Scenario scenario = DefaultScenario();
  std::vector<uint8_t> frame(length, 0x11);
  frame[0] = 0x1C;
  frame[1] = 0x01;
  frame[2] = 0x00;
  scenario.kcs.responseFrame = frame;
  SimulatedBmc bmc(scenario);
  bmc.Attach(false);
  uint8_t response[256];
  uint32_t count = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, nullptr, 0, response, &count));
  }
  state.counters["stall_us_per_request"] =
      static_cast<double>(bmc.Clock().NowMicroseconds()) / static_cast<double>(state.iterations());
  SelectPortDriver(nullptr);
}
BENCHMARK(BM_ResponseLength)->Arg(3)->Arg(18)->Arg(50)->Arg(100)->Arg(200);

}  // namespace

BENCHMARK_MAIN();

// CPU cost of one IPMI request through the whole transport against the
// in-process simulated BMC (stalls advance the virtual clock and cost nothing),
// and the simulated stall time a request takes by response length.
#include <benchmark/benchmark.h>

#include <string>

#include "controller/controller_commands.hpp"
#include "platform/host/host_session.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// Get Device ID requests against bmc until the benchmark has its timing; reports
// the simulated stall time one request took.
void RunRequests(benchmark::State& state, const Scenario& scenario) {
  SimulatedBmc bmc(scenario);
  bmc.Attach(/*sleepForReal=*/false);
  uint8_t response[256];
  uint32_t count = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, response, &count));
  }
  state.counters["stall_us_per_request"] =
      static_cast<double>(bmc.Clock().NowMicroseconds()) / static_cast<double>(state.iterations());
  SelectPortDriver(nullptr);
}

void BM_GetDeviceId(benchmark::State& state) { RunRequests(state, DefaultScenario()); }
BENCHMARK(BM_GetDeviceId);

// The response frame is NetFn/LUN, command, completion code and length - 3 data bytes.
void BM_ResponseLength(benchmark::State& state) {
  Scenario scenario = DefaultScenario();
  std::vector<uint8_t> frame(static_cast<size_t>(state.range(0)), 0x11);
  frame[0] = 0x1C;
  frame[1] = 0x01;
  frame[2] = 0x00;
  scenario.kcs.responseFrame = frame;
  RunRequests(state, scenario);
}
BENCHMARK(BM_ResponseLength)->Arg(3)->Arg(18)->Arg(50)->Arg(100)->Arg(200);

}  // namespace

BENCHMARK_MAIN();

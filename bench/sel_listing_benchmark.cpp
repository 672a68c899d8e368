// The decoded SEL listing of 1024 entries: the CPU time of decoding (every
// event text look-up rereads its data file from the start, one record per
// read), and the whole -sel list command against the simulated BMC with the
// KCS stall time it takes on the simulated clock.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/run_state.hpp"
#include "platform/host/host_session.hpp"
#include "sdr/sdr_repository.hpp"
#include "sel/event_files.hpp"
#include "sel/sel_listing.hpp"
#include "sel/sel_log.hpp"

namespace {

constexpr int kEntries = 1024;

// The built-in log (firmware progress, temperature threshold, memory ECC, PCI
// SERR, power supply, OEM record) repeated to 1024 entries.
Scenario FullLog() {
  Scenario scenario;
  std::string error;
  ScenarioFromJson(nlohmann::json::parse(R"({"sel": {"capacity": 2000, "fillTo": 1024}})"), &scenario, &error);
  return scenario;
}

// The data files the build generated, found by bare name as the tool does.
struct InDataDirectory {
  InDataDirectory() : ok(chdir(TOLVANE_EVENT_DATA_DIR) == 0) {}
  bool ok;
};

// Decoding only: the entries are read once; each iteration lists them all.
void BM_ListSelDecoding(benchmark::State& state) {
  const InDataDirectory directory;
  if (!directory.ok) return state.SkipWithError("no data directory");
  SimulatedBmc bmc(FullLog());
  bmc.Attach(/*sleepForReal=*/false);
  std::string output;
  CaptureConsole(&output);
  auto sel = std::make_unique<SelLog>();
  auto sdr = std::make_unique<SdrRepository>();
  if (GetSelInfo(*sel) != 0 || ReserveSel(*sel) != 0 || ReadSelEntries(*sel) != 0) {
    return state.SkipWithError("no SEL");
  }
  for (auto _ : state) {
    output.clear();
    SelListing listing{};  // a fresh listing: the SDR and the board are asked again
    ListSel(*sel, *sdr, listing);
  }
  CaptureConsole(nullptr);
  SelectPortDriver(nullptr);
  state.SetItemsProcessed(state.iterations() * kEntries);
  state.counters["us_per_entry"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kEntries),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
  state.counters["output_bytes"] = static_cast<double>(output.size());
}
BENCHMARK(BM_ListSelDecoding)->Unit(benchmark::kMillisecond);

// The whole command: Get SEL Info, Reserve SEL, 1024 Get SEL Entry, the SDR
// repository and the board query, then the listing. Reports the simulated
// KCS time one run takes at the tool's stall timing and its request count.
void BM_SelListCommand(benchmark::State& state) {
  const InDataDirectory directory;
  if (!directory.ok) return state.SkipWithError("no data directory");
  const Scenario scenario = FullLog();
  double simulatedUs = 0;
  double requests = 0;
  for (auto _ : state) {
    state.PauseTiming();
    SimulatedBmc bmc(scenario);
    bmc.Attach(/*sleepForReal=*/false);
    std::string output;
    CaptureConsole(&output);
    auto run = std::make_unique<RunState>();
    state.ResumeTiming();
    benchmark::DoNotOptimize(ShowSelListing(run->sel, run->sdr));
    state.PauseTiming();
    simulatedUs = static_cast<double>(bmc.Clock().NowMicroseconds());
    requests = static_cast<double>(bmc.Model().RequestLog().size());
    CaptureConsole(nullptr);
    SelectPortDriver(nullptr);
    state.ResumeTiming();
  }
  state.counters["simulated_ms"] = simulatedUs / 1000;
  state.counters["requests"] = requests;
}
BENCHMARK(BM_SelListCommand)->Unit(benchmark::kMillisecond);

// One look-up by where its record lies: the first record of GenEvt.dat, the
// last text of SpecEvt4.dat (FRU Communication Lost, sensor type 2Ch), and a
// key no file holds (the scan reads to the end marker).
void Lookup(benchmark::State& state, uint8_t sensorType, uint8_t eventType, uint8_t eventData1) {
  const InDataDirectory directory;
  if (!directory.ok) return state.SkipWithError("no data directory");
  EventFiles files{};
  if (!OpenEventFiles(files)) return state.SkipWithError("no data files");
  char text[kSpecificTextSize];
  for (auto _ : state) {
    if (eventType == 0x6F) {
      benchmark::DoNotOptimize(SpecificEventText(files, sensorType, eventData1, 0xFF, text, sizeof text));
    } else {
      GenericEventText(files, eventType, eventData1, text, sizeof text);
    }
    benchmark::DoNotOptimize(text);
  }
  CloseEventFiles(files);
}
void BM_LookupFirstGenericRecord(benchmark::State& state) { Lookup(state, 0x01, 0x01, 0x00); }
void BM_LookupLastSpecificRecord(benchmark::State& state) { Lookup(state, 0x2C, 0x6F, 0x07); }
void BM_LookupMissingSpecificKey(benchmark::State& state) { Lookup(state, 0x2C, 0x6F, 0x0E); }
BENCHMARK(BM_LookupFirstGenericRecord);
BENCHMARK(BM_LookupLastSpecificRecord);
BENCHMARK(BM_LookupMissingSpecificKey);

}  // namespace

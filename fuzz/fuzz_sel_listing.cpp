// The decoded SEL listing (-sel list) over any log, any event text data files
// and any SDR records for the sensor names; the BMC's answers may be bent
// further (scripted_bmc.hpp).
//
// Input: entry count and 16 bytes per entry, the board identifier reply, SDR
// record count and records, per data file a choice (as generated, the input's
// bytes, or missing), then one choice per request.
#include <array>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.hpp"
#include "fuzz/fuzz_platform.hpp"
#include "fuzz/fuzz_target.hpp"

namespace {

constexpr unsigned kMaxEntries = 12;
constexpr unsigned kMaxRecords = 6;
constexpr size_t kMaxRecordBytes = 80;
constexpr size_t kMaxDataFileBytes = 8 * 1028;
enum DataFileChoice : uint8_t { kGenerated, kFromInput, kMissing, kChoices };

std::vector<fuzz::Input> Seeds() {
  std::vector<fuzz::Input> seeds;
  for (const Scenario& scenario : fuzz::TestScenarios()) {
    const SelState& sel = scenario.state.sel;
    fuzz::Input input = {static_cast<uint8_t>(std::min<size_t>(sel.entries.size(), kMaxEntries))};
    for (size_t i = 0; i < sel.entries.size() && i < kMaxEntries; ++i) {
      fuzz::AppendField(input, std::vector<uint8_t>(sel.entries[i].begin(), sel.entries[i].end()), kSimSelEntrySize);
    }
    fuzz::AppendField(input, sel.boardId.value_or(std::vector<uint8_t>{}), 4);
    const SdrState& sdr = scenario.state.sdr;
    input.push_back(static_cast<uint8_t>(std::min<size_t>(sdr.records.size(), kMaxRecords)));
    for (size_t i = 0; i < sdr.records.size() && i < kMaxRecords; ++i) {
      fuzz::AppendField(input, sdr.records[i], kMaxRecordBytes);
    }
    for (size_t i = 0; i < fuzz::EventDataFiles().size(); ++i) input.push_back(kGenerated);
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
  SelState& sel = scenario.state.sel;
  sel.entries.clear();
  const unsigned entries = input.Below(kMaxEntries + 1);
  for (unsigned i = 0; i < entries; ++i) {
    SimSelEntry entry{};
    const std::vector<uint8_t> bytes = input.Bytes(kSimSelEntrySize);
    std::copy(bytes.begin(), bytes.end(), entry.begin());
    sel.entries.push_back(entry);
  }
  const std::vector<uint8_t> boardId = input.Bytes(4);
  sel.boardId = boardId;
  SdrState& sdr = scenario.state.sdr;
  sdr.records.clear();
  sdr.sensors.clear();
  const unsigned records = input.Below(kMaxRecords + 1);
  for (unsigned i = 0; i < records; ++i) sdr.records.push_back(input.Bytes(kMaxRecordBytes));

  fuzz::Machine machine;
  for (const auto& [name, bytes] : fuzz::EventDataFiles()) {
    switch (input.Below(kChoices)) {
      case kGenerated:
        machine.files[name] = bytes;
        break;
      case kFromInput:
        machine.files[name] = fuzz::Bytes(input.Bytes(kMaxDataFileBytes));
        break;
      default:
        break;  // missing
    }
  }
  fuzz::RunTool(machine, scenario, input, {"-sel", "list"});
  return 0;
}

// A BMC whose answers a fuzzer's input steers: the simulated BMC answers every
// request, and the input may replace or bend each answer (completion code,
// length, bytes, no answer at all) and set faults of the KCS interface.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "fuzz/fuzz_input.hpp"
#include "sim/bmc_model.hpp"
#include "sim/kcs_device.hpp"
#include "sim/scenario.hpp"
#include "sim/virtual_clock.hpp"

namespace fuzz {

// KCS faults chosen by the input, bounded so that a run stays short.
KcsFaults FuzzedKcsFaults(FuzzInput& input);

class ScriptedBmc {
 public:
  // script: what bends the answers, one choice per request; the BMC's time
  // follows clock (the machine's stalls).
  ScriptedBmc(const Scenario& scenario, FuzzInput& script, const VirtualClock* clock);

  KcsDevice& Kcs() { return kcs_; }
  BmcModel& Model() { return model_; }

 private:
  std::optional<std::vector<uint8_t>> Answer(std::span<const uint8_t> frame);

  BmcModel model_;
  FuzzInput& script_;
  KcsDevice kcs_;
};

}  // namespace fuzz

// The simulated BMC: its state, a table of request handlers keyed by network
// function and command, completion-code injection and a log of every request.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "sim/ipmi_message.hpp"
#include "sim/scenario.hpp"
#include "sim/virtual_clock.hpp"

class BmcModel {
 public:
  BmcModel(Scenario scenario, const VirtualClock* clock);

  // Answers one KCS request frame (NetFn/LUN, command, data...) with the response
  // frame, or nothing when the BMC does not answer at this moment.
  std::optional<std::vector<uint8_t>> HandleFrame(std::span<const uint8_t> request);

  // Every request received, in order (frames too short to carry a command are not
  // requests and are not logged).
  const std::vector<IpmiMessage>& RequestLog() const { return requestLog_; }

  const Scenario& CurrentScenario() const { return scenario_; }
  BmcState& State() { return scenario_.state; }
  const VirtualClock& Clock() const { return *clock_; }

  // A cold reset or factory default was accepted: from now on the BMC does not
  // answer until the scenario's restart time has passed on the clock.
  void StartRestart();
  // false while the BMC restarts.
  bool Answering() const;

 private:
  std::optional<uint8_t> InjectedCompletionCode(const IpmiMessage& request);

  Scenario scenario_;
  const VirtualClock* clock_;
  std::vector<IpmiMessage> requestLog_;
  std::vector<unsigned> faultMatches_;        // per completion-code fault: matching requests so far
  std::optional<uint64_t> restartStartedAt_;  // simulated time of the last restart
};

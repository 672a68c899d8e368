// A simulated BMC wired to the host binding: the BMC model behind a KCS device,
// on a virtual clock. Used by the host tool, the tests and the benchmarks.
#pragma once

#include "platform/host/host_platform.hpp"
#include "sim/bmc_model.hpp"
#include "sim/kcs_device.hpp"
#include "sim/scenario.hpp"
#include "sim/virtual_clock.hpp"

class SimulatedBmc : public PortDriver {
 public:
  explicit SimulatedBmc(Scenario scenario);

  uint8_t Read8(uint16_t port) override { return kcs_.Read(port); }
  void Write8(uint16_t port, uint8_t value) override { kcs_.Write(port, value); }

  BmcModel& Model() { return model_; }
  KcsDevice& Kcs() { return kcs_; }
  VirtualClock& Clock() { return clock_; }

  // Routes the seam's ports and stalls here (stalls virtual, or also real).
  void Attach(bool sleepForReal);

 private:
  VirtualClock clock_;
  BmcModel model_;
  KcsDevice kcs_;
};

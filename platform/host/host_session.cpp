#include "platform/host/host_session.hpp"

#include <utility>

SimulatedBmc::SimulatedBmc(Scenario scenario)
    : model_(scenario, &clock_),
      kcs_([this](std::span<const uint8_t> frame) { return model_.HandleFrame(frame); }, scenario.kcs,
           [this] { return model_.Answering(); }) {}

void SimulatedBmc::Attach(bool sleepForReal) {
  SelectPortDriver(this);
  SelectClock(&clock_, sleepForReal);
}

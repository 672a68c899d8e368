// Simulated time, in microseconds since the simulation started. Every stall of
// the tool advances it; BMC behaviour that depends on time follows it.
#pragma once

#include <cstdint>

class VirtualClock {
 public:
  uint64_t NowMicroseconds() const { return now_; }
  void Advance(uint64_t microseconds) { now_ += microseconds; }

 private:
  uint64_t now_ = 0;
};

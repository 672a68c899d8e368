// Host-side controls of the platform seam's Linux binding: where port accesses
// go, how stalls pass, where console output goes.
#pragma once

#include <cstdint>
#include <string>

#include "sim/virtual_clock.hpp"

// Whatever answers the KCS ports on the host: a simulated BMC or real I/O ports.
class PortDriver {
 public:
  virtual ~PortDriver() = default;
  virtual uint8_t Read8(uint16_t port) = 0;
  virtual void Write8(uint16_t port, uint8_t value) = 0;
};

// The driver BindPortAccess binds to; nullptr: none, and every request fails.
void SelectPortDriver(PortDriver* driver);

// Every stall advances clock; with sleepForReal the process also sleeps that long.
void SelectClock(VirtualClock* clock, bool sleepForReal);

// Collects standard output in *output instead of writing it (nullptr: write).
void CaptureConsole(std::string* output);

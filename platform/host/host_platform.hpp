// Host-side controls of the platform seam's Linux binding: where port accesses
// go, how stalls pass, where console output goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
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

// Whatever carries whole requests to the BMC on the host: the kernel's IPMI
// device. Transfer is TransferMessage of the platform seam.
class MessageDriver {
 public:
  virtual ~MessageDriver() = default;
  virtual bool Transfer(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, std::span<uint8_t> response,
                        size_t* length, const char** failure) = 0;
};

// With a driver, every request goes through it (BmcPath::Messages) and the
// port driver is not used; nullptr: the KCS ports.
void SelectMessageDriver(MessageDriver* driver);

// Where OpenDataFile looks after the current directory (empty: nowhere).
void SelectDataDirectory(std::string directory);

// Every stall advances clock; with sleepForReal the process also sleeps that long.
void SelectClock(VirtualClock* clock, bool sleepForReal);

// Collects standard output in *output instead of writing it (nullptr: write).
void CaptureConsole(std::string* output);

// The IPMI KCS system interface (IPMI 2.0 section 9.15): one request written to
// the BMC and its response polled back, byte by byte, through two I/O ports.
#pragma once

#include <cstdint>

inline constexpr uint16_t kKcsDataRegister = 0xCA2;
inline constexpr uint16_t kKcsStatusRegister = 0xCA3;  // reads status, takes control codes

// Control codes (IPMI 2.0 table 9-3).
inline constexpr uint8_t kKcsWriteStart = 0x61;  // to the command register
inline constexpr uint8_t kKcsWriteEnd = 0x62;    // to the command register
inline constexpr uint8_t kKcsRead = 0x68;        // to the data register

// Interface states, status bits 7:6 (IPMI 2.0 table 9-2).
enum class KcsState : uint8_t { Idle = 0, Read = 1, Write = 2, Error = 3 };

// The last status register read.
struct KcsStatusRecord {
  KcsState state;
  bool ibf;  // input buffer full: the BMC has not taken the last byte yet
  bool obf;  // output buffer full: a byte is waiting in the data register
};

inline constexpr unsigned kKcsReceiveBufferSize = 200;

extern KcsStatusRecord KcsStatus;

// Polls until IBF is clear: 0 when clear, 1 after the time-out (message printed).
int KcsWaitIbfClear();

void KcsWriteData(uint8_t value);

// Carries one request (NetFn/LUN, command, data; length >= 2) and returns its
// response without NetFn/LUN and command in out, its count in *outCount (at most
// kKcsReceiveBufferSize - 2). 0 on success, 1 on failure (one "Error: " line
// printed). A response that does not carry at least a completion code is a
// failure, and so is one longer than the receive buffer.
int KcsTransfer(const uint8_t* request, uint8_t length, uint8_t* out, uint8_t* outCount);

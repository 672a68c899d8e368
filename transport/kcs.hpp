// The IPMI KCS system interface (IPMI 2.0 section 9.15): one request written to
// the BMC and its response polled back, byte by byte, through two I/O ports.
#pragma once

#include <cstdint>
#include <span>

#include "transport/transport_failure.hpp"

inline constexpr uint16_t kKcsDataRegister = 0xCA2;
inline constexpr uint16_t kKcsStatusRegister = 0xCA3;  // reads status, takes control codes

// Control codes (IPMI 2.0 table 9-3).
inline constexpr uint8_t kKcsWriteStart = 0x61;  // to the command register
inline constexpr uint8_t kKcsWriteEnd = 0x62;    // to the command register
inline constexpr uint8_t kKcsRead = 0x68;        // to the data register

// Interface states, status bits 7:6 (IPMI 2.0 table 9-2).
enum class KcsState : uint8_t { Idle = 0, Read = 1, Write = 2, Error = 3 };

// NetFn/LUN, command, completion code and up to 197 data bytes.
inline constexpr unsigned kKcsReceiveBufferSize = 200;

// Carries one request (NetFn/LUN, command, data; at least two bytes) and
// returns its response without NetFn/LUN and command: the completion code
// first, then the data, in out (room for kKcsReceiveBufferSize - 2 bytes), and
// their count in *outCount. TransportFailure::None on success; otherwise why
// the transfer failed (nothing printed), and out and *outCount are not to be
// used. A response without a completion code is a failure, and so is one
// longer than the receive buffer.
TransportFailure KcsTransfer(std::span<const uint8_t> request, uint8_t* out, uint8_t* outCount);

// Why a request brought back no response. Each failure has one line, beginning
// "Error: ", printed by PrintTransportFailure before the request reports
// kCcTransferFailed to its caller.
#pragma once

#include <cstdint>

enum class TransportFailure : uint8_t {
  None,
  NoPortAccess,      // the platform offers no way to the KCS ports (its binding says why)
  IbfTimeout,        // the BMC did not take a byte (or a control code) in time
  ErrorState,        // the interface went to its ERROR state
  NotWriteState,     // the interface left WRITE state during the write phase
  NotReadState,      // the interface went to WRITE state during the read phase
  ReadTimeout,       // no response byte in time, or nothing but leading 00h bytes
  NoCompletionCode,  // the response ended before its completion code
  FrameTooLong,      // the response is longer than the KCS receive buffer
  ReplyTooLong,      // the response has more data than the caller's buffer holds
  MessageFailed,     // the platform's message path brought no response (its binding says why)
};

// What PrintTransportFailure needs besides the kind.
struct TransportFault {
  TransportFailure failure;
  uint32_t dataCount = 0;        // ReplyTooLong: the data bytes the response carried
  uint32_t room = 0;             // ReplyTooLong: the data bytes the caller's buffer holds
  const char* reason = nullptr;  // MessageFailed: the binding's sentence
};

// Prints the fault's "Error: " line (the one place that prints them).
void PrintTransportFailure(const TransportFault& fault);

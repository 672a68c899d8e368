// The one way to the BMC: one IPMI request, one answer.
//
// Results by layer: a request returns the completion code (00h success;
// kCcTransferFailed after the transport printed its "Error: " line; CEh when a
// successful reply lacks a field its decoder reads) and prints nothing else;
// a command prints its result or one failure line and returns the exit status.
#pragma once

#include <cstdint>
#include <span>

#include "support/bytes.hpp"
#include "transport/ipmi_defs.hpp"

// Sends netFn (unshifted, LUN 00b) / cmd with the request data (at most
// kMaxRequestData bytes; more gives C7h without sending) and returns the
// completion code. On any completed exchange the data after the completion code
// are copied to the start of response and their count stored in
// *responseLength, whatever the completion code. Nothing is ever written past
// response: a response with more data than it holds is refused like a failed
// transfer (an "Error: " line, 03h). A failed transfer returns 03h and leaves
// response and *responseLength untouched. rsAddr names the responder (always
// the BMC, 20h) and is not carried by a KCS frame.
uint8_t IpmiRequest(uint8_t rsAddr, uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data,
                    std::span<uint8_t> response, uint32_t* responseLength);

// A response's data, with room for the most a response can carry.
struct IpmiResponse {
  uint8_t data[kMaxResponseData];
  uint32_t count;  // 0 until a response came

  std::span<const uint8_t> Data() const { return {data, count}; }
  ByteReader Reader() const { return ByteReader(Data()); }
};

// IpmiRequest to the BMC with room for any response.
uint8_t IpmiExchange(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, IpmiResponse* reply);

// IpmiRequest to the BMC for a command whose response data the caller does not
// use: only the completion code comes back.
uint8_t IpmiCommand(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data = {});

// The result of an exchange whose reply was decoded field by field with
// reader: a successful reply that ended before a field it was asked for
// gives kCcResponseTooShort, so no caller takes a byte the BMC did not send.
constexpr uint8_t DecodedResult(uint8_t cc, const ByteReader& reader) {
  return cc == kCcSuccess && reader.Short() ? kCcResponseTooShort : cc;
}

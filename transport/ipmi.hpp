// The one way to the BMC: one IPMI request over KCS, one answer.
#pragma once

#include <cstdint>
#include <span>

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

// IpmiRequest to the BMC for a command that reads the first minimumData bytes
// of the response: a successful response with fewer bytes gives
// kCcResponseTooShort instead of 00h, so no caller ever reads a byte the BMC did
// not send.
uint8_t IpmiRequestForData(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, std::span<uint8_t> response,
                           uint32_t* responseLength, uint32_t minimumData);

// IpmiRequest to the BMC for a command whose response data the caller does not
// use: only the completion code comes back.
uint8_t IpmiCommand(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data = {});

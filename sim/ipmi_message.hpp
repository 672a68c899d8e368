// IPMI messages as the simulated BMC sees them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One request as received: network function (unshifted), LUN, command, data.
struct IpmiMessage {
  uint8_t netFn = 0;
  uint8_t lun = 0;
  uint8_t cmd = 0;
  std::vector<uint8_t> data;

  // Splits a KCS request frame (NetFn/LUN, command, data...); false when shorter
  // than two bytes.
  static bool FromFrame(std::span<const uint8_t> frame, IpmiMessage* message);
};

// One answer: completion code and the data after it.
struct IpmiReply {
  uint8_t completionCode = 0;
  std::vector<uint8_t> data;
};

// The response frame for a request: (NetFn + 1)/LUN, command, completion code, data.
std::vector<uint8_t> ResponseFrame(const IpmiMessage& request, const IpmiReply& reply);

// "NN CC DD DD ..." in upper-case hexadecimal: network function (unshifted),
// command and data. The form tests use to name the requests a BMC received.
std::string RequestText(const IpmiMessage& message);

// Bytes from text such as "20 81 0a ff": hexadecimal pairs separated by blanks.
// false on anything else.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* bytes);
std::string HexBytesText(std::span<const uint8_t> bytes);

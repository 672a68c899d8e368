#include "transport/raw_request.hpp"

#include "support/chars.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

constexpr int kArgumentsBeforeData = 4;  // program, "-raw", NetFn, command

}  // namespace

uint8_t ReadHexOperand(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  bool zeroSkipped = false;
  while (*text == '0') {
    ++text;
    zeroSkipped = true;
  }
  if (*text == 'x' || *text == 'X') {
    if (!zeroSkipped) return 0;
    ++text;
  }
  unsigned value = 0;
  for (int digit = HexDigitValue(*text); digit >= 0; digit = HexDigitValue(*++text)) {
    value = ((value << 4) | static_cast<unsigned>(digit)) & 0xFFu;
  }
  return static_cast<uint8_t>(value);
}

int RawRequest(int argc, char* operands[]) {
  const size_t dataCount = static_cast<size_t>(argc - kArgumentsBeforeData);
  if (dataCount > kMaxRequestData) {
    Printf("Too many data bytes: one request carries at most %zu.\n", kMaxRequestData);
    return kStatusInvalidOperand;
  }
  const uint8_t netFn = ReadHexOperand(operands[0]);
  const uint8_t cmd = ReadHexOperand(operands[1]);
  uint8_t data[kMaxRequestData];
  for (size_t i = 0; i < dataCount; ++i) data[i] = ReadHexOperand(operands[2 + i]);

  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t cc = IpmiRequest(kBmcSlaveAddress, netFn, cmd, std::span(data, dataCount), response, &count);
  if (cc != kCcSuccess) {
    Printf("IPMI command not completed normally, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  for (uint32_t i = 0; i < count; ++i) Printf("%02X ", response[i]);
  Printf("\n");
  return kStatusSuccess;
}

#include "transport/raw_request.hpp"

#include "support/chars.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi.hpp"

namespace {

constexpr size_t kOperandsBeforeData = 2;  // NetFn, command

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

int RawRequest(std::span<char* const> operands) {
  if (operands.size() < kOperandsBeforeData) return kStatusUsage;
  const size_t dataCount = operands.size() - kOperandsBeforeData;
  if (dataCount > kMaxRequestData) {
    Printf("Too many data bytes: one request carries at most %zu.\n", kMaxRequestData);
    return kStatusInvalidOperand;
  }
  const uint8_t netFn = ReadHexOperand(operands[0]);
  const uint8_t cmd = ReadHexOperand(operands[1]);
  uint8_t data[kMaxRequestData];
  for (size_t i = 0; i < dataCount; ++i) data[i] = ReadHexOperand(operands[kOperandsBeforeData + i]);

  IpmiResponse response;
  const uint8_t cc = IpmiExchange(netFn, cmd, std::span(data, dataCount), &response);
  if (cc != kCcSuccess) return ReportFailure("IPMI command not completed normally", cc);
  for (uint8_t byte : response.Data()) Printf("%02X ", byte);
  Printf("\n");
  return kStatusSuccess;
}

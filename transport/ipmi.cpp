#include "transport/ipmi.hpp"

#include "platform/platform.hpp"
#include "support/format.hpp"
#include "support/text.hpp"
#include "transport/ipmi_defs.hpp"
#include "transport/kcs.hpp"

namespace {
constexpr unsigned kFrameHeaderBytes = 2;  // NetFn/LUN, command
}

uint8_t IpmiRequest(uint8_t rsAddr, uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data,
                    std::span<uint8_t> response, uint32_t* responseLength) {
  (void)rsAddr;
  if (data.size() > kMaxRequestData) return kCcRequestDataLengthInvalid;

  // The firmware's protocol instances may change between requests (a driver
  // reconnected, a root bridge rebound), so the binding is looked up every time.
  if (!BindPortAccess()) {
    Printf("Error: No PCI Root Bridge I/O protocol found.\n");
    return kCcTransferFailed;
  }

  uint8_t frame[kFrameHeaderBytes + kMaxRequestData];
  frame[0] = static_cast<uint8_t>(netFn << 2);  // LUN 00b
  frame[1] = cmd;
  CopyBytes(frame + kFrameHeaderBytes, data.data(), data.size());

  uint8_t received[kKcsReceiveBufferSize];
  uint8_t receivedCount = 0;
  if (KcsTransfer(frame, static_cast<uint8_t>(data.size() + kFrameHeaderBytes), received, &receivedCount) != 0) {
    return kCcTransferFailed;
  }
  // KcsTransfer succeeds only with a completion code, so receivedCount >= 1.
  const uint32_t dataCount = receivedCount - 1u;
  if (dataCount > response.size()) {
    Printf("Error: IPMI response longer than expected (%u data bytes, room for %u).\n", dataCount,
           static_cast<unsigned>(response.size()));
    return kCcTransferFailed;
  }
  *responseLength = dataCount;
  CopyBytes(response.data(), received + 1, dataCount);
  return received[0];
}

uint8_t IpmiRequestForData(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, std::span<uint8_t> response,
                           uint32_t* responseLength, uint32_t minimumData) {
  const uint8_t cc = IpmiRequest(kBmcSlaveAddress, netFn, cmd, data, response, responseLength);
  if (cc == kCcSuccess && *responseLength < minimumData) return kCcResponseTooShort;
  return cc;
}

uint8_t IpmiCommand(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data) {
  uint8_t ignored[kKcsMaxResponseData];
  uint32_t count = 0;
  return IpmiRequest(kBmcSlaveAddress, netFn, cmd, data, ignored, &count);
}

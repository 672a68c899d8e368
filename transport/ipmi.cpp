#include "transport/ipmi.hpp"

#include "platform/platform.hpp"
#include "support/format.hpp"
#include "support/text.hpp"
#include "transport/ipmi_defs.hpp"
#include "transport/kcs.hpp"

namespace {
constexpr unsigned kFrameHeaderBytes = 2;  // NetFn/LUN, command
}

uint8_t IpmiRequest(uint8_t rsAddr, uint8_t netFn, uint8_t cmd, const uint8_t* data, int dataLen,
                    uint8_t* respData, uint32_t* respLen) {
  (void)rsAddr;
  if (dataLen < 0 || dataLen > kMaxRequestData) return kCcRequestDataLengthInvalid;

  // The firmware's protocol instances may change between requests (a driver
  // reconnected, a root bridge rebound), so the binding is looked up every time.
  if (!BindPortAccess()) {
    Printf("Error: No PCI Root Bridge I/O protocol found.\n");
    return kCcTransferFailed;
  }

  uint8_t frame[kFrameHeaderBytes + kMaxRequestData];
  frame[0] = static_cast<uint8_t>(netFn << 2);  // LUN 00b
  frame[1] = cmd;
  if (dataLen > 0) CopyBytes(frame + kFrameHeaderBytes, data, static_cast<size_t>(dataLen));

  uint8_t response[kKcsReceiveBufferSize];
  uint8_t responseCount = 0;
  if (KcsTransfer(frame, static_cast<uint8_t>(dataLen + kFrameHeaderBytes), response, &responseCount) != 0) {
    return kCcTransferFailed;
  }
  // KcsTransfer succeeds only with a completion code, so responseCount >= 1.
  const uint32_t dataCount = responseCount - 1u;
  *respLen = dataCount;
  CopyBytes(respData, response + 1, dataCount);
  return response[0];
}

uint8_t IpmiRequestForData(uint8_t netFn, uint8_t cmd, const uint8_t* data, int dataLen, uint8_t* respData,
                           uint32_t* respLen, uint32_t minimumData) {
  const uint8_t cc = IpmiRequest(kBmcSlaveAddress, netFn, cmd, data, dataLen, respData, respLen);
  if (cc == kCcSuccess && *respLen < minimumData) return kCcResponseTooShort;
  return cc;
}

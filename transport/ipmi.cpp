#include "transport/ipmi.hpp"

#include "platform/platform.hpp"
#include "support/format.hpp"
#include "support/text.hpp"
#include "transport/kcs.hpp"
#include "transport/transport_failure.hpp"

namespace {

constexpr unsigned kFrameHeaderBytes = 2;  // NetFn/LUN, command
constexpr unsigned kNetFnShift = 2;        // the LUN in bits 1:0 (00b)

// The "Error: " lines of the failures that carry nothing but their kind.
struct FailureText {
  TransportFailure failure;
  const char* text;
};
constexpr FailureText kFailureTexts[] = {
    {TransportFailure::IbfTimeout, "It is timeout for IBF clear."},
    {TransportFailure::ErrorState, "KCS is under error state."},
    {TransportFailure::NotWriteState, "KCS is not under write state."},
    {TransportFailure::NotReadState, "KCS is not under read state."},
    {TransportFailure::ReadTimeout, "time out."},
    {TransportFailure::NoCompletionCode, "KCS response without completion code."},
};

uint8_t Failed(const TransportFault& fault) {
  PrintTransportFailure(fault);
  return kCcTransferFailed;
}

}  // namespace

void PrintTransportFailure(const TransportFault& fault) {
  switch (fault.failure) {
    case TransportFailure::None:
      return;
    case TransportFailure::NoPortAccess:
      Printf("Error: %s\n", PortAccessUnavailableText());
      return;
    case TransportFailure::MessageFailed:
      Printf("Error: %s\n", fault.reason);
      return;
    case TransportFailure::FrameTooLong:
      Printf("Error: KCS response is longer than %u bytes.\n", kKcsReceiveBufferSize);
      return;
    case TransportFailure::ReplyTooLong:
      Printf("Error: IPMI response longer than expected (%u data bytes, room for %u).\n", fault.dataCount, fault.room);
      return;
    default:
      break;
  }
  for (const FailureText& entry : kFailureTexts) {
    if (entry.failure == fault.failure) Printf("Error: %s\n", entry.text);
  }
}

uint8_t IpmiRequest(uint8_t rsAddr, uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data,
                    std::span<uint8_t> response, uint32_t* responseLength) {
  (void)rsAddr;
  if (data.size() > kMaxRequestData) return kCcRequestDataLengthInvalid;

  // The completion code, then the data.
  uint8_t received[kKcsReceiveBufferSize];
  size_t receivedCount = 0;
  if (BmcRequestPath() == BmcPath::Messages) {
    const char* reason = "";
    if (!TransferMessage(netFn, cmd, data, received, &receivedCount, &reason)) {
      return Failed({.failure = TransportFailure::MessageFailed, .reason = reason});
    }
  } else {
    // The firmware's protocol instances may change between requests (a driver
    // reconnected, a root bridge rebound), so the binding is looked up every time.
    if (!BindPortAccess()) return Failed({.failure = TransportFailure::NoPortAccess});
    uint8_t frame[kFrameHeaderBytes + kMaxRequestData];
    frame[0] = static_cast<uint8_t>(netFn << kNetFnShift);
    frame[1] = cmd;
    CopyBytes(frame + kFrameHeaderBytes, data.data(), data.size());
    uint8_t count = 0;
    const TransportFailure failure = KcsTransfer(std::span(frame, data.size() + kFrameHeaderBytes), received, &count);
    if (failure != TransportFailure::None) return Failed({.failure = failure});
    receivedCount = count;
  }
  // Either path succeeds only with a completion code, so receivedCount >= 1.
  const auto dataCount = static_cast<uint32_t>(receivedCount - 1);
  if (dataCount > response.size()) {
    return Failed({TransportFailure::ReplyTooLong, dataCount, static_cast<uint32_t>(response.size())});
  }
  *responseLength = dataCount;
  CopyBytes(response.data(), received + 1, dataCount);
  return received[0];
}

uint8_t IpmiExchange(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data, IpmiResponse* reply) {
  reply->count = 0;
  return IpmiRequest(kBmcSlaveAddress, netFn, cmd, data, reply->data, &reply->count);
}

uint8_t IpmiCommand(uint8_t netFn, uint8_t cmd, std::span<const uint8_t> data) {
  IpmiResponse ignored;
  return IpmiExchange(netFn, cmd, data, &ignored);
}

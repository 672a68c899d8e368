#include "transport/kcs.hpp"

#include "platform/platform.hpp"
#include "support/format.hpp"
#include "support/text.hpp"

KcsStatusRecord KcsStatus;

namespace {

// Polling budget (IPMI 2.0 section 9.15 leaves the timing to the system software).
constexpr unsigned kIbfPolls = 50;
constexpr uint32_t kIbfPollStallUs = 10;
constexpr uint32_t kLeadingZeroStallUs = 1000;  // a BMC still preparing its first byte
constexpr uint32_t kReadPollStallUs = 5000;
constexpr uint8_t kFirstByteCountdown = 100;    // 0.5 s for the BMC to start answering
constexpr uint8_t kNextByteCountdown = 10;      // 50 ms between response bytes
// Leading 00h bytes are dropped without touching the countdown, but not for ever:
// together their stalls may last as long as the wait for the first byte (0.5 s).
constexpr unsigned kLeadingZeroLimit = kFirstByteCountdown * kReadPollStallUs / kLeadingZeroStallUs;

// NetFn/LUN, command and completion code lead every response.
constexpr uint8_t kResponseHeaderBytes = 2;

uint8_t ReceiveBuffer[kKcsReceiveBufferSize];

void ReadStatus() {
  const uint8_t status = PortRead8(kKcsStatusRegister);
  KcsStatus.state = static_cast<KcsState>(status >> 6);
  KcsStatus.ibf = (status & 0x02) != 0;
  KcsStatus.obf = (status & 0x01) != 0;
}

// The state every step of the write phase must leave the interface in.
int CheckWriteState() {
  if (KcsStatus.state == KcsState::Error) {
    Printf("Error: KCS is under error state.\n");
    return 1;
  }
  if (KcsStatus.state != KcsState::Write) {
    Printf("Error: KCS is not under write state.\n");
    return 1;
  }
  return 0;
}

int WaitIbfInWriteState() { return (KcsWaitIbfClear() != 0 || CheckWriteState() != 0) ? 1 : 0; }

int WritePhase(const uint8_t* request, uint8_t length) {
  if (KcsWaitIbfClear() != 0) return 1;
  PortWrite8(kKcsStatusRegister, kKcsWriteStart);
  if (WaitIbfInWriteState() != 0) return 1;
  for (uint8_t i = 0; i + 1 < length; ++i) {
    KcsWriteData(request[i]);
    if (WaitIbfInWriteState() != 0) return 1;
  }
  PortWrite8(kKcsStatusRegister, kKcsWriteEnd);
  if (WaitIbfInWriteState() != 0) return 1;
  KcsWriteData(request[length - 1]);
  return 0;
}

// The BMC went idle: the response is complete. It must carry at least NetFn/LUN,
// command and completion code; anything shorter cannot be handed on as a response.
int FinishResponse(uint8_t received, uint8_t* out, uint8_t* outCount) {
  (void)PortRead8(kKcsDataRegister);  // the dummy byte that goes with IDLE
  if (received <= kResponseHeaderBytes) {
    Printf("Error: KCS response without completion code.\n");
    return 1;
  }
  const uint8_t count = static_cast<uint8_t>(received - kResponseHeaderBytes);
  CopyBytes(out, ReceiveBuffer + kResponseHeaderBytes, count);
  *outCount = count;
  return 0;
}

int ReadPhase(uint8_t* out, uint8_t* outCount) {
  uint8_t received = 0;
  uint8_t countdown = kFirstByteCountdown;
  unsigned droppedZeros = 0;
  if (KcsWaitIbfClear() != 0) return 1;
  for (;;) {
    switch (KcsStatus.state) {
      case KcsState::Error:
        Printf("Error: KCS is under error state.\n");
        return 1;
      case KcsState::Idle:
        return FinishResponse(received, out, outCount);
      case KcsState::Write:
        Printf("Error: KCS is not under read state.\n");
        return 1;
      case KcsState::Read:
        break;
    }
    bool dropped = false;
    if (KcsStatus.obf) {
      const uint8_t value = PortRead8(kKcsDataRegister);
      if (received == 0 && value == 0x00) {
        // Some BMCs offer a 00h before the response proper; it is not a NetFn/LUN
        // byte (that would be an odd network function), so drop it. A BMC that
        // offers nothing else must not hold the tool here for good.
        if (droppedZeros == kLeadingZeroLimit) {
          Printf("Error: time out.\n");
          return 1;
        }
        ++droppedZeros;
        StallMicroseconds(kLeadingZeroStallUs);
        dropped = true;
      } else {
        if (received == kKcsReceiveBufferSize) {
          // Never store past the buffer; a response this long is not one the tool
          // can use.
          Printf("Error: KCS response is longer than %u bytes.\n", kKcsReceiveBufferSize);
          return 1;
        }
        ReceiveBuffer[received++] = value;
        KcsWriteData(kKcsRead);
        countdown = kNextByteCountdown;
      }
    }
    if (!dropped) {
      if (countdown == 0) {
        Printf("Error: time out.\n");
        return 1;
      }
      StallMicroseconds(kReadPollStallUs);
      --countdown;
    }
    if (KcsWaitIbfClear() != 0) return 1;
  }
}

}  // namespace

int KcsWaitIbfClear() {
  for (unsigned poll = 0; poll < kIbfPolls; ++poll) {
    ReadStatus();
    if (!KcsStatus.ibf) return 0;
    StallMicroseconds(kIbfPollStallUs);
  }
  Printf("Error: It is timeout for IBF clear.\n");
  return 1;
}

void KcsWriteData(uint8_t value) { PortWrite8(kKcsDataRegister, value); }

int KcsTransfer(const uint8_t* request, uint8_t length, uint8_t* out, uint8_t* outCount) {
  FillBytes(ReceiveBuffer, 0, sizeof ReceiveBuffer);
  if (length == 0 || WritePhase(request, length) != 0) return 1;
  return ReadPhase(out, outCount);
}

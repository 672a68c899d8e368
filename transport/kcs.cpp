#include "transport/kcs.hpp"

#include "platform/platform.hpp"
#include "support/text.hpp"

namespace {

// Polling budget (IPMI 2.0 section 9.15 leaves the timing to the system software).
constexpr unsigned kIbfPolls = 50;
constexpr uint32_t kIbfPollStallUs = 10;
constexpr uint32_t kLeadingZeroStallUs = 1000;  // a BMC still preparing its first byte
constexpr uint32_t kReadPollStallUs = 5000;
constexpr uint8_t kFirstByteCountdown = 100;  // 0.5 s for the BMC to start answering
constexpr uint8_t kNextByteCountdown = 10;    // 50 ms between response bytes
// Leading 00h bytes are dropped without touching the countdown, but not for ever:
// together their stalls may last as long as the wait for the first byte (0.5 s).
constexpr unsigned kLeadingZeroLimit = kFirstByteCountdown * kReadPollStallUs / kLeadingZeroStallUs;

// Status register bits (IPMI 2.0 table 9-1).
constexpr unsigned kStateShift = 6;
constexpr uint8_t kInputBufferFull = 0x02;   // IBF: the BMC has not taken the last byte yet
constexpr uint8_t kOutputBufferFull = 0x01;  // OBF: a byte is waiting in the data register

// NetFn/LUN and command lead every response, before its completion code.
constexpr uint8_t kResponseHeaderBytes = 2;

// One transfer: the last status read and the response bytes taken so far.
class Transfer {
 public:
  TransportFailure Write(std::span<const uint8_t> request);
  TransportFailure Read(uint8_t* out, uint8_t* outCount);

 private:
  void ReadStatus() {
    const uint8_t status = PortRead8(kKcsStatusRegister);
    state_ = static_cast<KcsState>(status >> kStateShift);
    ibf_ = (status & kInputBufferFull) != 0;
    obf_ = (status & kOutputBufferFull) != 0;
  }
  TransportFailure WaitIbfClear();
  // Every step of the write phase must leave the interface in WRITE state.
  TransportFailure WaitIbfInWriteState();
  TransportFailure Finish(uint8_t* out, uint8_t* outCount);

  KcsState state_ = KcsState::Idle;
  bool ibf_ = false;
  bool obf_ = false;
  uint8_t received_[kKcsReceiveBufferSize] = {};
  uint8_t count_ = 0;
};

TransportFailure Transfer::WaitIbfClear() {
  for (unsigned poll = 0; poll < kIbfPolls; ++poll) {
    ReadStatus();
    if (!ibf_) return TransportFailure::None;
    StallMicroseconds(kIbfPollStallUs);
  }
  return TransportFailure::IbfTimeout;
}

TransportFailure Transfer::WaitIbfInWriteState() {
  if (const TransportFailure failure = WaitIbfClear(); failure != TransportFailure::None) return failure;
  if (state_ == KcsState::Error) return TransportFailure::ErrorState;
  if (state_ != KcsState::Write) return TransportFailure::NotWriteState;
  return TransportFailure::None;
}

// WRITE_START, every byte but the last, WRITE_END, the last byte.
TransportFailure Transfer::Write(std::span<const uint8_t> request) {
  TransportFailure failure = WaitIbfClear();
  if (failure != TransportFailure::None) return failure;
  PortWrite8(kKcsStatusRegister, kKcsWriteStart);
  if ((failure = WaitIbfInWriteState()) != TransportFailure::None) return failure;
  for (size_t i = 0; i + 1 < request.size(); ++i) {
    PortWrite8(kKcsDataRegister, request[i]);
    if ((failure = WaitIbfInWriteState()) != TransportFailure::None) return failure;
  }
  PortWrite8(kKcsStatusRegister, kKcsWriteEnd);
  if ((failure = WaitIbfInWriteState()) != TransportFailure::None) return failure;
  PortWrite8(kKcsDataRegister, request.back());
  return TransportFailure::None;
}

// The BMC went idle: the response is complete. It must carry at least NetFn/LUN,
// command and completion code; anything shorter cannot be handed on as a response.
TransportFailure Transfer::Finish(uint8_t* out, uint8_t* outCount) {
  (void)PortRead8(kKcsDataRegister);  // the dummy byte that goes with IDLE
  if (count_ <= kResponseHeaderBytes) return TransportFailure::NoCompletionCode;
  const auto length = static_cast<uint8_t>(count_ - kResponseHeaderBytes);
  CopyBytes(out, received_ + kResponseHeaderBytes, length);
  *outCount = length;
  return TransportFailure::None;
}

TransportFailure Transfer::Read(uint8_t* out, uint8_t* outCount) {
  uint8_t countdown = kFirstByteCountdown;
  unsigned droppedZeros = 0;
  TransportFailure failure = WaitIbfClear();
  if (failure != TransportFailure::None) return failure;
  for (;;) {
    switch (state_) {
      case KcsState::Error:
        return TransportFailure::ErrorState;
      case KcsState::Idle:
        return Finish(out, outCount);
      case KcsState::Write:
        return TransportFailure::NotReadState;
      case KcsState::Read:
        break;
    }
    bool dropped = false;
    if (obf_) {
      const uint8_t value = PortRead8(kKcsDataRegister);
      if (count_ == 0 && value == 0x00) {
        // Some BMCs offer a 00h before the response proper; it is not a NetFn/LUN
        // byte (that would be an odd network function), so drop it. A BMC that
        // offers nothing else must not hold the tool here for good.
        if (droppedZeros == kLeadingZeroLimit) return TransportFailure::ReadTimeout;
        ++droppedZeros;
        StallMicroseconds(kLeadingZeroStallUs);
        dropped = true;
      } else {
        // Never stored past the buffer; a response this long is not one the tool
        // can use.
        if (count_ == kKcsReceiveBufferSize) return TransportFailure::FrameTooLong;
        received_[count_++] = value;
        PortWrite8(kKcsDataRegister, kKcsRead);
        countdown = kNextByteCountdown;
      }
    }
    if (!dropped) {
      if (countdown == 0) return TransportFailure::ReadTimeout;
      StallMicroseconds(kReadPollStallUs);
      --countdown;
    }
    if ((failure = WaitIbfClear()) != TransportFailure::None) return failure;
  }
}

}  // namespace

TransportFailure KcsTransfer(std::span<const uint8_t> request, uint8_t* out, uint8_t* outCount) {
  if (request.empty()) return TransportFailure::NoCompletionCode;
  Transfer transfer;
  const TransportFailure failure = transfer.Write(request);
  if (failure != TransportFailure::None) return failure;
  return transfer.Read(out, outCount);
}

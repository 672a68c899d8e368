#include "sim/kcs_device.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr uint8_t kWriteStart = 0x61;
constexpr uint8_t kWriteEnd = 0x62;
constexpr uint8_t kRead = 0x68;

// The byte a BMC leaves in the output register when it goes idle (IPMI 2.0
// section 9.15: the host reads it to clear OBF).
constexpr uint8_t kIdleDummyByte = 0x00;

std::string TraceLine(char direction, uint16_t port, uint8_t value) {
  char line[16];
  std::snprintf(line, sizeof line, "%c %03X %02X", direction, port, value);
  return line;
}

}  // namespace

KcsDevice::KcsDevice(Responder responder, KcsFaults faults, Running running)
    : responder_(std::move(responder)), running_(std::move(running)), faults_(std::move(faults)) {}

bool KcsDevice::FaultActive() const { return faults_.onTransfer == 0 || faults_.onTransfer == counters_.transfers; }

void KcsDevice::ReachPhase(KcsPhase phase) {
  if (FaultActive() && faults_.forceStateAt == phase) stateForced_ = true;
}

void KcsDevice::HoldIbf(unsigned reads) { ibfReads_ = reads; }

uint8_t KcsDevice::Read(uint16_t port) {
  if (port == kKcsStatusPort) {
    ++counters_.statusReads;
    if (phase_ == Phase::Unanswered && running_ && running_()) {
      // The BMC came back from its restart: its KCS interface starts IDLE with
      // IBF and OBF clear (the request it never took is gone).
      state_ = State::Idle;
      phase_ = Phase::Idle;
      obf_ = false;
      ibfReads_ = 0;
      lateReads_ = 0;
    }
    const bool ibf = ibfReads_ > 0;
    if (ibf) {
      --ibfReads_;
      counters_.longestIbfRun = std::max(counters_.longestIbfRun, ++ibfRun_);
    } else {
      ibfRun_ = 0;
    }
    const uint8_t state = stateForced_ ? static_cast<uint8_t>(faults_.forcedState) : static_cast<uint8_t>(state_);
    const auto status = static_cast<uint8_t>((state << 6) | (ibf ? 0x02 : 0) | (obf_ ? 0x01 : 0));
    // A late byte shows from the read after the last late one.
    if (lateReads_ > 0 && --lateReads_ == 0) OfferNextByte();
    return status;
  }
  if (port != kKcsDataPort) return 0xFF;  // nothing decodes other ports
  const uint8_t value = dataOut_;
  if (recordTrace_) trace_.push_back(TraceLine('R', port, value));
  const bool wasLeadingZero = obf_ && phase_ == Phase::Responding && zerosLeft_ > 0;
  obf_ = false;
  if (wasLeadingZero) {
    // A leading 00h is not acknowledged with READ: the BMC moves on by itself.
    --zerosLeft_;
    OfferNextByte();
  }
  return value;
}

void KcsDevice::Write(uint16_t port, uint8_t value) {
  if (recordTrace_) trace_.push_back(TraceLine('W', port, value));
  HoldIbf(FaultActive() ? faults_.ibfHoldReads : 0);
  if (port == kKcsStatusPort) {
    if (value == kWriteStart) {
      ++counters_.transfers;
      HoldIbf(FaultActive() ? faults_.ibfHoldReads : 0);  // the transfer count just changed
      request_.clear();
      obf_ = false;
      lateByte_.reset();
      lateReads_ = 0;
      stateForced_ = false;
      phase_ = Phase::Writing;
      state_ = State::Write;
      ReachPhase(KcsPhase::WriteStart);
    } else if (value == kWriteEnd && phase_ == Phase::Writing && state_ == State::Write) {
      phase_ = Phase::LastByte;
      ReachPhase(KcsPhase::WriteEnd);
    } else {
      state_ = State::Error;  // a control code out of sequence
    }
    return;
  }
  if (port != kKcsDataPort) return;
  switch (phase_) {
    case Phase::Writing:
      request_.push_back(value);
      ReachPhase(KcsPhase::DataByte);
      break;
    case Phase::LastByte:
      request_.push_back(value);
      StartResponse();
      break;
    case Phase::Responding:
      if (value == kRead) {
        OfferNextByte();
      } else {
        state_ = State::Error;
      }
      break;
    case Phase::Idle:
    case Phase::Done:
    case Phase::Unanswered:
      state_ = State::Error;
      break;
  }
}

void KcsDevice::StartResponse() {
  const bool faulty = FaultActive();
  std::optional<std::vector<uint8_t>> answer = responder_(request_);
  if (faulty && faults_.responseFrame) answer = faults_.responseFrame;
  if (!answer) {
    // A BMC that does not answer (it is restarting) never takes the last byte:
    // the host sees IBF stay set and times out.
    state_ = State::Write;
    HoldIbf(~0u);
    phase_ = Phase::Unanswered;
    return;
  }
  response_ = std::move(*answer);
  responseNext_ = 0;
  zerosLeft_ = faulty ? faults_.leadingZeroBytes : 0;
  lateByte_.reset();
  if (faulty && faults_.obfLateReads > 0) lateByte_ = faults_.obfLateAfterByte;
  phase_ = Phase::Responding;
  state_ = State::Read;
  if (faulty) {
    // While the BMC works on the request, IBF stays set in WRITE state.
    if (faults_.responseDelayReads > 0) HoldIbf(faults_.responseDelayReads);
    ReachPhase(KcsPhase::ReadPhase);
    if (faults_.obfNeverSet) return;
    if (faults_.idleWithoutResponse) {
      response_.clear();
    }
  }
  OfferNextByte();
}

void KcsDevice::OfferNextByte() {
  if (zerosLeft_ == 0 && lateByte_ == responseNext_) {
    // The BMC takes its time over this byte (or over going idle): READ state with
    // OBF clear until the status register has been read obfLateReads times.
    lateByte_.reset();
    lateReads_ = faults_.obfLateReads;
    obf_ = false;
    return;
  }
  if (zerosLeft_ > 0) {
    dataOut_ = 0x00;
  } else if (responseNext_ < response_.size()) {
    dataOut_ = response_[responseNext_++];
  } else {
    state_ = State::Idle;
    phase_ = Phase::Done;
    dataOut_ = kIdleDummyByte;
  }
  obf_ = true;
}

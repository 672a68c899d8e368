#include "sim/server/vm_codec.hpp"

namespace vmcodec {

uint8_t Checksum(std::span<const uint8_t> bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return static_cast<uint8_t>(-sum);
}

void AppendEscaped(std::span<const uint8_t> bytes, std::vector<uint8_t>* out) {
  for (uint8_t b : bytes) {
    if (b == kMessageEnd || b == kControlEnd || b == kEscape) {
      out->push_back(kEscape);
      out->push_back(static_cast<uint8_t>(b | kEscapeBit));
    } else {
      out->push_back(b);
    }
  }
}

std::vector<uint8_t> EncodeMessage(uint8_t seq, std::span<const uint8_t> payload) {
  std::vector<uint8_t> plain;
  plain.reserve(payload.size() + 2);
  plain.push_back(seq);
  plain.insert(plain.end(), payload.begin(), payload.end());
  plain.push_back(Checksum(plain));
  std::vector<uint8_t> wire;
  wire.reserve(plain.size() * 2 + 1);
  AppendEscaped(plain, &wire);
  wire.push_back(kMessageEnd);
  return wire;
}

std::vector<uint8_t> EncodeControl(std::span<const uint8_t> bytes) {
  std::vector<uint8_t> wire;
  wire.reserve(bytes.size() * 2 + 1);
  AppendEscaped(bytes, &wire);
  wire.push_back(kControlEnd);
  return wire;
}

void Decoder::Feed(std::span<const uint8_t> bytes, std::vector<Frame>* frames) {
  for (uint8_t b : bytes) {
    if (b == kMessageEnd || b == kControlEnd) {
      // An end marker straight after AAh means the escape was never completed:
      // the frame is corrupt, and QEMU drops such frames too.
      bool usable = !overflow_ && !inEscape_;
      if (usable) {
        Frame frame;
        frame.kind = (b == kMessageEnd) ? Frame::Kind::Message : Frame::Kind::Control;
        frame.bytes.swap(pending_);
        frames->push_back(std::move(frame));
      } else {
        ++dropped_;
      }
      pending_.clear();
      inEscape_ = false;
      overflow_ = false;
      continue;
    }
    if (b == kEscape) {
      inEscape_ = true;
      continue;
    }
    uint8_t value = inEscape_ ? static_cast<uint8_t>(b & ~kEscapeBit) : b;
    inEscape_ = false;
    if (pending_.size() >= kMaxFrameBytes) {
      overflow_ = true;
      continue;
    }
    pending_.push_back(value);
  }
}

RequestError ParseRequest(std::span<const uint8_t> frame, Request* request) {
  if (frame.size() < kMinRequestBytes) return RequestError::TooShort;
  if (Checksum(frame) != 0) return RequestError::BadChecksum;
  request->seq = frame[0];
  request->kcsFrame.assign(frame.begin() + 1, frame.end() - 1);
  return RequestError::None;
}

}  // namespace vmcodec

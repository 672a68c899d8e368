// QEMU's external-BMC wire format (the "VM" codec): how IPMI messages and control
// commands travel between QEMU's ipmi-bmc-extern device and a BMC over TCP.
//
// There is no start byte: A0h ends an IPMI message, A1h ends a control command.
// Inside a frame, A0h, A1h and AAh are sent as AAh followed by the byte with bit 4
// set, so an end marker can never appear in the middle of a frame. An IPMI message
// carries QEMU's sequence number first and a checksum last (the two's complement
// of the sum of every byte before it, so a whole frame sums to zero).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vmcodec {

inline constexpr uint8_t kMessageEnd = 0xA0;
inline constexpr uint8_t kControlEnd = 0xA1;
inline constexpr uint8_t kEscape = 0xAA;
inline constexpr uint8_t kEscapeBit = 0x10;

// Control command codes (first byte of a control frame).
inline constexpr uint8_t kCtlNoAttention = 0x00;
inline constexpr uint8_t kCtlAttention = 0x01;
inline constexpr uint8_t kCtlAttentionIrq = 0x02;
inline constexpr uint8_t kCtlPowerOff = 0x03;
inline constexpr uint8_t kCtlReset = 0x04;
inline constexpr uint8_t kCtlEnableIrq = 0x05;
inline constexpr uint8_t kCtlDisableIrq = 0x06;
inline constexpr uint8_t kCtlSendNmi = 0x07;
inline constexpr uint8_t kCtlCapabilities = 0x08;
inline constexpr uint8_t kCtlGracefulShutdown = 0x09;
inline constexpr uint8_t kCtlVersion = 0xFF;
inline constexpr uint8_t kProtocolVersion = 1;

// QEMU refuses a frame shorter than seq, NetFn/LUN, command, completion code and
// checksum; a request needs at least seq, NetFn/LUN, command and checksum.
inline constexpr size_t kMinRequestBytes = 4;
// Longest frame accepted from the peer (QEMU's own buffers are about 300 bytes);
// anything longer is dropped whole rather than cut, so no partial IPMI request
// ever reaches the BMC.
inline constexpr size_t kMaxFrameBytes = 1024;

// The sum-to-zero checksum over the bytes given.
uint8_t Checksum(std::span<const uint8_t> bytes);

// Appends bytes to out, escaping A0h, A1h and AAh.
void AppendEscaped(std::span<const uint8_t> bytes, std::vector<uint8_t>* out);

// A whole IPMI message on the wire: seq, payload, checksum (all escaped), A0h.
std::vector<uint8_t> EncodeMessage(uint8_t seq, std::span<const uint8_t> payload);
// A whole control command on the wire: bytes (escaped), A1h.
std::vector<uint8_t> EncodeControl(std::span<const uint8_t> bytes);

struct Frame {
  enum class Kind : uint8_t { Message, Control };
  Kind kind = Kind::Message;
  std::vector<uint8_t> bytes;  // unescaped, end marker removed
};

// Splits the byte stream from the peer into frames. The stream may arrive cut at
// any byte (an escape pair split across two reads included).
class Decoder {
 public:
  // Appends every frame completed by these bytes to frames.
  void Feed(std::span<const uint8_t> bytes, std::vector<Frame>* frames);

  // Frames thrown away: too long, or an end marker right after AAh.
  unsigned DroppedFrames() const { return dropped_; }

 private:
  std::vector<uint8_t> pending_;
  bool inEscape_ = false;
  bool overflow_ = false;
  unsigned dropped_ = 0;
};

// An IPMI request frame from QEMU, checked: seq and the KCS frame
// (NetFn/LUN, command, data...) between seq and checksum.
struct Request {
  uint8_t seq = 0;
  std::vector<uint8_t> kcsFrame;
};

enum class RequestError : uint8_t { None, TooShort, BadChecksum };

// Checks length and checksum of an unescaped message frame.
RequestError ParseRequest(std::span<const uint8_t> frame, Request* request);

}  // namespace vmcodec

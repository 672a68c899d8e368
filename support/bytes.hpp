// Multi-byte fields of IPMI messages and records, least significant byte first
// (IPMI 2.0 section 13.1: "LS-byte first"), read and written over spans, and a
// reader that takes a reply apart field by field without ever reading past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr unsigned kBitsPerByte = 8;
inline constexpr unsigned kByteMask = 0xFF;

// The field of `width` bytes at `offset`; bytes past the span's end read as 00h.
constexpr uint32_t LeField(std::span<const uint8_t> bytes, size_t offset, size_t width) {
  uint32_t value = 0;
  for (size_t i = width; i-- > 0;) {
    const size_t at = offset + i;
    value = value << kBitsPerByte | (at < bytes.size() ? bytes[at] : 0u);
  }
  return value;
}
constexpr uint16_t Le16(std::span<const uint8_t> bytes, size_t offset = 0) {
  return static_cast<uint16_t>(LeField(bytes, offset, 2));
}
constexpr uint32_t Le24(std::span<const uint8_t> bytes, size_t offset = 0) { return LeField(bytes, offset, 3); }
constexpr uint32_t Le32(std::span<const uint8_t> bytes, size_t offset = 0) { return LeField(bytes, offset, 4); }

// Writes the low `width` bytes of value at offset; bytes that would lie past
// the span's end are not written.
constexpr void PutLeField(std::span<uint8_t> bytes, size_t offset, size_t width, uint32_t value) {
  for (size_t i = 0; i < width; ++i, value >>= kBitsPerByte) {
    if (offset + i < bytes.size()) bytes[offset + i] = static_cast<uint8_t>(value & kByteMask);
  }
}
constexpr void PutLe16(std::span<uint8_t> bytes, size_t offset, uint16_t value) { PutLeField(bytes, offset, 2, value); }
constexpr void PutLe24(std::span<uint8_t> bytes, size_t offset, uint32_t value) { PutLeField(bytes, offset, 3, value); }

// Reads a reply's data in order. A field that reaches past the end reads its
// missing bytes as 00h and marks the reply short, so a decoder reads every
// field it knows and reports one result at the end.
class ByteReader {
 public:
  constexpr explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  constexpr uint8_t Byte() { return static_cast<uint8_t>(Take(1)); }
  constexpr uint16_t Le16() { return static_cast<uint16_t>(Take(2)); }
  constexpr uint32_t Le32() { return Take(4); }
  // out.size() bytes into out.
  constexpr void Copy(std::span<uint8_t> out) {
    for (uint8_t& byte : out) byte = Byte();
  }
  constexpr void Skip(size_t count) { position_ += count; }

  // Whether a field read so far lay (partly) past the end.
  constexpr bool Short() const { return position_ > bytes_.size(); }
  // The bytes not read yet (none once the reader is past the end).
  constexpr std::span<const uint8_t> Rest() const {
    return position_ < bytes_.size() ? bytes_.subspan(position_) : std::span<const uint8_t>{};
  }

 private:
  constexpr uint32_t Take(size_t width) {
    const uint32_t value = LeField(bytes_, position_, width);
    position_ += width;
    return value;
  }

  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

// Reading a fuzzer's input as a stream of choices: every read past the end
// gives zeros, so any input, however short, makes a complete run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return next_ >= size_; }
  size_t Remaining() const { return next_ < size_ ? size_ - next_ : 0; }

  uint8_t Byte() { return next_ < size_ ? data_[next_++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
  bool Flag() { return (Byte() & 1) != 0; }
  // A number 0..bound-1 (0 when bound is 0).
  unsigned Below(unsigned bound) { return bound == 0 ? 0 : Byte() % bound; }

  // A byte count, then that many bytes (as many as are left).
  std::vector<uint8_t> Bytes(size_t maxLength) {
    size_t length = Byte();
    if (maxLength > 255) length |= static_cast<size_t>(Byte()) << 8;
    if (length > maxLength) length = maxLength;
    if (length > Remaining()) length = Remaining();
    std::vector<uint8_t> bytes(data_ + next_, data_ + next_ + length);
    next_ += length;
    return bytes;
  }
  // The same as text; a NUL byte ends the text early, as it would in argv.
  std::string Text(size_t maxLength) {
    const std::vector<uint8_t> bytes = Bytes(maxLength);
    std::string text(bytes.begin(), bytes.end());
    return text.substr(0, text.find('\0'));
  }
  // Everything that is left.
  std::vector<uint8_t> Rest() {
    std::vector<uint8_t> bytes(data_ + (next_ < size_ ? next_ : size_), data_ + size_);
    next_ = size_;
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t next_ = 0;
};

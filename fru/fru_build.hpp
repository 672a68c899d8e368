// A whole FRU image rebuilt from the decoded fields (field write), and the
// buffer the restore loads its file into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fru/fru_model.hpp"

inline constexpr size_t kWriteImageCapacity = 8192;

struct WriteImage {
  uint8_t bytes[kWriteImageCapacity];
  int32_t length;  // WriteImageLength: the bytes that make the image

  std::span<const uint8_t> Bytes() const { return {bytes, static_cast<size_t>(length)}; }
};

// The last unit a header offset can name.
inline constexpr size_t kFruLastAreaOffset = kFruMaxUnits * kFruUnitBytes;

// Lays out, in this order, the common header, the internal use area and the
// chassis, board, product and multirecord areas whose flags are set, each
// directly after the one before, with fresh lengths, pads and checksums. Fields
// go back with their type/length bytes as read; C0h + length for a field set
// since. Under -fru1 the board carries its version field (C0h when empty).
// false when an area would start beyond kFruLastAreaOffset (what a header
// offset can say); the image is then not to be written.
bool BuildFruImage(const FruFieldSet& store, bool fru1Mode, WriteImage* image);

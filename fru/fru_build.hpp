// A whole FRU image rebuilt from FruFieldStore (field write), and the buffer the
// restore loads its file into.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kWriteImageCapacity = 8192;
extern uint8_t WriteImage[kWriteImageCapacity];
extern int32_t WriteImageLength;

// Lays out, in this order, the common header, the internal use area and the
// chassis, board, product and multirecord areas whose flags are set, each
// directly after the one before, with fresh lengths, pads and checksums. Fields
// go back with their type/length bytes as read; C0h + length for a field set
// since. false when an area would start beyond what a header offset can say
// (unit 255); WriteImage is then not to be written.
bool BuildFruImage();

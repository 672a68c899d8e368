// The FRU layout of the IPMI Platform Management FRU Information Storage
// Definition v1.0: common header, info areas, type/length bytes, multirecords.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint8_t kFruFormatVersion = 0x01;  // common header and area format version
inline constexpr size_t kFruUnitBytes = 8;          // offsets and area lengths count 8-byte units
inline constexpr size_t kFruHeaderBytes = 8;
inline constexpr size_t kFruMaxUnits = 255;  // what one offset or length byte can say

// Common header (section 8).
inline constexpr size_t kHeaderVersion = 0;
inline constexpr size_t kHeaderInternalUseOffset = 1;
inline constexpr size_t kHeaderChassisOffset = 2;
inline constexpr size_t kHeaderBoardOffset = 3;
inline constexpr size_t kHeaderProductOffset = 4;
inline constexpr size_t kHeaderMultiRecordOffset = 5;
inline constexpr size_t kHeaderChecksum = 7;

// Every info area starts with its version and its length in units (sections 10
// to 12) and ends with a zero checksum over the whole area.
inline constexpr size_t kAreaVersion = 0;
inline constexpr size_t kAreaLength = 1;
inline constexpr size_t kChassisType = 2;
inline constexpr size_t kChassisFirstField = 3;
inline constexpr size_t kBoardLanguage = 2;
inline constexpr size_t kBoardDate = 3;
inline constexpr size_t kBoardFirstField = 6;
inline constexpr size_t kProductLanguage = 2;
inline constexpr size_t kProductFirstField = 3;
inline constexpr uint8_t kFruLanguageWritten = 0x00;  // English, the default

// Type/length byte (section 13): type in bits 7:6, length in bits 5:0. Type
// 11b with length 1 (C1h) ends the fields of an area.
inline constexpr uint8_t kTypeLengthLengthMask = 0x3F;
inline constexpr uint8_t kTypeLength8BitText = 0xC0;
inline constexpr uint8_t kTypeLengthEndOfFields = 0xC1;
inline constexpr size_t kFruTextMaxLength = 63;

// Board manufacturing date/time: minutes from 1996-01-01 00:00, three bytes,
// least significant first.
inline constexpr size_t kFruDateBytes = 3;

// Multirecord header (section 16): type, flags (bit 7: last record), data
// length, record checksum, header checksum.
inline constexpr size_t kMultiRecordHeaderBytes = 5;
inline constexpr size_t kMultiRecordFlags = 1;
inline constexpr size_t kMultiRecordLength = 2;
inline constexpr uint8_t kMultiRecordEndOfList = 0x80;

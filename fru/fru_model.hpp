// The FRU as the tool holds it: the bytes a read left (FruImage), the fields
// decoded from them (FruFieldSet), and the board date as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "fru/fru_layout.hpp"

// The FRU bytes the tool holds: a FRU larger than this is read up to here only.
inline constexpr size_t kFruImageCapacity = 4096;

// The FRU as the last read left it.
struct FruImage {
  int32_t size;     // FruImageSize: the bytes the FRU holds (the reported size, doubled for word access)
  bool shortReply;  // a read brought fewer bytes than asked before the FRU's end: there are gaps
  uint8_t bytes[kFruImageCapacity];  // FRU offset i at index i

  // The bytes a read fills: size, at most the buffer.
  std::span<const uint8_t> Held() const {
    return {bytes, size <= 0                                        ? 0
                   : size < static_cast<int32_t>(kFruImageCapacity) ? static_cast<size_t>(size)
                                                                    : kFruImageCapacity};
  }
};

inline constexpr size_t kFruTextCapacity = kFruTextMaxLength + 1;
inline constexpr size_t kFruCustomCapacity = 128;
inline constexpr size_t kMultiRecordCapacity = 32;
inline constexpr size_t kMultiRecordDataCapacity = 64;
inline constexpr size_t kMultiRecordEntryBytes = kMultiRecordHeaderBytes + kMultiRecordDataCapacity;
inline constexpr uint8_t kChassisTypeUnknown = 0x02;

// One field: its bytes as read (shown as 8-bit text up to the first 00h) and
// its type/length byte, kept so that a field nobody changed goes back exactly
// as it came, whatever its type code.
struct FruTextField {
  char text[kFruTextCapacity];  // the field's bytes, then a NUL
  uint8_t typeLength;           // as read; C0h + length once set
};

// The bytes between an area's last field and its end marker, as read.
struct FruCustomBytes {
  uint8_t count;
  uint8_t bytes[kFruCustomCapacity];
};

// The areas of a FRU, in the order the common header lists them.
enum class FruArea : uint8_t { InternalUse, Chassis, Board, Product, MultiRecord };

enum ChassisField : uint8_t { kChassisPartNumber, kChassisSerialNumber, kChassisFieldCount };
enum BoardField : uint8_t {
  kBoardManufacturer,
  kBoardProductName,
  kBoardSerialNumber,
  kBoardPartNumber,
  kBoardFruFileId,
  kBoardVersion,  // -fru1: the board's first custom field
  kBoardFieldCount
};
inline constexpr size_t kBoardNamedFields = kBoardVersion;  // fields every board area has
enum ProductField : uint8_t {
  kProductManufacturer,
  kProductName,
  kProductPartModelNumber,
  kProductVersion,
  kProductSerialNumber,
  kProductAssetTag,
  kProductFruFileId,
  kProductFieldCount
};

// Why the decoded FRU does not hold the device's data whole (so writing it back
// would lose some of it).
enum class FruModelFault : uint8_t {
  None,
  FruTooLarge,          // the FRU is larger than FruImage
  ShortReply,           // a read brought fewer bytes than asked
  AreaPastEnd,          // an area or a field reaches past the FRU's end
  AreaOverlap,          // an area's fields or checksum run into the next area
  MissingEndMarker,     // no C1h between an area's fields and the next area
  CustomTooLong,        // custom fields longer than kFruCustomCapacity
  MultiRecordTooLong,   // a multirecord with more than kMultiRecordDataCapacity data bytes
  TooManyMultiRecords,  // more than kMultiRecordCapacity records
};

// The FRU decoded (FruFieldStore): what the listing shows, a field write
// changes and the rebuild lays out again.
struct FruFieldSet {
  uint8_t chassisType;
  FruTextField chassis[kChassisFieldCount];
  FruCustomBytes chassisCustom;
  uint8_t boardDate[kFruDateBytes];  // FruDateMinutes, least significant byte first
  FruTextField board[kBoardFieldCount];
  FruCustomBytes boardCustom;  // under -fru1 the custom fields after BV
  FruTextField product[kProductFieldCount];
  FruCustomBytes productCustom;
  // The internal use area whole: from its offset to the next area present, or
  // to the end of the FRU.
  uint8_t internalUseBytes[kFruImageCapacity];
  size_t internalUseLength;
  // Multirecords as read: header, then the data bytes.
  uint8_t multiRecordTable[kMultiRecordCapacity][kMultiRecordEntryBytes];
  size_t multiRecordCount;
  // The areas present; a field write also sets the flag of the area it
  // changes, and the rebuild writes exactly these areas.
  bool hasInternalUse;
  bool hasChassis;
  bool hasBoard;
  bool hasProduct;
  bool hasMultiRecord;
  // The first fault the decode met, and the area it met it in.
  FruModelFault fault;
  FruArea faultArea;
};

// Decodes the image into *store (every field reset first). Under -fru1 the
// board's first custom field is its version (BV). Never reads past the bytes
// held; what lies beyond them reads as 00h. An area is decoded up to the next
// area present (or the end of the FRU), whatever its length byte says.
void DecodeFruImage(const FruImage& image, bool fru1Mode, FruFieldSet* store);

// What is wrong, for the refusal line: "the board area has no end marker C1h".
inline constexpr size_t kFruFaultTextSize = 96;
void DescribeFruModelFault(const FruFieldSet& store, char* text, size_t size);

// The stored text field of an area (chassis, board or product) by its index.
FruTextField& TextFieldOf(FruFieldSet& store, FruArea area, uint8_t index);
const FruTextField& TextFieldOf(const FruFieldSet& store, FruArea area, uint8_t index);

// The board date as "%4d/%02d/%02d %02d:%02d:%02d": 1996-01-01 00:00 plus the
// minutes in pure calendar arithmetic (no time zone, no daylight saving).
inline constexpr size_t kFruDateTextSize = 24;
void FormatFruDate(const uint8_t date[kFruDateBytes], char* out, size_t size);

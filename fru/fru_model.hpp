// The FRU decoded into process-wide fields (FruFieldStore), the internal use
// area, the multirecord table, and the board date as text.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fru/fru_access.hpp"
#include "fru/fru_layout.hpp"

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

// The bytes between an area's last named field and its end marker, as read.
struct FruCustomBytes {
  uint8_t count;
  uint8_t bytes[kFruCustomCapacity];
};

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

struct FruFieldSet {
  uint8_t chassisType;
  FruTextField chassis[kChassisFieldCount];
  FruCustomBytes chassisCustom;
  uint8_t boardDate[kFruDateBytes];
  FruTextField board[kBoardFieldCount];
  FruCustomBytes boardCustom;  // under -fru1 the custom fields after BV
  FruTextField product[kProductFieldCount];
  FruCustomBytes productCustom;
  // The areas present; a field write also sets the flag of the area it
  // changes, and the rebuild writes exactly these areas.
  bool hasInternalUse;
  bool hasChassis;
  bool hasBoard;
  bool hasProduct;
  bool hasMultiRecord;
};
extern FruFieldSet FruFieldStore;

// The internal use area whole: from its offset to the next area present, or to
// the end of the FRU.
extern uint8_t InternalUseBytes[kFruImageCapacity];
extern size_t InternalUseLength;

// Multirecords as read: header, then the data bytes.
extern uint8_t MultiRecordTable[kMultiRecordCapacity][kMultiRecordEntryBytes];
extern size_t MultiRecordCount;

// The areas of a FRU, in the order the common header lists them.
enum class FruArea : uint8_t { InternalUse, Chassis, Board, Product, MultiRecord };

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
// The first fault the last decode met, and the area it met it in.
extern FruModelFault FruParseFault;
extern FruArea FruParseFaultArea;
// What is wrong, for the refusal line: "the board area has no end marker C1h".
inline constexpr size_t kFruFaultTextSize = 96;
void DescribeFruModelFault(char* text, size_t size);

// Decodes FruImage into FruFieldStore; with print set also prints the listing
// (and only "FRU data error!" for a header version other than 01h). Never reads
// past the FRU bytes held; what lies beyond them reads as 00h.
void ParseFruImage(bool print);

// The board date as "%4d/%02d/%02d %02d:%02d:%02d": 1996-01-01 00:00 plus the
// minutes in pure calendar arithmetic (no time zone, no daylight saving).
inline constexpr size_t kFruDateTextSize = 24;
void FormatFruDate(const uint8_t date[kFruDateBytes], char* out, size_t size);

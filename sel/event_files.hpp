// The event text data files of the decoded SEL listing: nine files of
// fixed-size records beside the program, opened by bare name in the current
// directory and searched from their start on every look-up.
#pragma once

#include <cstddef>
#include <cstdint>

// In the order they are opened.
enum class EventFile : uint8_t {
  BoardTypes,       // MBType.dat: board names by board identifier
  GenericEvents,    // GenEvt.dat: generic event texts
  SpecificEvents1,  // SpecEvt1.dat: sensor types 00h-0Eh
  SpecificEvents2,  // SpecEvt2.dat: sensor type 0Fh
  SpecificEvents3,  // SpecEvt3.dat: sensor types 10h-1Fh
  SpecificEvents4,  // SpecEvt4.dat: sensor types 20h-2Ch
  SpecificEvents5,  // SpecEvt5.dat: sensor types 2Dh-FFh except C6h
  RomleyEnDimms,    // RomEN.dat: DIMM locations of the RomleyEN family
  RomleyEpexDimms,  // RomEPEX.dat: DIMM locations of the RomleyEPEX family
};
inline constexpr size_t kEventFileCount = 9;

// EventTextRecord: key 1 (event/reading type code, or sensor type), key 2 (the
// event offset), key 3 (SpecEvt files: event data 2, FFh any), the text in bytes
// 516-1027. KeyedTextRecord: key 1, key 2, the text in bytes 2-257.
inline constexpr size_t kEventTextRecordSize = 1028;
inline constexpr size_t kEventTextField = 516;
inline constexpr size_t kKeyedTextRecordSize = 258;
inline constexpr size_t kKeyedTextField = 2;

struct PlatformFile;

// The nine files while a listing runs, and the record a look-up reads.
struct EventFiles {
  PlatformFile* open[kEventFileCount];
  uint8_t record[kEventTextRecordSize];  // the largest of the two layouts
};

// Room for a text field's text and its terminator.
inline constexpr size_t kEventTextSize = 512;  // at most 511 characters
inline constexpr size_t kKeyedTextSize = 256;  // at most 255 characters

// Opens the nine files in order. The first that cannot be opened prints its
// "Failed to open NAME.\n" line; false then (the files opened so far are
// closed), and the listing ends the run with status 1.
bool OpenEventFiles(EventFiles& files);
void CloseEventFiles(EventFiles& files);

// GenEvt.dat by event/reading type (bits 6:0 of eventDirType) and offset
// (eventData1 & 0Fh): the record's text, "unknown event" at the end marker
// (key 1 00h), the empty text when the file ends without either.
void GenericEventText(EventFiles& files, uint8_t eventDirType, uint8_t eventData1, char* text, size_t size);

// The SpecEvt file of the sensor type, by sensor type, offset and event data 2
// (a record's FFh matches any): true only when a record matched. "unknown event"
// at the end marker (key 1 FFh); sensor type C6h has a fixed text and no file.
bool SpecificEventText(EventFiles& files, uint8_t sensorType, uint8_t eventData1, uint8_t eventData2, char* text,
                       size_t size);

// MBType.dat, RomEN.dat or RomEPEX.dat by both keys; false (text untouched)
// when no record matches.
bool LookupKeyedText(EventFiles& files, EventFile file, uint8_t key1, uint8_t key2, char* text, size_t size);

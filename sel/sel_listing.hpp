// -sel list: every SEL entry decoded into two lines, its number, time and
// sensor name, then whether the event was asserted or deasserted and its text.
// Names come from the SDR repository or the sensor type; texts from the event
// text data files; memory and PCI events get a location detail.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kBoardNameSize = 256;
// The board name found in MBType.dat followed by a line feed; empty until a
// board query found one.
extern char BoardName[kBoardNameSize];
// "RomleyEN", "RomleyEPEX" or "Normal" once a board query succeeded; empty
// before.
extern char PlatformFamily[kBoardNameSize];
// Set once the SDR repository has been read for the listing's sensor names.
extern bool SelSdrLoaded;

// Room for an event text with its detail.
inline constexpr size_t kSpecificTextSize = 1024;  // at most 1023 characters
inline constexpr size_t kEventDetailSize = 512;    // at most 511 characters

// The -sel list command: GetSelInfo, ReserveSel, ReadSelEntries (each failure
// ends it with its line and status 11), then ListSel.
int ShowSelListing();

// Prints every entry read (opening and closing the event files; a missing file
// ends the run with status 1).
void ListSel();

// The location appended to a memory ECC event (sensor type 0Ch, offset 0 or 1)
// or a PCI PERR/SERR (sensor type 13h, offset 4 or 5); the empty text for any
// other event.
void EventDetailText(uint8_t sensorType, uint8_t eventData1, uint8_t eventData2, uint8_t eventData3, char* text,
                     size_t size);

// The OEM board identifier request, then the board's name from MBType.dat into
// BoardName (left empty when no record names the board). Returns the request's
// completion code.
uint8_t QueryBoardName();

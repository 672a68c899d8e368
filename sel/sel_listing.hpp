// -sel list: every SEL entry decoded into two lines, its number, time and
// sensor name, then whether the event was asserted or deasserted and its text.
// Names come from the SDR repository or the sensor type; texts from the event
// text data files; memory and PCI events get a location detail.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sdr/sdr_repository.hpp"
#include "sel/event_files.hpp"
#include "sel/sel_log.hpp"

inline constexpr size_t kBoardNameSize = 256;

// What the listing keeps while it runs.
struct SelListing {
  EventFiles files;
  // BoardName: the board name found in MBType.dat followed by a line feed;
  // empty until a board query found one.
  char boardName[kBoardNameSize];
  // PlatformFamily: "RomleyEN", "RomleyEPEX" or "Normal" once a board query
  // succeeded; empty before.
  char platformFamily[kBoardNameSize];
  // The SDR repository has been read for the sensor names.
  bool sdrLoaded;
};

// Room for an event text with its detail.
inline constexpr size_t kSpecificTextSize = 1024;  // at most 1023 characters
inline constexpr size_t kEventDetailSize = 512;    // at most 511 characters

// The -sel list command: GetSelInfo, ReserveSel, ReadSelEntries (each failure
// ends it with its line and status 11), then ListSel with a fresh listing.
int ShowSelListing(SelLog& sel, SdrRepository& sdr);

// Prints every entry read, opening and closing the event files; reads the SDR
// repository into sdr at the first entry. 0, or 1 when an event file is
// missing (its line printed, nothing listed).
int ListSel(const SelLog& sel, SdrRepository& sdr, SelListing& listing);

// The location appended to a memory ECC event (sensor type 0Ch, offset 0 or 1)
// or a PCI PERR/SERR (sensor type 13h, offset 4 or 5); the empty text for any
// other event.
void EventDetailText(SelListing& listing, uint8_t sensorType, uint8_t eventData1, uint8_t eventData2,
                     uint8_t eventData3, char* text, size_t size);

// The OEM board identifier request, then the board's name from MBType.dat into
// listing.boardName (left empty when no record names the board). Returns the
// request's completion code.
uint8_t QueryBoardName(SelListing& listing);

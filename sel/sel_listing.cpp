#include "sel/sel_listing.hpp"

#include "sdr/sdr_repository.hpp"
#include "sel/event_files.hpp"
#include "sel/sel_commands.hpp"
#include "sel/sel_log.hpp"
#include "support/bytes.hpp"
#include "support/calendar.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "support/text.hpp"
#include "transport/ipmi.hpp"

namespace {

constexpr size_t kTimeTextSize = 256;
constexpr size_t kNameTextSize = 512;

// Sensor type names of IPMI 2.0 table 42-3, by sensor type code.
constexpr const char* kDefaultSensorTypeNames[] = {
    "reserved",                     // 00h
    "Temperature",                  // 01h
    "Voltage",                      // 02h
    "Current",                      // 03h
    "Fan",                          // 04h
    "Physical Security",            // 05h
    "Platform Security",            // 06h
    "Processor",                    // 07h
    "Power Supply",                 // 08h
    "Power Unit",                   // 09h
    "Cooling Device",               // 0Ah
    "Other",                        // 0Bh
    "Memory",                       // 0Ch
    "Drive Slot / Bay",             // 0Dh
    "POST Memory Resize",           // 0Eh
    "System Firmwares",             // 0Fh
    "Event Logging Disabled",       // 10h
    "Watchdog",                     // 11h
    "System Event",                 // 12h
    "Critical Interrupt",           // 13h
    "Button",                       // 14h
    "Module / Board",               // 15h
    "Microcontroller",              // 16h
    "Add-in Card",                  // 17h
    "Chassis",                      // 18h
    "Chip Set",                     // 19h
    "Other FRU",                    // 1Ah
    "Cable / Interconnect",         // 1Bh
    "Terminator",                   // 1Ch
    "System Boot Initiated",        // 1Dh
    "Boot Error",                   // 1Eh
    "OS Boot",                      // 1Fh
    "OS Critical Stop",             // 20h
    "Slot / Connector",             // 21h
    "System ACPI Power State",      // 22h
    "Watchdog",                     // 23h
    "Platform Alert",               // 24h
    "Entity Presence",              // 25h
    "Monitor ASIC",                 // 26h
    "LAN",                          // 27h
    "Management Subsystem Health",  // 28h
    "Battery",                      // 29h
    "Session Audit",                // 2Ah
    "Version Change",               // 2Bh
    "FRU State",                    // 2Ch
};
constexpr size_t kDefaultSensorTypeCount = sizeof kDefaultSensorTypeNames / sizeof kDefaultSensorTypeNames[0];
static_assert(kDefaultSensorTypeCount == 0x2D, "one name for each sensor type 00h-2Ch");

// OEM sensor types the controller families log; the first row that matches
// names the sensor. A row with byEventData1 matches only that event data 1.
struct OemSensorName {
  uint8_t sensorType;
  bool byEventData1;
  uint8_t eventData1;
  const char* name;
};
constexpr OemSensorName kOemSensorNames[] = {
    {0xC2, false, 0x00, "CPLD Event"},        {0xC3, true, 0x03, "PCH Hot"},
    {0xC3, false, 0x00, "CPU Error"},         {0xC6, false, 0x00, "BBP"},
    {0xC7, false, 0x00, "Xeon Phi Throttle"},
};
constexpr const char kOemSensorName[] = "OEM";

// Event/reading type codes (IPMI 2.0 table 42-1).
constexpr uint8_t kDeassertionBit = 0x80;
constexpr uint8_t kEventTypeMask = 0x7F;
constexpr uint8_t kFirstGenericType = 0x01;  // threshold
constexpr uint8_t kLastGenericType = 0x0C;   // ACPI device power state
constexpr uint8_t kSensorSpecificType = 0x6F;
constexpr uint8_t kSensorSpecificOemType = 0x70;
constexpr const char kOemEventText[] = "OEM event";

// Sensor-specific offsets that carry a location (IPMI 2.0 table 42-3).
constexpr uint8_t kOffsetMask = 0x0F;
constexpr uint8_t kSensorTypeMemory = 0x0C;
constexpr uint8_t kCorrectableEcc = 0x00;
constexpr uint8_t kUncorrectableEcc = 0x01;
constexpr uint8_t kSensorTypeCriticalInterrupt = 0x13;
constexpr uint8_t kPciPerr = 0x04;
constexpr uint8_t kPciSerr = 0x05;

// Board model prefixes: a board with one of the first group is a Romley board,
// RomleyEN when it also has one of the second group, else RomleyEPEX.
constexpr const char* kRomleyPrefixes[] = {"Q7T", "Q7W", "H7T", "Q7KE", "Q7KN"};
constexpr const char* kRomleyEnPrefixes[] = {"Q7TUV", "Q7TM", "Q7KN"};
constexpr const char kRomleyEn[] = "RomleyEN";
constexpr const char kRomleyEpex[] = "RomleyEPEX";
constexpr const char kNormalFamily[] = "Normal";

// Where the DIMM locations of a family are.
struct FamilyDimmFile {
  const char* family;
  EventFile file;
};
constexpr FamilyDimmFile kFamilyDimmFiles[] = {
    {kRomleyEn, EventFile::RomleyEnDimms},
    {kRomleyEpex, EventFile::RomleyEpexDimms},
};

// The processor socket of a memory event in the other families, by event data 3.
struct CpuLabel {
  uint8_t eventData3;
  const char* label;
};
constexpr CpuLabel kCpuLabels[] = {{0x80, "CPU1"}, {0x81, "CPU2"}, {0x82, "CPU3"}, {0x83, "CPU4"}};

bool ContainsText(const char* text, const char* part) {
  for (size_t start = 0; text[start] != '\0'; ++start) {
    size_t i = 0;
    while (part[i] != '\0' && text[start + i] == part[i]) ++i;
    if (part[i] == '\0') return true;
  }
  return part[0] == '\0';
}

template <size_t N>
bool ContainsAny(const char* text, const char* const (&parts)[N]) {
  for (const char* part : parts) {
    if (ContainsText(text, part)) return true;
  }
  return false;
}

void SetText(char* text, size_t size, const char* value) { FormatString(text, size, "%s", value); }

// strftime "%Y/%m/%d %X" of the signed 32-bit timestamp in UTC.
void ListingTimeText(uint32_t timestamp, char* text, size_t size) {
  const DateTime t = DateTimeFromSeconds(static_cast<int32_t>(timestamp));
  FormatString(text, size, "%d/%02u/%02u %02u:%02u:%02u", static_cast<int>(t.year), t.month, t.day, t.hour, t.minute,
               t.second);
}

// The SDR repository, read at the listing's first entry, each step whatever the
// one before returned: a repository that cannot be read leaves the defaults.
void LoadSdrOnce(SdrRepository& sdr, SelListing& listing) {
  if (listing.sdrLoaded) return;
  GetSdrRepositoryInfo(sdr);
  ReserveSdrRepository(sdr);
  ReadSdrRecords(sdr);
  listing.sdrLoaded = true;
}

// The name of the first record with the sensor number, empty as it may be.
void SdrNameOf(const SdrRepository& sdr, uint8_t sensorNumber, char* name, size_t size) {
  const int records = sdr.VisibleRecordCount();
  for (int i = 0; i < records; ++i) {
    if (sdr.recordTable[i][kSdrSensorNumberByte] == sensorNumber) {
      SdrSensorName(sdr.recordTable[i], name, size);
      return;
    }
  }
}

void DefaultSensorName(uint8_t sensorType, uint8_t eventData1, char* name, size_t size) {
  if (sensorType < kDefaultSensorTypeCount) return SetText(name, size, kDefaultSensorTypeNames[sensorType]);
  for (const OemSensorName& row : kOemSensorNames) {
    if (row.sensorType == sensorType && (!row.byEventData1 || row.eventData1 == eventData1)) {
      return SetText(name, size, row.name);
    }
  }
  SetText(name, size, kOemSensorName);
}

void EventText(SelListing& listing, const uint8_t* entry, char* text, size_t size) {
  const uint8_t eventType = entry[kSelEventDirTypeByte] & kEventTypeMask;
  const uint8_t sensorType = entry[kSelSensorTypeByte];
  const uint8_t data1 = entry[kSelEventData1Byte];
  const uint8_t data2 = entry[kSelEventData2Byte];
  if (eventType >= kFirstGenericType && eventType <= kLastGenericType) {
    return GenericEventText(listing.files, entry[kSelEventDirTypeByte], data1, text, size);
  }
  if (eventType != kSensorSpecificType && eventType != kSensorSpecificOemType)
    return SetText(text, size, kOemEventText);
  if (!SpecificEventText(listing.files, sensorType, data1, data2, text, size)) return;
  char detail[kEventDetailSize];
  EventDetailText(listing, sensorType, data1, data2, entry[kSelEventData3Byte], detail, sizeof detail);
  const size_t length = StringLength(text);
  FormatString(text + length, size - length, "%s", detail);
}

void DecidePlatformFamily(SelListing& listing) {
  const char* board = listing.boardName;
  const char* family = kNormalFamily;
  if (ContainsAny(board, kRomleyPrefixes)) family = ContainsAny(board, kRomleyEnPrefixes) ? kRomleyEn : kRomleyEpex;
  SetText(listing.platformFamily, sizeof listing.platformFamily, family);
}

void MemoryLocationText(SelListing& listing, uint8_t eventData2, uint8_t eventData3, char* text, size_t size) {
  // Asked once per run; a failed request is asked again at the next memory event.
  if (listing.boardName[0] == '\0' && listing.platformFamily[0] == '\0' && QueryBoardName(listing) == kCcSuccess) {
    DecidePlatformFamily(listing);
  }
  for (const FamilyDimmFile& row : kFamilyDimmFiles) {
    if (!StringEquals(listing.platformFamily, row.family)) continue;
    char location[kKeyedTextSize];
    if (LookupKeyedText(listing.files, row.file, eventData2, eventData3, location, sizeof location)) {
      FormatString(text, size, " at %s", location);
    } else {
      SetText(text, size, "");
    }
    return;
  }
  if (eventData2 == 0 && eventData3 == 0) return SetText(text, size, "");
  const char* label = "";
  for (const CpuLabel& row : kCpuLabels) {
    if (row.eventData3 == eventData3) label = row.label;
  }
  FormatString(text, size, " at %s DIMM %X", label, static_cast<unsigned>(eventData2));
}

}  // namespace

void EventDetailText(SelListing& listing, uint8_t sensorType, uint8_t eventData1, uint8_t eventData2,
                     uint8_t eventData3, char* text, size_t size) {
  const uint8_t offset = eventData1 & kOffsetMask;
  if (sensorType == kSensorTypeMemory && (offset == kCorrectableEcc || offset == kUncorrectableEcc)) {
    return MemoryLocationText(listing, eventData2, eventData3, text, size);
  }
  if (sensorType == kSensorTypeCriticalInterrupt && (offset == kPciPerr || offset == kPciSerr) &&
      (eventData2 != 0 || eventData3 != 0)) {
    // Event data 2 the bus, event data 3 the device (bits 7:3) and function (2:0).
    FormatString(text, size, ", Bus %d /Device %d /Function %d", eventData2, eventData3 >> 3, eventData3 & 0x07);
    return;
  }
  SetText(text, size, "");
}

uint8_t QueryBoardName(SelListing& listing) {
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnOemController, kCmdOemGetBoardId, {}, &reply);
  ByteReader reader = reply.Reader();
  const uint8_t idLow = reader.Byte();
  const uint8_t idHigh = reader.Byte();
  const uint8_t result = DecodedResult(cc, reader);
  if (result != kCcSuccess) return result;
  // MBType.dat is keyed by the reply bytes in swapped order.
  char name[kKeyedTextSize];
  if (LookupKeyedText(listing.files, EventFile::BoardTypes, idHigh, idLow, name, sizeof name)) {
    // A name too long for the area with its line feed is cut to fit.
    constexpr int kMaxNameCharacters = static_cast<int>(kBoardNameSize) - 2;
    FormatString(listing.boardName, sizeof listing.boardName, "%.*s\n", kMaxNameCharacters, name);
  }
  return kCcSuccess;
}

int ListSel(const SelLog& sel, SdrRepository& sdr, SelListing& listing) {
  if (!OpenEventFiles(listing.files)) return kStatusDataFileMissing;
  const int entries = sel.VisibleEntryCount();
  for (int k = 1; k <= entries; ++k) {
    const uint8_t* entry = sel.entryTable[k - 1];
    char time[kTimeTextSize];
    char name[kNameTextSize] = {};
    char event[kSpecificTextSize];
    ListingTimeText(Le32({entry, kSelEntrySize}, kSelTimestampByte), time, sizeof time);
    LoadSdrOnce(sdr, listing);
    SdrNameOf(sdr, entry[kSelSensorNumberByte], name, sizeof name);
    if (name[0] == '\0') DefaultSensorName(entry[kSelSensorTypeByte], entry[kSelEventData1Byte], name, sizeof name);
    const bool deasserted = (entry[kSelEventDirTypeByte] & kDeassertionBit) != 0;
    EventText(listing, entry, event, sizeof event);
    Printf("%3d | %s | %s \n", k, time, name);
    Printf("    | %s:%s\n", deasserted ? "Deassertion" : "Assertion", event);
  }
  CloseEventFiles(listing.files);
  return kStatusSuccess;
}

int ShowSelListing(SelLog& sel, SdrRepository& sdr) {
  uint8_t cc = GetSelInfo(sel);
  if (cc != kCcSuccess) return ReportFailure("Failed to get SEL info", cc);
  cc = ReserveSel(sel);
  if (cc != kCcSuccess) return ReportFailure("Failed to get reserve SEL", cc);
  cc = ReadSelEntries(sel);
  if (cc != kCcSuccess) return ReportFailure("Failed to get SEL allocation info", cc);
  SelListing listing{};
  return ListSel(sel, sdr, listing);
}

#include "sel/event_files.hpp"

#include "platform/platform.hpp"
#include "support/format.hpp"

namespace {

struct EventFileName {
  EventFile file;
  const char* name;
  const char* openFailure;
};
constexpr EventFileName kEventFileNames[kEventFileCount] = {
    {EventFile::BoardTypes, "MBType.dat", "Failed to open MBType.dat.\n"},
    {EventFile::GenericEvents, "GenEvt.dat", "Failed to open GenEvt.dat.\n"},
    {EventFile::SpecificEvents1, "SpecEvt1.dat", "Failed to open SpecEvt1.dat.\n"},
    {EventFile::SpecificEvents2, "SpecEvt2.dat", "Failed to open SpecEvt2.dat.\n"},
    {EventFile::SpecificEvents3, "SpecEvt3.dat", "Failed to open SpecEvt3.dat.\n"},
    {EventFile::SpecificEvents4, "SpecEvt4.dat", "Failed to open SpecEvt4.dat.\n"},
    {EventFile::SpecificEvents5, "SpecEvt5.dat", "Failed to open SpecEvt5.dat.\n"},
    {EventFile::RomleyEnDimms, "RomEN.dat", "Failed to open RomEN.dat.\n"},
    {EventFile::RomleyEpexDimms, "RomEPEX.dat", "Failed to open RomEPEX.dat.\n"},
};

constexpr bool FileTableInOrder() {
  for (size_t i = 0; i < kEventFileCount; ++i) {
    if (static_cast<size_t>(kEventFileNames[i].file) != i) return false;
  }
  return true;
}
static_assert(FileTableInOrder(), "the file table lists the files in opening order");

// Which SpecEvt file holds a sensor type's texts; types not listed are in
// SpecEvt5.dat.
struct SensorTypeFile {
  uint8_t first;
  uint8_t last;
  EventFile file;
};
constexpr SensorTypeFile kSpecificFiles[] = {
    {0x00, 0x0E, EventFile::SpecificEvents1},
    {0x0F, 0x0F, EventFile::SpecificEvents2},
    {0x10, 0x1F, EventFile::SpecificEvents3},
    {0x20, 0x2C, EventFile::SpecificEvents4},
};

// Sensor type C6h (the BBP timer) has one text, never looked up.
constexpr uint8_t kBbpSensorType = 0xC6;
constexpr const char kBbpText[] = "BBP Timer expired/OS gracefully shutdown";
constexpr const char kUnknownEvent[] = "unknown event";

constexpr uint8_t kGenericEndMarker = 0x00;
constexpr uint8_t kSpecificEndMarker = 0xFF;
constexpr uint8_t kAnyEventData2 = 0xFF;
constexpr uint8_t kEventTypeMask = 0x7F;
constexpr uint8_t kOffsetMask = 0x0F;

enum class ScanResult : uint8_t { Found, EndMarker, NotFound };

struct ScanKeys {
  size_t recordSize;
  bool hasEndMarker;
  uint8_t endMarker;
  uint8_t key1;
  uint8_t key2;
  bool hasKey3;  // SpecEvt files: byte 2 equal to key3, or FFh
  uint8_t key3;
};

// From the start of the file, one record per read, the first record that
// matches; a read that does not fill a whole record ends the file (so a trailing
// part shorter than a record is never looked at).
ScanResult Scan(EventFiles& files, EventFile file, const ScanKeys& keys) {
  PlatformFile* handle = files.open[static_cast<size_t>(file)];
  const uint8_t* record = files.record;
  if (handle == nullptr || !FileSeek(handle, 0, SeekOrigin::Start)) return ScanResult::NotFound;
  while (FileRead(handle, files.record, keys.recordSize) == keys.recordSize) {
    if (keys.hasEndMarker && record[0] == keys.endMarker) return ScanResult::EndMarker;
    if (record[0] != keys.key1 || record[1] != keys.key2) continue;
    if (!keys.hasKey3 || record[2] == keys.key3 || record[2] == kAnyEventData2) return ScanResult::Found;
  }
  return ScanResult::NotFound;
}

// A text field up to its zero byte; a field without one gives its first
// fieldSize - 1 characters. Never more than size - 1 characters (size > 0).
void CopyFieldText(const uint8_t* field, size_t fieldSize, char* text, size_t size) {
  size_t length = 0;
  while (length + 1 < fieldSize && length + 1 < size && field[length] != 0) {
    text[length] = static_cast<char>(field[length]);
    ++length;
  }
  text[length] = '\0';
}

void SetText(char* text, size_t size, const char* value) { FormatString(text, size, "%s", value); }

EventFile SpecificFileOf(uint8_t sensorType) {
  for (const SensorTypeFile& range : kSpecificFiles) {
    if (sensorType >= range.first && sensorType <= range.last) return range.file;
  }
  return EventFile::SpecificEvents5;
}

}  // namespace

bool OpenEventFiles(EventFiles& files) {
  for (size_t i = 0; i < kEventFileCount; ++i) {
    files.open[i] = OpenDataFile(kEventFileNames[i].name);
    if (files.open[i] == nullptr) {
      Printf("%s", kEventFileNames[i].openFailure);
      CloseEventFiles(files);
      return false;
    }
  }
  return true;
}

void CloseEventFiles(EventFiles& files) {
  for (PlatformFile*& file : files.open) {
    if (file != nullptr) FileClose(file);
    file = nullptr;
  }
}

void GenericEventText(EventFiles& files, uint8_t eventDirType, uint8_t eventData1, char* text, size_t size) {
  const ScanKeys keys = {kEventTextRecordSize,
                         true,
                         kGenericEndMarker,
                         static_cast<uint8_t>(eventDirType & kEventTypeMask),
                         static_cast<uint8_t>(eventData1 & kOffsetMask),
                         false,
                         0};
  switch (Scan(files, EventFile::GenericEvents, keys)) {
    case ScanResult::Found:
      return CopyFieldText(files.record + kEventTextField, kEventTextRecordSize - kEventTextField, text, size);
    case ScanResult::EndMarker:
      return SetText(text, size, kUnknownEvent);
    case ScanResult::NotFound:
      return SetText(text, size, "");
  }
}

bool SpecificEventText(EventFiles& files, uint8_t sensorType, uint8_t eventData1, uint8_t eventData2, char* text,
                       size_t size) {
  if (sensorType == kBbpSensorType) {
    SetText(text, size, kBbpText);
    return false;
  }
  const ScanKeys keys = {kEventTextRecordSize,
                         true,
                         kSpecificEndMarker,
                         sensorType,
                         static_cast<uint8_t>(eventData1 & kOffsetMask),
                         true,
                         eventData2};
  switch (Scan(files, SpecificFileOf(sensorType), keys)) {
    case ScanResult::Found:
      CopyFieldText(files.record + kEventTextField, kEventTextRecordSize - kEventTextField, text, size);
      return true;
    case ScanResult::EndMarker:
      SetText(text, size, kUnknownEvent);
      return false;
    case ScanResult::NotFound:
      SetText(text, size, "");
      return false;
  }
  return false;
}

bool LookupKeyedText(EventFiles& files, EventFile file, uint8_t key1, uint8_t key2, char* text, size_t size) {
  const ScanKeys keys = {kKeyedTextRecordSize, false, 0, key1, key2, false, 0};
  if (Scan(files, file, keys) != ScanResult::Found) return false;
  CopyFieldText(files.record + kKeyedTextField, kKeyedTextRecordSize - kKeyedTextField, text, size);
  return true;
}

// Storage network function: the System Event Log (IPMI 2.0 section 31); and
// the OEM board identifier request the decoded SEL listing sends.
#include <algorithm>
#include <string>

#include "sim/bmc_model.hpp"
#include "sim/handler.hpp"
#include "sim/json_reader.hpp"
#include "sim/sel_state.hpp"

namespace {

using nlohmann::json;

constexpr uint8_t kNetFnStorage = 0x0A;
constexpr uint8_t kNetFnOemBoard = 0x30;
constexpr uint8_t kCmdGetSelInfo = 0x40;
constexpr uint8_t kCmdGetSelAllocationInfo = 0x41;
constexpr uint8_t kCmdReserveSel = 0x42;
constexpr uint8_t kCmdGetSelEntry = 0x43;
constexpr uint8_t kCmdClearSel = 0x47;
constexpr uint8_t kCmdOemGetBoardId = 0x21;

constexpr uint8_t kSelVersion = 0x51;  // IPMI 2.0
constexpr uint8_t kSupportsAllocationInfo = 0x01;
constexpr uint8_t kSupportsReserve = 0x02;
constexpr uint16_t kAllocationUnitSize = 16;
constexpr uint16_t kFirstEntry = 0x0000;
constexpr uint16_t kLastEntry = 0xFFFF;
constexpr uint8_t kWholeEntry = 0xFF;
constexpr uint8_t kClearSelGetStatus = 0x00;
constexpr uint8_t kClearSelInitiateErase = 0xAA;
constexpr uint8_t kEraseCompleted = 0x01;

// SEL record layout (IPMI 2.0 section 32.1).
constexpr uint8_t kSystemEventRecord = 0x02;
constexpr uint8_t kEventMessageRevision = 0x04;  // IPMI 1.5 and 2.0
constexpr uint16_t kBmcGeneratorId = 0x0020;
constexpr uint8_t kDeassertion = 0x80;
constexpr uint8_t kUnspecifiedEventData = 0xFF;

constexpr unsigned kMicrosecondsPerSecond = 1000000;

uint16_t Le16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }
void PutLe16(std::vector<uint8_t>* data, unsigned value) {
  data->push_back(static_cast<uint8_t>(value));
  data->push_back(static_cast<uint8_t>(value >> 8));
}
void PutLe32(std::vector<uint8_t>* data, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) data->push_back(static_cast<uint8_t>(value >> shift));
}
uint16_t RecordId(const SimSelEntry& entry) { return Le16(entry.data()); }

uint32_t SelClock(const BmcModel& bmc) {
  return bmc.CurrentScenario().state.sel.time +
         static_cast<uint32_t>(bmc.Clock().NowMicroseconds() / kMicrosecondsPerSecond);
}

unsigned FreeUnits(const SelState& sel) {
  return sel.capacity > sel.entries.size() ? static_cast<unsigned>(sel.capacity - sel.entries.size()) : 0;
}

IpmiReply GetSelInfo(BmcModel& bmc, const IpmiMessage&) {
  const SelState& sel = bmc.State().sel;
  std::vector<uint8_t> data = {kSelVersion};
  PutLe16(&data, static_cast<unsigned>(std::min<size_t>(sel.entries.size(), 0xFFFF)));
  PutLe16(&data, std::min<unsigned>(FreeUnits(sel) * kAllocationUnitSize, 0xFFFF));
  PutLe32(&data, sel.lastAddTime);
  PutLe32(&data, sel.lastEraseTime);
  data.push_back(sel.operationSupport);
  return Reply(data);
}

IpmiReply GetSelAllocationInfo(BmcModel& bmc, const IpmiMessage&) {
  const SelState& sel = bmc.State().sel;
  if ((sel.operationSupport & kSupportsAllocationInfo) == 0) return Refuse(kSimCcInvalidCommand);
  const unsigned free = std::min<unsigned>(FreeUnits(sel), 0xFFFF);
  std::vector<uint8_t> data;
  PutLe16(&data, std::min<unsigned>(sel.capacity, 0xFFFF));
  PutLe16(&data, kAllocationUnitSize);
  PutLe16(&data, free);
  PutLe16(&data, free);  // the free units lie in one block
  data.push_back(1);     // a record takes one unit
  return Reply(data);
}

IpmiReply ReserveSel(BmcModel& bmc, const IpmiMessage&) {
  SelState& sel = bmc.State().sel;
  if ((sel.operationSupport & kSupportsReserve) == 0) return Refuse(kSimCcInvalidCommand);
  sel.reservationId = static_cast<uint16_t>(sel.reservationId + 1);
  if (sel.reservationId == 0) sel.reservationId = 1;  // 0000h is never a reservation
  sel.reservationValid = true;
  return Reply({static_cast<uint8_t>(sel.reservationId), static_cast<uint8_t>(sel.reservationId >> 8)});
}

bool ReservationHolds(const SelState& sel, uint16_t reservation) {
  return sel.reservationValid && reservation == sel.reservationId;
}

IpmiReply GetSelEntry(BmcModel& bmc, const IpmiMessage& request) {
  const SelState& sel = bmc.State().sel;
  // Reservation 0000h reads without one; any other must be the current one.
  const uint16_t reservation = Le16(request.data.data());
  if (reservation != 0 && !ReservationHolds(sel, reservation)) return Refuse(kSimCcReservationCancelled);
  if (sel.entries.empty()) return Refuse(kSimCcNotPresent);

  const uint16_t wanted = Le16(request.data.data() + 2);
  size_t index = 0;
  if (wanted == kLastEntry) {
    index = sel.entries.size() - 1;
  } else if (wanted != kFirstEntry) {
    const auto found = std::find_if(sel.entries.begin(), sel.entries.end(),
                                    [wanted](const SimSelEntry& e) { return RecordId(e) == wanted; });
    if (found == sel.entries.end()) return Refuse(kSimCcNotPresent);
    index = static_cast<size_t>(found - sel.entries.begin());
  }
  const size_t offset = request.data[4];
  if (offset >= kSimSelEntrySize) return Refuse(kSimCcParameterOutOfRange);
  const size_t count =
      std::min<size_t>(request.data[5] == kWholeEntry ? kSimSelEntrySize : request.data[5], kSimSelEntrySize - offset);
  const uint16_t next = index + 1 < sel.entries.size() ? RecordId(sel.entries[index + 1]) : kLastEntry;
  std::vector<uint8_t> data;
  PutLe16(&data, next);
  const SimSelEntry& entry = sel.entries[index];
  data.insert(data.end(), entry.begin() + static_cast<long>(offset), entry.begin() + static_cast<long>(offset + count));
  return Reply(data);
}

IpmiReply ClearSel(BmcModel& bmc, const IpmiMessage& request) {
  SelState& sel = bmc.State().sel;
  if (!ReservationHolds(sel, Le16(request.data.data()))) return Refuse(kSimCcReservationCancelled);
  if (request.data[2] != 'C' || request.data[3] != 'L' || request.data[4] != 'R') return Refuse(kSimCcInvalidDataField);
  if (request.data[5] == kClearSelInitiateErase) {
    // The erase completes at once; it cancels the reservation.
    sel.entries.clear();
    sel.lastEraseTime = SelClock(bmc);
    sel.reservationValid = false;
  } else if (request.data[5] != kClearSelGetStatus) {
    return Refuse(kSimCcInvalidDataField);
  }
  return Reply({kEraseCompleted});
}

IpmiReply GetBoardId(BmcModel& bmc, const IpmiMessage&) {
  const SelState& sel = bmc.State().sel;
  if (!sel.boardId) return Refuse(kSimCcInvalidCommand);
  return Reply(*sel.boardId);
}

constexpr HandlerEntry kSelHandlers[] = {
    {kNetFnStorage, kCmdGetSelInfo, 0, GetSelInfo}, {kNetFnStorage, kCmdGetSelAllocationInfo, 0, GetSelAllocationInfo},
    {kNetFnStorage, kCmdReserveSel, 0, ReserveSel}, {kNetFnStorage, kCmdGetSelEntry, 6, GetSelEntry},
    {kNetFnStorage, kCmdClearSel, 6, ClearSel},     {kNetFnOemBoard, kCmdOemGetBoardId, 0, GetBoardId},
};

// ---- Scenario form ---------------------------------------------------------

// A 16-bit value: a number or four hexadecimal digits ("0020").
void ReadWord(const json& object, const char* key, uint16_t* target, JsonReader& read) {
  if (!object.contains(key)) return;
  const json& value = object.at(key);
  if (value.is_number_unsigned() && value.get<unsigned>() <= 0xFFFF) {
    *target = static_cast<uint16_t>(value.get<unsigned>());
    return;
  }
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    if (text.size() == 4 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
      *target = static_cast<uint16_t>(std::stoul(text, nullptr, 16));
      return;
    }
  }
  read.Fail(key, "a 16-bit number or four hexadecimal digits such as \"0020\"");
}

std::string WordText(uint16_t value) {
  return ByteText(static_cast<uint8_t>(value >> 8)) + ByteText(static_cast<uint8_t>(value));
}

// One entry: {"raw": "16 bytes"} or the fields of a system event record.
bool ReadEntry(const json& object, uint16_t recordId, uint32_t defaultTime, SimSelEntry* entry, JsonReader& read) {
  if (!object.is_object()) {
    read.Fail("entries", "an array of objects");
    return false;
  }
  if (object.contains("raw")) {
    std::vector<uint8_t> bytes;
    read.Bytes(object, "raw", &bytes);
    if (read.Ok() && bytes.size() != kSimSelEntrySize) read.Fail("raw", "16 bytes: the whole entry from its record ID");
    if (!read.Ok()) return false;
    std::copy(bytes.begin(), bytes.end(), entry->begin());
    return true;
  }
  for (const char* key : {"sensorType", "sensorNumber", "eventType", "data"}) {
    if (!object.contains(key)) read.Fail(key, "given for every entry without \"raw\"");
  }
  uint8_t recordType = kSystemEventRecord;
  unsigned timestamp = defaultTime;
  uint16_t generatorId = kBmcGeneratorId;
  uint8_t evmRev = kEventMessageRevision;
  uint8_t sensorType = 0;
  uint8_t sensorNumber = 0;
  uint8_t eventType = 0;
  std::string direction = "assertion";
  std::vector<uint8_t> data;
  ReadWord(object, "recordId", &recordId, read);
  read.Byte(object, "recordType", &recordType);
  read.Unsigned(object, "timestamp", &timestamp);
  ReadWord(object, "generatorId", &generatorId, read);
  read.Byte(object, "evmRev", &evmRev);
  read.Byte(object, "sensorType", &sensorType);
  read.Byte(object, "sensorNumber", &sensorNumber);
  read.Byte(object, "eventType", &eventType);
  read.Text(object, "direction", &direction);
  read.Bytes(object, "data", &data);
  if (eventType > 0x7F) read.Fail("eventType", "an event/reading type code 00-7F (the direction is its own key)");
  if (direction != "assertion" && direction != "deassertion")
    read.Fail("direction", "\"assertion\" or \"deassertion\"");
  if (data.empty() || data.size() > 3) read.Fail("data", "event data 1 to 3 (missing ones are FF)");
  if (!read.Ok()) return false;
  data.resize(3, kUnspecifiedEventData);
  *entry = {static_cast<uint8_t>(recordId),
            static_cast<uint8_t>(recordId >> 8),
            recordType,
            static_cast<uint8_t>(timestamp),
            static_cast<uint8_t>(timestamp >> 8),
            static_cast<uint8_t>(timestamp >> 16),
            static_cast<uint8_t>(timestamp >> 24),
            static_cast<uint8_t>(generatorId),
            static_cast<uint8_t>(generatorId >> 8),
            evmRev,
            sensorType,
            sensorNumber,
            static_cast<uint8_t>(eventType | (direction == "deassertion" ? kDeassertion : 0)),
            data[0],
            data[1],
            data[2]};
  return true;
}

json EntryToJson(const SimSelEntry& e) {
  if (e[2] != kSystemEventRecord) return {{"raw", HexBytesText(e)}};
  return {{"recordId", WordText(Le16(e.data()))},
          {"recordType", ByteText(e[2])},
          {"timestamp", static_cast<uint32_t>(e[3] | e[4] << 8 | e[5] << 16 | static_cast<uint32_t>(e[6]) << 24)},
          {"generatorId", WordText(Le16(e.data() + 7))},
          {"evmRev", ByteText(e[9])},
          {"sensorType", ByteText(e[10])},
          {"sensorNumber", ByteText(e[11])},
          {"direction", (e[12] & kDeassertion) != 0 ? "deassertion" : "assertion"},
          {"eventType", ByteText(e[12] & 0x7F)},
          {"data", HexBytesText(std::span<const uint8_t>(e.data() + 13, 3))}};
}

}  // namespace

std::span<const HandlerEntry> SelHandlers() { return kSelHandlers; }

SelState DefaultSelState() {
  SelState sel;
  sel.time = 1715677200;           // 2024-05-14 09:00:00 UTC
  sel.lastAddTime = 1715676770;    // the last entry below
  sel.lastEraseTime = 1715590800;  // a day before the SEL clock
  sel.boardId = {0x10, 0x03};      // a Normal-family board in MBType.dat
  const json entries = json::parse(R"([
    {"timestamp": 1715673492, "generatorId": "0001", "sensorType": "0F", "sensorNumber": "05", "eventType": "6F",
     "data": "C2 13 FF"},
    {"timestamp": 1715673821, "sensorType": "01", "sensorNumber": "01", "eventType": "01", "data": "57 58 55"},
    {"timestamp": 1715674629, "sensorType": "0C", "sensorNumber": "70", "eventType": "6F", "data": "A0 0A 81"},
    {"timestamp": 1715675133, "generatorId": "0033", "sensorType": "13", "sensorNumber": "71", "eventType": "6F",
     "data": "A5 02 0B"},
    {"timestamp": 1715676002, "sensorType": "08", "sensorNumber": "41", "eventType": "6F", "data": "01"},
    {"timestamp": 1715676767, "sensorType": "08", "sensorNumber": "41", "eventType": "6F", "direction": "deassertion",
     "data": "01"},
    {"raw": "07 00 C0 62 26 43 66 57 01 00 C2 90 7F 01 02 03"}
  ])");
  std::string error;
  JsonReader read(&error);
  ReadSelState(json{{"entries", entries}}, &sel, read);
  return sel;
}

void ReadSelState(const json& object, SelState* sel, JsonReader& read) {
  if (!object.is_object()) return read.Fail("sel", "an object such as {\"entries\": [...]}");
  read.Unsigned(object, "capacity", &sel->capacity);
  unsigned time = sel->time;
  unsigned lastAdd = sel->lastAddTime;
  unsigned lastErase = sel->lastEraseTime;
  read.Unsigned(object, "time", &time);
  read.Unsigned(object, "lastAddTime", &lastAdd);
  read.Unsigned(object, "lastEraseTime", &lastErase);
  sel->time = time;
  sel->lastAddTime = lastAdd;
  sel->lastEraseTime = lastErase;
  read.Byte(object, "operationSupport", &sel->operationSupport);
  unsigned reservation = sel->reservationId;
  read.Unsigned(object, "reservationId", &reservation);
  if (reservation > 0xFFFF) return read.Fail("reservationId", "at most 65535");
  sel->reservationId = static_cast<uint16_t>(reservation);
  read.Bool(object, "reservationValid", &sel->reservationValid);
  if (object.contains("boardId")) {
    if (object.at("boardId").is_null()) {
      sel->boardId.reset();
    } else {
      std::vector<uint8_t> bytes;
      read.Bytes(object, "boardId", &bytes);
      sel->boardId = bytes;
    }
  }
  if (object.contains("entries")) {
    const json& entries = object.at("entries");
    if (!entries.is_array()) return read.Fail("entries", "an array of entries");
    sel->entries.clear();
    uint16_t nextId = 1;
    for (const json& item : entries) {
      SimSelEntry entry{};
      if (!ReadEntry(item, nextId, sel->time, &entry, read)) return;
      sel->entries.push_back(entry);
      nextId = static_cast<uint16_t>(RecordId(entry) + 1);
    }
  }
  // A long log from a few entries: they repeat in order, with new record IDs.
  unsigned fillTo = 0;
  read.Unsigned(object, "fillTo", &fillTo);
  if (fillTo > 0xFFFE) return read.Fail("fillTo", "at most 65534 entries");
  if (fillTo > sel->entries.size() && sel->entries.empty()) return read.Fail("fillTo", "used with at least one entry");
  for (size_t i = 0; sel->entries.size() < fillTo; ++i) {
    SimSelEntry entry = sel->entries[i];
    const uint16_t id = static_cast<uint16_t>(RecordId(sel->entries.back()) + 1);
    entry[0] = static_cast<uint8_t>(id);
    entry[1] = static_cast<uint8_t>(id >> 8);
    sel->entries.push_back(entry);
  }
}

json SelStateToJson(const SelState& sel) {
  json entries = json::array();
  for (const SimSelEntry& entry : sel.entries) entries.push_back(EntryToJson(entry));
  return {{"capacity", sel.capacity},
          {"time", sel.time},
          {"lastAddTime", sel.lastAddTime},
          {"lastEraseTime", sel.lastEraseTime},
          {"operationSupport", ByteText(sel.operationSupport)},
          {"reservationId", sel.reservationId},
          {"reservationValid", sel.reservationValid},
          {"boardId", sel.boardId ? json(HexBytesText(*sel.boardId)) : json(nullptr)},
          {"entries", entries}};
}

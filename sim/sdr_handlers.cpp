// Storage network function: the SDR repository (IPMI 2.0 sections 33.9-33.12).
#include <algorithm>

#include "sim/bmc_model.hpp"
#include "sim/handler.hpp"
#include "sim/json_reader.hpp"
#include "sim/sdr_state.hpp"

namespace {

constexpr uint8_t kNetFnStorage = 0x0A;
constexpr uint8_t kCmdGetSdrRepositoryInfo = 0x20;
constexpr uint8_t kCmdReserveSdrRepository = 0x22;
constexpr uint8_t kCmdGetSdr = 0x23;

constexpr uint8_t kSdrVersion = 0x51;  // IPMI 2.0
constexpr uint16_t kFirstRecord = 0x0000;
constexpr uint16_t kLastRecord = 0xFFFF;
constexpr uint8_t kWholeRecord = 0xFF;
// Operation support: Reserve SDR Repository supported.
constexpr uint8_t kSupportsReserve = 0x02;
// Data bytes one reply carries after its completion code (the tool's KCS
// buffer takes 197): the next record ID and up to 195 record bytes.
constexpr size_t kMaxRecordBytesPerReply = 195;

uint16_t Le16(const std::vector<uint8_t>& data, size_t at) {
  return static_cast<uint16_t>(data[at] | data[at + 1] << 8);
}

uint16_t RecordId(const std::vector<uint8_t>& record) { return record.size() >= 2 ? Le16(record, 0) : 0; }

IpmiReply GetSdrRepositoryInfo(BmcModel& bmc, const IpmiMessage&) {
  const size_t count = bmc.State().sdr.records.size();
  return Reply({kSdrVersion, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8), 0xFF, 0xFF, 0, 0, 0, 0, 0,
                0, 0, 0, kSupportsReserve});
}

IpmiReply ReserveSdrRepository(BmcModel& bmc, const IpmiMessage&) {
  uint16_t& id = bmc.State().sdr.reservationId;
  id = static_cast<uint16_t>(id + 1);
  if (id == 0) id = 1;  // 0000h is never a reservation
  return Reply({static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)});
}

IpmiReply GetSdr(BmcModel& bmc, const IpmiMessage& request) {
  const SdrState& sdr = bmc.State().sdr;
  // Reservation 0000h reads without one; any other must be the current one.
  const uint16_t reservation = Le16(request.data, 0);
  if (reservation != 0 && reservation != sdr.reservationId) return Refuse(kSimCcReservationCancelled);
  if (sdr.records.empty()) return Refuse(kSimCcNotPresent);

  const uint16_t wanted = Le16(request.data, 2);
  size_t index = 0;
  if (wanted == kLastRecord) {
    index = sdr.records.size() - 1;
  } else if (wanted != kFirstRecord) {
    const auto found = std::find_if(sdr.records.begin(), sdr.records.end(),
                                    [wanted](const std::vector<uint8_t>& r) { return RecordId(r) == wanted; });
    if (found == sdr.records.end()) return Refuse(kSimCcNotPresent);
    index = static_cast<size_t>(found - sdr.records.begin());
  }
  const std::vector<uint8_t>& record = sdr.records[index];
  const size_t offset = request.data[4];
  if (offset > record.size()) return Refuse(kSimCcParameterOutOfRange);
  size_t count = request.data[5] == kWholeRecord ? record.size() - offset : request.data[5];
  count = std::min(count, record.size() - offset);
  if (count > kMaxRecordBytesPerReply) return Refuse(kSimCcCannotReturnRequestedBytes);

  const uint16_t next = index + 1 < sdr.records.size() ? RecordId(sdr.records[index + 1]) : kLastRecord;
  std::vector<uint8_t> data = {static_cast<uint8_t>(next), static_cast<uint8_t>(next >> 8)};
  data.insert(data.end(), record.begin() + static_cast<long>(offset),
              record.begin() + static_cast<long>(offset + count));
  return Reply(data);
}

constexpr HandlerEntry kSdrHandlers[] = {
    {kNetFnStorage, kCmdGetSdrRepositoryInfo, 0, GetSdrRepositoryInfo},
    {kNetFnStorage, kCmdReserveSdrRepository, 0, ReserveSdrRepository},
    {kNetFnStorage, kCmdGetSdr, 6, GetSdr},
};

}  // namespace

std::span<const HandlerEntry> SdrHandlers() { return kSdrHandlers; }

void ReadSdrState(const nlohmann::json& object, SdrState* sdr, JsonReader& read) {
  if (!object.is_object()) return read.Fail("sdr", "an object with \"records\" and \"sensors\"");
  unsigned reservation = sdr->reservationId;
  read.Unsigned(object, "reservationId", &reservation);
  if (reservation > 0xFFFF) return read.Fail("reservationId", "at most 65535");
  sdr->reservationId = static_cast<uint16_t>(reservation);
  if (object.contains("records")) {
    const nlohmann::json& records = object.at("records");
    if (!records.is_array()) return read.Fail("records", "an array of records");
    SdrState fresh;
    for (const nlohmann::json& entry : records) {
      if (entry.is_object()) {
        ReadSensorRecord(entry, fresh.records.size(), &fresh, read);
        continue;
      }
      std::vector<uint8_t> bytes;
      if (!entry.is_string() || !ParseHexBytes(entry.get<std::string>(), &bytes)) {
        return read.Fail("records", "records as hexadecimal bytes such as \"01 00 51 01 35 ...\" or sensor objects");
      }
      fresh.records.push_back(std::move(bytes));
    }
    sdr->records = std::move(fresh.records);
    sdr->sensors = std::move(fresh.sensors);
  }
  if (object.contains("sensors")) {
    const nlohmann::json& sensors = object.at("sensors");
    if (!sensors.is_array()) return read.Fail("sensors", "an array of sensors");
    // Sensors of described records come first; these follow.
    if (!object.contains("records")) sdr->sensors.clear();
    for (const nlohmann::json& entry : sensors) {
      SimSensor sensor;
      ReadSensor(entry, &sensor, read);
      sdr->sensors.push_back(std::move(sensor));
    }
  }
}

nlohmann::json SdrStateToJson(const SdrState& sdr) {
  nlohmann::json records = nlohmann::json::array();
  for (const std::vector<uint8_t>& record : sdr.records) records.push_back(HexBytesText(record));
  nlohmann::json sensors = nlohmann::json::array();
  for (const SimSensor& sensor : sdr.sensors) {
    nlohmann::json entry = {{"number", ByteText(sensor.number)}, {"readingReply", HexBytesText(sensor.reading)}};
    if (!sensor.present) entry["present"] = false;
    if (sensor.thresholds) entry["thresholds"] = HexBytesText(*sensor.thresholds);
    sensors.push_back(entry);
  }
  return {{"records", records}, {"sensors", sensors}, {"reservationId", sdr.reservationId}};
}

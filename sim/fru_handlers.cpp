// FRU inventory: Get FRU Inventory Area Info, Read and Write FRU Data (IPMI 2.0
// sections 34.1 to 34.3), the same three as OEM commands of NetFn 30h, and the
// OEM FRU write control that gates writes.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "sim/bmc_model.hpp"
#include "sim/fru_state.hpp"
#include "sim/handler.hpp"
#include "sim/ipmi_message.hpp"
#include "sim/json_reader.hpp"

namespace {

constexpr uint8_t kNetFnStorage = 0x0A;
constexpr uint8_t kNetFnOemController = 0x30;
constexpr uint8_t kCmdGetFruInventoryAreaInfo = 0x10;
constexpr uint8_t kCmdReadFruData = 0x11;
constexpr uint8_t kCmdWriteFruData = 0x12;
constexpr uint8_t kCmdOemGetFruInventoryAreaInfo = 0x80;
constexpr uint8_t kCmdOemReadFruData = 0x81;
constexpr uint8_t kCmdOemWriteFruData = 0x82;
constexpr uint8_t kCmdOemFruWriteControl = 0x06;
constexpr uint8_t kOemFruUnlock = 0x00;
constexpr uint8_t kOemFruLock = 0x01;

// Write FRU Data: "write-protected offset" (IPMI 2.0 section 34.3), answered
// while the FRU is locked.
constexpr uint8_t kSimCcFruWriteProtected = 0x80;

constexpr uint8_t kAccessByBytes = 0x00;
constexpr uint8_t kAccessByWords = 0x01;
constexpr size_t kMaxReportedSize = 0xFFFF;  // size field of the inventory info

FruState& Fru(BmcModel& bmc) { return bmc.State().fru; }

FruDevice* Device(BmcModel& bmc, uint8_t id) {
  for (FruDevice& device : Fru(bmc).devices) {
    if (device.id == id) return &device;
  }
  return nullptr;
}

size_t Offset(const IpmiMessage& request) { return request.data[1] | size_t{request.data[2]} << 8; }

IpmiReply GetFruInventoryAreaInfo(BmcModel& bmc, const IpmiMessage& request) {
  const FruDevice* device = Device(bmc, request.data[0]);
  if (device == nullptr) return Refuse(kSimCcInvalidDataField);
  const size_t size = device->wordAccess ? device->image.size() / 2 : device->image.size();
  return Reply({static_cast<uint8_t>(size & 0xFF), static_cast<uint8_t>(size >> 8),
                device->wordAccess ? kAccessByWords : kAccessByBytes});
}

IpmiReply ReadFruData(BmcModel& bmc, const IpmiMessage& request) {
  const FruDevice* device = Device(bmc, request.data[0]);
  if (device == nullptr) return Refuse(kSimCcInvalidDataField);
  const size_t offset = Offset(request);
  if (offset >= device->image.size()) return Refuse(kSimCcParameterOutOfRange);
  // The count returned may be less than asked: the device's end, or the most
  // this BMC returns at once.
  const size_t count = std::min<size_t>({request.data[3], device->image.size() - offset, Fru(bmc).readLimit});
  std::vector<uint8_t> data{static_cast<uint8_t>(count)};
  data.insert(data.end(), device->image.begin() + static_cast<long>(offset),
              device->image.begin() + static_cast<long>(offset + count));
  return Reply(data);
}

IpmiReply WriteFruData(BmcModel& bmc, const IpmiMessage& request) {
  FruDevice* device = Device(bmc, request.data[0]);
  if (device == nullptr) return Refuse(kSimCcInvalidDataField);
  const FruState& fru = Fru(bmc);
  if (fru.writeControl && !fru.unlocked) return Refuse(kSimCcFruWriteProtected);
  const size_t offset = Offset(request);
  const size_t count = request.data.size() - 3;
  if (offset >= device->image.size()) return Refuse(kSimCcParameterOutOfRange);
  // A write that would cross the end changes nothing.
  if (offset + count > device->image.size()) return Refuse(kSimCcRequestDataTruncated);
  std::copy(request.data.begin() + 3, request.data.end(), device->image.begin() + static_cast<long>(offset));
  return Reply({static_cast<uint8_t>(count)});
}

template <Handler handle>
IpmiReply OemFruCommand(BmcModel& bmc, const IpmiMessage& request) {
  if (!Fru(bmc).oemCommands) return Refuse(kSimCcInvalidCommand);
  return handle(bmc, request);
}

IpmiReply FruWriteControl(BmcModel& bmc, const IpmiMessage& request) {
  FruState& fru = Fru(bmc);
  if (!fru.writeControl) return Refuse(kSimCcInvalidCommand);
  if (request.data.size() != 1) return Refuse(kSimCcRequestDataLengthInvalid);
  if (request.data[0] != kOemFruUnlock && request.data[0] != kOemFruLock) return Refuse(kSimCcInvalidDataField);
  fru.unlocked = request.data[0] == kOemFruUnlock;
  return Reply({});
}

constexpr HandlerEntry kFruHandlers[] = {
    {kNetFnStorage, kCmdGetFruInventoryAreaInfo, 1, GetFruInventoryAreaInfo},
    {kNetFnStorage, kCmdReadFruData, 4, ReadFruData},
    {kNetFnStorage, kCmdWriteFruData, 3, WriteFruData},
    {kNetFnOemController, kCmdOemGetFruInventoryAreaInfo, 1, OemFruCommand<GetFruInventoryAreaInfo>},
    {kNetFnOemController, kCmdOemReadFruData, 4, OemFruCommand<ReadFruData>},
    {kNetFnOemController, kCmdOemWriteFruData, 3, OemFruCommand<WriteFruData>},
    {kNetFnOemController, kCmdOemFruWriteControl, 1, FruWriteControl},
};

// ---- The built-in FRU 0, laid out by the FRU Information Storage Definition ----

std::vector<uint8_t> TextField(const std::string& text) {
  std::vector<uint8_t> field{static_cast<uint8_t>(0xC0 | text.size())};
  field.insert(field.end(), text.begin(), text.end());
  return field;
}

// Version, length, body, end marker C1h, pad to whole units, zero checksum.
std::vector<uint8_t> InfoArea(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> area{0x01, 0x00};
  area.insert(area.end(), body.begin(), body.end());
  area.push_back(0xC1);
  while ((area.size() + 1) % 8 != 0) area.push_back(0x00);
  area[1] = static_cast<uint8_t>((area.size() + 1) / 8);
  unsigned sum = 0;
  for (uint8_t byte : area) sum += byte;
  area.push_back(static_cast<uint8_t>(-sum & 0xFF));
  return area;
}

std::vector<uint8_t> Fields(std::initializer_list<const char*> texts) {
  std::vector<uint8_t> bytes;
  for (const char* text : texts) {
    const std::vector<uint8_t> field = TextField(text);
    bytes.insert(bytes.end(), field.begin(), field.end());
  }
  return bytes;
}

uint8_t ZeroChecksum(const uint8_t* bytes, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>(-sum & 0xFF);
}

// Common header (offsets of the areas given, in order from chassis on) and the
// areas one after the other, padded with 00h to size.
std::vector<uint8_t> FruImage(const std::vector<std::pair<size_t, std::vector<uint8_t>>>& areas, size_t size) {
  std::vector<uint8_t> image(8, 0x00);
  image[0] = 0x01;
  for (const auto& [headerByte, area] : areas) {
    image[headerByte] = static_cast<uint8_t>(image.size() / 8);
    image.insert(image.end(), area.begin(), area.end());
  }
  image[7] = ZeroChecksum(image.data(), 7);
  image.resize(size, 0x00);
  return image;
}

std::vector<uint8_t> Concatenate(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> bytes;
  for (const std::vector<uint8_t>& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

constexpr size_t kHeaderChassis = 2, kHeaderBoard = 3, kHeaderProduct = 4, kHeaderMultiRecord = 5;
// English; made 2024-03-15 12:00 (14 834 160 minutes after 1996-01-01 = E259F0h).
const std::vector<uint8_t> kBoardLanguageAndDate = {0x19, 0xF0, 0x59, 0xE2};

// FRU 0 of a rack server, 2048 bytes: chassis (rack mount), board, product, and
// one management access record (type 03h) naming the system.
std::vector<uint8_t> ExampleServerFru() {
  const std::vector<uint8_t> chassis = Concatenate({{0x17}, Fields({"CH-7000-R2", "TLV24C0117"})});
  const std::vector<uint8_t> board = Concatenate(
      {kBoardLanguageAndDate, Fields({"Tolvane Systems", "TS-7000 Mainboard", "MB24A0339", "MB-7000-03", ""})});
  const std::vector<uint8_t> product = Concatenate(
      {{0x19}, Fields({"Tolvane Systems", "TS-7000 Rack Server", "TS7000-2U", "1.1", "SRV24C0117", "ASSET-0117", ""})});
  // End of list, format 2; sub-record 02h (system name).
  std::vector<uint8_t> record = Concatenate({{0x03, 0x82, 0x00, 0x00, 0x00, 0x02}, Fields({"rack12-node07"})});
  record.erase(record.begin() + 6);  // the name is bare bytes, not a type/length field
  record[2] = static_cast<uint8_t>(record.size() - 5);
  record[3] = ZeroChecksum(record.data() + 5, record.size() - 5);
  record[4] = ZeroChecksum(record.data(), 4);
  return FruImage({{kHeaderChassis, InfoArea(chassis)},
                   {kHeaderBoard, InfoArea(board)},
                   {kHeaderProduct, InfoArea(product)},
                   {kHeaderMultiRecord, record}},
                  2048);
}

// FRU 1, a riser: a board area whose first custom field is the board version
// (-fru1), then one more custom field. As large as FRU 0, since the tool takes
// the size of every FRU from device 0.
std::vector<uint8_t> ExampleRiserFru() {
  const std::vector<uint8_t> board =
      Concatenate({kBoardLanguageAndDate,
                   Fields({"Tolvane Systems", "TS-7000 Riser", "RS24B0042", "RS-7000-01", "", "R1.0", "LANE-X16"})});
  return FruImage({{kHeaderBoard, InfoArea(board)}}, 2048);
}

}  // namespace

std::span<const HandlerEntry> FruHandlers() { return kFruHandlers; }

FruState DefaultFruState() {
  FruState fru;
  fru.devices.push_back(FruDevice{0, ExampleServerFru(), false});
  fru.devices.push_back(FruDevice{1, ExampleRiserFru(), false});
  return fru;
}

const FruDevice* FindFruDevice(const FruState& fru, uint8_t id) {
  for (const FruDevice& device : fru.devices) {
    if (device.id == id) return &device;
  }
  return nullptr;
}

void ReadFruState(const nlohmann::json& object, FruState* fru, JsonReader& read, const std::string& baseDirectory) {
  read.Bool(object, "writeControl", &fru->writeControl);
  read.Bool(object, "unlocked", &fru->unlocked);
  read.Bool(object, "oemCommands", &fru->oemCommands);
  read.Unsigned(object, "readLimit", &fru->readLimit);
  if (!object.contains("devices")) return;
  std::vector<FruDevice> devices;
  for (const nlohmann::json& entry : object.at("devices")) {
    FruDevice device;
    read.Byte(entry, "id", &device.id);
    read.Bool(entry, "wordAccess", &device.wordAccess);
    read.Bytes(entry, "hex", &device.image);
    std::string file;
    read.Text(entry, "file", &file);
    if (!file.empty()) {
      const std::string path = file[0] == '/' || baseDirectory.empty() ? file : baseDirectory + "/" + file;
      std::ifstream in(path, std::ios::binary);
      if (!in) {
        read.Fail("file", "a readable FRU image file (" + path + ")");
        return;
      }
      device.image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    unsigned size = static_cast<unsigned>(device.image.size());
    read.Unsigned(entry, "size", &size);
    if (size < device.image.size()) return read.Fail("size", "at least the length of the image");
    device.image.resize(size, 0x00);
    const size_t reported = device.wordAccess ? size / 2 : size;
    if (reported > kMaxReportedSize || (device.wordAccess && size % 2 != 0)) {
      return read.Fail("size", "at most FFFFh bytes (words: an even count of bytes, at most FFFFh words)");
    }
    devices.push_back(device);
  }
  fru->devices = devices;
}

nlohmann::json FruStateToJson(const FruState& fru) {
  nlohmann::json devices = nlohmann::json::array();
  for (const FruDevice& device : fru.devices) {
    devices.push_back({{"id", device.id}, {"wordAccess", device.wordAccess}, {"hex", HexBytesText(device.image)}});
  }
  return {{"writeControl", fru.writeControl},
          {"unlocked", fru.unlocked},
          {"oemCommands", fru.oemCommands},
          {"readLimit", fru.readLimit},
          {"devices", devices}};
}

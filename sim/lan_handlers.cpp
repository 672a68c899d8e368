// Transport network function: Get and Set LAN Configuration Parameters on the
// LAN channel (IPMI 2.0 sections 23.1 and 23.2).
#include "sim/bmc_model.hpp"
#include "sim/handler.hpp"
#include "sim/json_reader.hpp"
#include "sim/lan_state.hpp"

namespace {

constexpr uint8_t kNetFnTransport = 0x0C;
constexpr uint8_t kCmdSetLanConfigurationParameters = 0x01;
constexpr uint8_t kCmdGetLanConfigurationParameters = 0x02;

constexpr uint8_t kLanChannel = 0x01;
constexpr uint8_t kChannelMask = 0x0F;
constexpr uint8_t kRevisionOnlyBit = 0x80;
// Parameter revision this BMC reports (IPMI 2.0: 11h for the current format).
constexpr uint8_t kParameterRevision = 0x11;

IpmiReply GetLanParameter(BmcModel& bmc, const IpmiMessage& request) {
  if ((request.data[0] & kChannelMask) != kLanChannel) return Refuse(kSimCcInvalidDataField);
  if ((request.data[0] & kRevisionOnlyBit) != 0) return Reply({kParameterRevision});
  const auto& parameters = bmc.State().lan.parameters;
  const auto found = parameters.find(request.data[1]);
  if (found == parameters.end()) return Refuse(kSimCcParameterNotSupported);
  std::vector<uint8_t> data{kParameterRevision};
  data.insert(data.end(), found->second.begin(), found->second.end());
  return Reply(data);
}

IpmiReply SetLanParameter(BmcModel& bmc, const IpmiMessage& request) {
  if ((request.data[0] & kChannelMask) != kLanChannel) return Refuse(kSimCcInvalidDataField);
  auto& parameters = bmc.State().lan.parameters;
  const auto found = parameters.find(request.data[1]);
  if (found == parameters.end()) return Refuse(kSimCcParameterNotSupported);
  if (request.data.size() - 2 != found->second.size()) return Refuse(kSimCcRequestDataLengthInvalid);
  found->second.assign(request.data.begin() + 2, request.data.end());
  return Reply({});
}

constexpr HandlerEntry kLanHandlers[] = {
    {kNetFnTransport, kCmdGetLanConfigurationParameters, 4, GetLanParameter},
    {kNetFnTransport, kCmdSetLanConfigurationParameters, 2, SetLanParameter},
};

bool ParseSelector(const std::string& key, uint8_t* selector) {
  std::vector<uint8_t> bytes;
  if (!ParseHexBytes(key, &bytes) || bytes.size() != 1) return false;
  *selector = bytes[0];
  return true;
}

}  // namespace

std::span<const HandlerEntry> LanHandlers() { return kLanHandlers; }

LanState DefaultLanState() {
  LanState lan;
  auto set = [&](uint8_t selector, const char* bytes) { ParseHexBytes(bytes, &lan.parameters[selector]); };
  set(0x03, "C0 A8 00 78");        // IP address 192.168.0.120
  set(0x04, "01");                 // static address
  set(0x05, "00 1B 21 5A 3C 7E");  // MAC address
  set(0x06, "FF FF FF 00");        // subnet mask
  set(0x0A, "00");                 // gratuitous ARP off
  set(0x0C, "C0 A8 00 01");        // default gateway
  set(0x14, "00 00");              // VLAN off, ID 0
  return lan;
}

void ReadLanState(const nlohmann::json& object, LanState* lan, JsonReader& read) {
  if (!object.is_object()) return read.Fail("lan", "an object of parameter selectors");
  for (const auto& [key, value] : object.items()) {
    uint8_t selector = 0;
    if (!ParseSelector(key, &selector)) return read.Fail("lan", "keyed by parameter selectors such as \"0C\"");
    if (value.is_null()) {
      lan->parameters.erase(selector);
      continue;
    }
    read.Bytes(object, key.c_str(), &lan->parameters[selector]);
  }
}

nlohmann::json LanStateToJson(const LanState& lan) {
  nlohmann::json object = nlohmann::json::object();
  for (const auto& [selector, bytes] : lan.parameters) object[ByteText(selector)] = HexBytesText(bytes);
  // A default parameter the BMC does not support is written as null, so that a
  // state read back does not regain it from the defaults.
  for (const auto& [selector, bytes] : DefaultLanState().parameters) {
    if (lan.parameters.count(selector) == 0) object[ByteText(selector)] = nullptr;
  }
  return object;
}

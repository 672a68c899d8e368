#include "lan/lan_parameters.hpp"

#include "lan/address_text.hpp"
#include "support/format.hpp"
#include "support/text.hpp"
#include "transport/ipmi.hpp"

namespace {

constexpr uint32_t kMaxParameterBytes = 16;
constexpr uint8_t kNoSetSelector = 0x00;
constexpr uint8_t kNoBlockSelector = 0x00;

uint8_t ReadDottedQuad(uint8_t selector, char* text) {
  uint8_t value[4];
  const uint8_t cc = GetLanParameter(selector, value, sizeof value);
  if (cc == kCcSuccess) FormatString(text, kIpTextSize, "%d.%d.%d.%d", value[0], value[1], value[2], value[3]);
  return cc;
}

}  // namespace

uint8_t GetLanParameter(uint8_t selector, uint8_t* value, uint32_t length) {
  // Channel in bits 3:0 with bit 7 clear: the value, not only the revision.
  const uint8_t request[] = {kLanChannel, selector, kNoSetSelector, kNoBlockSelector};
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnTransport, kCmdGetLanConfigurationParameters, request, &reply);
  ByteReader reader = reply.Reader();
  reader.Skip(1);  // every Get reply starts with the parameter revision
  uint8_t bytes[kMaxParameterBytes];
  const std::span<uint8_t> wanted(bytes, length < kMaxParameterBytes ? length : kMaxParameterBytes);
  reader.Copy(wanted);
  const uint8_t result = DecodedResult(cc, reader);
  if (result == kCcSuccess) CopyBytes(value, bytes, wanted.size());
  return result;
}

uint8_t SetLanParameter(uint8_t selector, const uint8_t* value, uint32_t length) {
  uint8_t request[2 + kMaxParameterBytes] = {kLanChannel, selector};
  if (length > kMaxParameterBytes) return kCcRequestDataLengthInvalid;
  CopyBytes(request + 2, value, length);
  return IpmiCommand(kNetFnTransport, kCmdSetLanConfigurationParameters, std::span(request, 2 + length));
}

uint8_t ReadLanIpAddress(char* text) { return ReadDottedQuad(kLanParamIpAddress, text); }
uint8_t ReadLanSubnetMask(char* text) { return ReadDottedQuad(kLanParamSubnetMask, text); }
uint8_t ReadLanGateway(char* text) { return ReadDottedQuad(kLanParamDefaultGateway, text); }

uint8_t ReadLanMacAddress(char* text) {
  uint8_t mac[6];
  const uint8_t cc = GetLanParameter(kLanParamMacAddress, mac, sizeof mac);
  if (cc == kCcSuccess) {
    FormatString(text, kMacTextSize, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
  }
  return cc;
}

uint8_t ReadIpAddressSource(int* dhcpEnabled) {
  uint8_t source = 0;
  const uint8_t cc = GetLanParameter(kLanParamIpAddressSource, &source, 1);
  // The whole byte is compared: unspecified, BIOS-assigned and other protocols
  // all mean the address is not the BMC's static one.
  if (cc == kCcSuccess) *dhcpEnabled = source != kIpSourceStatic ? 1 : 0;
  return cc;
}

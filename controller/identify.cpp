#include "controller/identify.hpp"

#include "controller/controller_commands.hpp"
#include "transport/ipmi.hpp"

namespace {

// Get Channel Authentication Capabilities (IPMI 2.0 section 22.13) on the LAN
// channel at Callback level; bit 7 of the channel byte asks for the IPMI 2.0
// extended data.
constexpr uint8_t kRequestIpmi20ExtendedData = 0x80;
constexpr uint8_t kPrivilegeCallback = 0x01;
// Reply: byte 1 bit 7 "IPMI 2.0 extended capabilities available", byte 3 bit 1
// "channel supports IPMI 2.0 connections".
constexpr uint8_t kExtendedCapabilitiesAvailable = 0x80;
constexpr uint8_t kIpmi20ConnectionsSupported = 0x02;

// Get Device ID bytes 2 and 3, then byte 11 (the first auxiliary revision byte).
constexpr size_t kFirmwareRevisionByte = 2;
constexpr size_t kAuxiliaryRevisionByte = 11;
// Firmware revision 1 of 02h also counts as IPMI 2.0.
constexpr uint8_t kIpmi20FirmwareRevision1 = 0x02;

uint8_t GetChannelAuthenticationCapabilities(uint8_t channelByte, IpmiResponse* reply) {
  const uint8_t request[] = {channelByte, kPrivilegeCallback};
  return IpmiExchange(kNetFnApp, kCmdGetChannelAuthenticationCapabilities, request, reply);
}

bool ReportsIpmi20(const IpmiResponse& reply) {
  ByteReader reader = reply.Reader();
  reader.Skip(1);  // the channel
  const uint8_t authTypeSupport = reader.Byte();
  reader.Skip(1);  // the authentication status
  const uint8_t extendedCapabilities = reader.Byte();
  return !reader.Short() && authTypeSupport >= kExtendedCapabilitiesAvailable &&
         (extendedCapabilities & kIpmi20ConnectionsSupported) != 0;
}

}  // namespace

uint8_t GetDeviceId(DeviceIdReply* reply) {
  IpmiResponse raw;
  const uint8_t cc = IpmiExchange(kNetFnApp, kCmdGetDeviceId, {}, &raw);
  ByteReader reader = raw.Reader();
  reader.Skip(kFirmwareRevisionByte);
  reply->firmwareRevision1 = reader.Byte();
  reply->firmwareRevision2 = reader.Byte();
  const uint8_t result = DecodedResult(cc, reader);
  reply->hasAuxiliary = raw.count > kAuxiliaryRevisionByte;
  reply->auxiliaryRevision = reply->hasAuxiliary ? raw.data[kAuxiliaryRevisionByte] : 0;
  return result;
}

uint8_t IdentifyBmc(uint8_t* bmcType) {
  IpmiResponse reply;
  if (IpmiExchange(kNetFnApp, kCmdGetSystemGuid, {}, &reply) == kCcSuccess) {
    const uint8_t family = BmcTypeFromGuid(reply.data, reply.count);
    if (family != kBmcTypeNone) {
      *bmcType = family;
      return kCcSuccess;
    }
  }

  bool ipmi20 = false;
  if (GetChannelAuthenticationCapabilities(kLanChannel | kRequestIpmi20ExtendedData, &reply) == kCcSuccess) {
    ipmi20 = ReportsIpmi20(reply);
  } else {
    // A controller that refuses the extended form may still be IPMI 2.0 by its
    // firmware revision.
    IpmiResponse deviceId;
    ipmi20 = IpmiExchange(kNetFnApp, kCmdGetDeviceId, {}, &deviceId) == kCcSuccess &&
             deviceId.count > kFirmwareRevisionByte && deviceId.data[kFirmwareRevisionByte] == kIpmi20FirmwareRevision1;
  }
  if (ipmi20) {
    *bmcType = kBmcTypeIpmi20;
    return kCcSuccess;
  }

  // Unidentified. The plain request (or Get Device ID after it) tells whether the
  // controller answers at all, which the restart wait relies on.
  *bmcType = kBmcTypeUnidentified;
  if (GetChannelAuthenticationCapabilities(kLanChannel, &reply) == kCcSuccess) return kCcSuccess;
  return IpmiExchange(kNetFnApp, kCmdGetDeviceId, {}, &reply);
}

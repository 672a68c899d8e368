#include "controller/identify.hpp"

#include "controller/controller_commands.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

uint8_t BmcType;

namespace {

// Get Channel Authentication Capabilities (IPMI 2.0 section 22.13) on the LAN
// channel at Callback level; bit 7 of the channel byte asks for the IPMI 2.0
// extended data.
constexpr uint8_t kRequestIpmi20ExtendedData = 0x80;
constexpr uint8_t kPrivilegeCallback = 0x01;
// Response data: byte 1 bit 7 "IPMI 2.0 extended capabilities available",
// byte 3 bit 1 "channel supports IPMI 2.0 connections".
constexpr uint32_t kAuthTypeSupportByte = 1;
constexpr uint8_t kExtendedCapabilitiesAvailable = 0x80;
constexpr uint32_t kExtendedCapabilitiesByte = 3;
constexpr uint8_t kIpmi20ConnectionsSupported = 0x02;

// Get Device ID byte 2 (firmware revision 1) of 02h also counts as IPMI 2.0.
constexpr uint32_t kFirmwareRevision1Byte = 2;
constexpr uint8_t kIpmi20FirmwareRevision1 = 0x02;

uint8_t GetChannelAuthenticationCapabilities(uint8_t channelByte, std::span<uint8_t> response, uint32_t* count) {
  const uint8_t request[] = {channelByte, kPrivilegeCallback};
  return IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetChannelAuthenticationCapabilities, request, response, count);
}

bool ReportsIpmi20(const uint8_t* response, uint32_t count) {
  return count > kExtendedCapabilitiesByte && response[kAuthTypeSupportByte] >= kExtendedCapabilitiesAvailable &&
         (response[kExtendedCapabilitiesByte] & kIpmi20ConnectionsSupported) != 0;
}

}  // namespace

uint8_t IdentifyBmc() {
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;

  if (IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetSystemGuid, {}, response, &count) == kCcSuccess) {
    const uint8_t family = BmcTypeFromGuid(response, count);
    if (family != kBmcTypeNone) {
      BmcType = family;
      return kCcSuccess;
    }
  }

  bool ipmi20 = false;
  count = 0;
  const uint8_t extended =
      GetChannelAuthenticationCapabilities(kLanChannel | kRequestIpmi20ExtendedData, response, &count);
  if (extended == kCcSuccess) {
    ipmi20 = ReportsIpmi20(response, count);
  } else {
    // A controller that refuses the extended form may still be IPMI 2.0 by its
    // firmware revision.
    count = 0;
    ipmi20 = IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, response, &count) == kCcSuccess &&
             count > kFirmwareRevision1Byte && response[kFirmwareRevision1Byte] == kIpmi20FirmwareRevision1;
  }
  if (ipmi20) {
    BmcType = kBmcTypeIpmi20;
    return kCcSuccess;
  }

  // Unidentified. The plain request (or Get Device ID after it) tells whether the
  // controller answers at all, which the restart wait relies on.
  BmcType = kBmcTypeUnidentified;
  if (GetChannelAuthenticationCapabilities(kLanChannel, response, &count) == kCcSuccess) return kCcSuccess;
  return IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, {}, response, &count);
}

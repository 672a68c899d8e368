#include "controller/identify.hpp"

#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

uint8_t BmcType;

namespace {

// Whole-GUID prefixes that name a family by themselves.
struct GuidPrefix {
  uint8_t bytes[8];
  uint32_t length;
  uint8_t bmcType;
};
constexpr GuidPrefix kGuidPrefixes[] = {
    {{0x20, 0x00, 0x0E, 0x40, 0x02, 0x7F, 0x78, 0x08}, 8, 3},
    {{0x02, 0x00, 0x00, 0xFF, 0xFE, 0x00}, 6, 4},
};

// GUIDs of the form <family character> "001VQ": byte 0 names the family.
constexpr uint8_t kFamilyMarker[] = {'0', '0', '1', 'V', 'Q'};
struct GuidFamily {
  uint8_t character;
  uint8_t bmcType;
};
constexpr GuidFamily kGuidFamilies[] = {
    {'0', 5}, {'1', 6},  {'2', 9},  {'3', 7},  {'4', 10}, {'5', 10},
    {'6', 11}, {'7', 13}, {'8', 8}, {'9', 12}, {'C', 14}, {'D', 15},
};

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

bool StartsWith(const uint8_t* data, uint32_t count, const uint8_t* prefix, uint32_t length) {
  if (count < length) return false;
  for (uint32_t i = 0; i < length; ++i) {
    if (data[i] != prefix[i]) return false;
  }
  return true;
}

uint8_t GetChannelAuthenticationCapabilities(uint8_t channelByte, uint8_t* response, uint32_t* count) {
  const uint8_t request[] = {channelByte, kPrivilegeCallback};
  return IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetChannelAuthenticationCapabilities, request, sizeof request,
                     response, count);
}

bool ReportsIpmi20(const uint8_t* response, uint32_t count) {
  return count > kExtendedCapabilitiesByte && response[kAuthTypeSupportByte] >= kExtendedCapabilitiesAvailable &&
         (response[kExtendedCapabilitiesByte] & kIpmi20ConnectionsSupported) != 0;
}

}  // namespace

uint8_t BmcTypeFromGuid(const uint8_t* guid, uint32_t count) {
  for (const GuidPrefix& prefix : kGuidPrefixes) {
    if (StartsWith(guid, count, prefix.bytes, prefix.length)) return prefix.bmcType;
  }
  if (count < 1 + sizeof kFamilyMarker || !StartsWith(guid + 1, count - 1, kFamilyMarker, sizeof kFamilyMarker)) {
    return kBmcTypeNone;
  }
  for (const GuidFamily& family : kGuidFamilies) {
    if (guid[0] == family.character) return family.bmcType;
  }
  return kBmcTypeNone;
}

uint8_t IdentifyBmc() {
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;

  if (IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetSystemGuid, nullptr, 0, response, &count) == kCcSuccess) {
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
    ipmi20 = IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, nullptr, 0, response, &count) == kCcSuccess &&
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
  return IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdGetDeviceId, nullptr, 0, response, &count);
}

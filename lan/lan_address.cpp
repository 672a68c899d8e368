#include "lan/lan_address.hpp"

#include "lan/address_text.hpp"
#include "lan/lan_parameters.hpp"
#include "platform/platform.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// The BMC applies a new address before it reports it back.
constexpr uint32_t kApplyWaitUs = 6000000;

// What differs between the three IPv4 settings.
struct Ipv4Setting {
  uint8_t selector;
  uint8_t (*read)(char* text);
  const char* label;          // "<label>=<address>"
  const char* readFailure;    // the failure line's start when the value cannot be read
  const char* sourceFailure;  // ... when the address source cannot be read
  const char* refusal;
  const char* formatError;
  const char* setFailure;
};

constexpr Ipv4Setting kIpAddressSetting = {
    kLanParamIpAddress,
    ReadLanIpAddress,
    "IP",
    "Failed to get IP Address",
    "Failed to determine lan source",
    "IP address can not be changed because DHCP option is enabled.\n",
    "Not a valid IP address format.\n",
    "Failed to set IP address",
};
constexpr Ipv4Setting kSubnetMaskSetting = {
    kLanParamSubnetMask,
    ReadLanSubnetMask,
    "Subnet Mask",
    "Failed to get subnet mask",
    "Failed to determine IP address source",
    "Subnet mask can not be changed because DHCP option is enabled.\n",
    "Subnet Mask format error.\n",
    "Failed to set subnet mask",
};
constexpr Ipv4Setting kGatewaySetting = {
    kLanParamDefaultGateway,
    ReadLanGateway,
    "Gateway",
    "Failed to get gateway IP Address",
    "Failed to determine IP address source",
    "Gateway can not be changed because DHCP option is enabled.\n",
    "Not a valid IP address format.\n",
    "Failed to set gateway IP address",
};

// "<label>=<value>" with the value read, or the failure line.
int ShowValue(uint8_t (*read)(char* text), const char* label, const char* failure) {
  char text[kMacTextSize];
  const uint8_t cc = read(text);
  if (cc != kCcSuccess) return ReportFailure(failure, cc);
  Printf("%s=%s\n", label, text);
  return kStatusSuccess;
}

int ShowSetting(const Ipv4Setting& setting) { return ShowValue(setting.read, setting.label, setting.readFailure); }

int ShowMacAddress() { return ShowValue(ReadLanMacAddress, "MAC", "Failed to get MAC Address"); }

// A static address can be changed; one from DHCP or elsewhere is the BMC's to manage.
int SetIpv4(const Ipv4Setting& setting, const char* text) {
  int dhcpEnabled = 0;
  uint8_t cc = ReadIpAddressSource(&dhcpEnabled);
  if (cc != kCcSuccess) return ReportFailure(setting.sourceFailure, cc);
  if (dhcpEnabled == 1) {
    Printf("%s", setting.refusal);
    return kStatusFailed;
  }
  uint8_t bytes[4];
  if (ParseDottedQuad(text, bytes) != 0) {
    Printf("%s", setting.formatError);
    return kStatusInvalidOperand;
  }
  cc = SetLanParameter(setting.selector, bytes, sizeof bytes);
  if (cc != kCcSuccess) return ReportFailure(setting.setFailure, cc);
  StallMicroseconds(kApplyWaitUs);
  return ShowSetting(setting);
}

}  // namespace

int ShowIpAndMac() {
  const int status = ShowSetting(kIpAddressSetting);
  if (status != kStatusSuccess) return status;
  return ShowMacAddress();
}

int SetIpAddress(const char* text) { return SetIpv4(kIpAddressSetting, text); }
int SetSubnetMask(const char* text) { return SetIpv4(kSubnetMaskSetting, text); }
int SetGateway(const char* text) { return SetIpv4(kGatewaySetting, text); }

int ShowSubnetMask() { return ShowSetting(kSubnetMaskSetting); }

int ShowGateway() { return ShowSetting(kGatewaySetting); }

int SetMacAddress(const char* text) {
  uint8_t mac[6];
  if (ParseMacText(text, mac) != 0) {
    Printf("Not a valid MAC address format.\n");
    return kStatusInvalidOperand;
  }
  const uint8_t cc = SetLanParameter(kLanParamMacAddress, mac, sizeof mac);
  if (cc != kCcSuccess) return ReportFailure("Failed to set MAC address", cc);
  StallMicroseconds(kApplyWaitUs);
  return ShowMacAddress();
}

int ShowDhcpState() {
  int dhcpEnabled = 0;
  const uint8_t cc = ReadIpAddressSource(&dhcpEnabled);
  if (cc != kCcSuccess) return ReportFailure("Failed to determine IP address source", cc);
  Printf("%s", dhcpEnabled == 1 ? "DHCP is currently enabled.\n" : "DHCP is currently disabled.\n");
  return kStatusSuccess;
}

int SetDhcp(bool enable) {
  const uint8_t source = enable ? kIpSourceDhcp : kIpSourceStatic;
  const uint8_t cc = SetLanParameter(kLanParamIpAddressSource, &source, 1);
  if (cc != kCcSuccess) return ReportFailure(enable ? "Failed to enable DHCP" : "Failed to disable DHCP", cc);
  Printf("Successfully %s DHCP.\n", EnableWord(enable));
  return kStatusSuccess;
}

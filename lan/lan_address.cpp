#include "lan/lan_address.hpp"

#include "support/exit_status.hpp"
#include "lan/address_text.hpp"
#include "lan/lan_parameters.hpp"
#include "platform/platform.hpp"
#include "support/format.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// The BMC applies a new address before it reports it back.
constexpr uint32_t kApplyWaitUs = 6000000;

// What differs between the three IPv4 settings.
struct Ipv4Setting {
  uint8_t selector;
  uint8_t (*read)(char* text);
  const char* sourceFailure;
  const char* refusal;
  const char* formatError;
  const char* setFailure;
  const char* readFailure;
  const char* valueLine;
};

constexpr Ipv4Setting kIpAddressSetting = {
    kLanParamIpAddress,
    ReadLanIpAddress,
    "Failed to determine lan source, Completion Code=%02Xh\n",
    "IP address can not be changed because DHCP option is enabled.\n",
    "Not a valid IP address format.\n",
    "Failed to set IP address, Completion Code=%02Xh\n",
    "Failed to get IP Address, Completion Code=%02Xh\n",
    "IP=%s\n",
};
constexpr Ipv4Setting kSubnetMaskSetting = {
    kLanParamSubnetMask,
    ReadLanSubnetMask,
    "Failed to determine IP address source, Completion Code=%02Xh\n",
    "Subnet mask can not be changed because DHCP option is enabled.\n",
    "Subnet Mask format error.\n",
    "Failed to set subnet mask, Completion Code=%02Xh\n",
    "Failed to get subnet mask, Completion Code=%02Xh\n",
    "Subnet Mask=%s\n",
};
constexpr Ipv4Setting kGatewaySetting = {
    kLanParamDefaultGateway,
    ReadLanGateway,
    "Failed to determine IP address source, Completion Code=%02Xh\n",
    "Gateway can not be changed because DHCP option is enabled.\n",
    "Not a valid IP address format.\n",
    "Failed to set gateway IP address, Completion Code=%02Xh\n",
    "Failed to get gateway IP Address, Completion Code=%02Xh\n",
    "Gateway=%s\n",
};

// Prints line with the value read, or failureLine with the completion code.
int ShowValue(uint8_t (*read)(char* text), const char* line, const char* failureLine) {
  char text[kIpTextSize];
  const uint8_t cc = read(text);
  if (cc != kCcSuccess) {
    Printf(failureLine, cc);
    return kStatusFailed;
  }
  Printf(line, text);
  return kStatusSuccess;
}

// A static address can be changed; one from DHCP or elsewhere is the BMC's to manage.
int SetIpv4(const Ipv4Setting& setting, const char* text) {
  int dhcpEnabled = 0;
  uint8_t cc = ReadIpAddressSource(&dhcpEnabled);
  if (cc != kCcSuccess) {
    Printf(setting.sourceFailure, cc);
    return kStatusFailed;
  }
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
  if (cc != kCcSuccess) {
    Printf(setting.setFailure, cc);
    return kStatusFailed;
  }
  StallMicroseconds(kApplyWaitUs);
  return ShowValue(setting.read, setting.valueLine, setting.readFailure);
}

int ShowMacAddress() {
  char mac[kMacTextSize];
  const uint8_t cc = ReadLanMacAddress(mac);
  if (cc != kCcSuccess) {
    Printf("Failed to get MAC Address, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  Printf("MAC=%s\n", mac);
  return kStatusSuccess;
}

}  // namespace

int ShowIpAndMac() {
  const int status = ShowValue(ReadLanIpAddress, "IP=%s\n", "Failed to get IP Address, Completion Code=%02Xh\n");
  if (status != kStatusSuccess) return status;
  return ShowMacAddress();
}

int SetIpAddress(const char* text) { return SetIpv4(kIpAddressSetting, text); }
int SetSubnetMask(const char* text) { return SetIpv4(kSubnetMaskSetting, text); }
int SetGateway(const char* text) { return SetIpv4(kGatewaySetting, text); }

int ShowSubnetMask() {
  return ShowValue(ReadLanSubnetMask, "Subnet Mask=%s\n", "Failed to get subnet mask, Completion Code=%02Xh\n");
}

int ShowGateway() {
  return ShowValue(ReadLanGateway, "Gateway=%s\n", "Failed to get gateway IP Address, Completion Code=%02Xh\n");
}

int SetMacAddress(const char* text) {
  uint8_t mac[6];
  if (ParseMacText(text, mac) != 0) {
    Printf("Not a valid MAC address format.\n");
    return kStatusInvalidOperand;
  }
  const uint8_t cc = SetLanParameter(kLanParamMacAddress, mac, sizeof mac);
  if (cc != kCcSuccess) {
    Printf("Failed to set MAC address, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  StallMicroseconds(kApplyWaitUs);
  return ShowMacAddress();
}

int ShowDhcpState() {
  int dhcpEnabled = 0;
  const uint8_t cc = ReadIpAddressSource(&dhcpEnabled);
  if (cc != kCcSuccess) {
    Printf("Failed to determine IP address source, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  Printf("%s", dhcpEnabled == 1 ? "DHCP is currently enabled.\n" : "DHCP is currently disabled.\n");
  return kStatusSuccess;
}

int SetDhcp(int enable) {
  const uint8_t source = enable == 1 ? kIpSourceDhcp : kIpSourceStatic;
  const uint8_t cc = SetLanParameter(kLanParamIpAddressSource, &source, 1);
  if (cc != kCcSuccess) {
    Printf("Failed to %s DHCP, Completion Code=%02Xh\n", EnableWord(enable), cc);
    return kStatusFailed;
  }
  Printf("Successfully %s DHCP.\n", EnableWord(enable));
  return kStatusSuccess;
}

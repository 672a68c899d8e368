#include "lan/vlan_arp.hpp"

#include "support/exit_status.hpp"
#include "lan/lan_parameters.hpp"
#include "support/format.hpp"
#include "transport/ipmi_defs.hpp"

int VlanEnabled;
int VlanId;

namespace {

// Parameter 0Ah bit 0: BMC-generated gratuitous ARPs (bit 1, ARP responses, is
// always written as 0).
constexpr uint8_t kGratuitousArpOn = 0x01;
constexpr uint8_t kGratuitousArpOff = 0x00;

// Parameter 14h byte 2: bit 7 enables tagging, bits 3:0 are the ID's high nibble.
constexpr uint8_t kVlanEnableBit = 0x80;
constexpr uint8_t kVlanIdHighMask = 0x0F;

}  // namespace

int SetGratuitousArp(int enable) {
  const uint8_t value = enable == 1 ? kGratuitousArpOn : kGratuitousArpOff;
  const uint8_t cc = SetLanParameter(kLanParamArpControl, &value, 1);
  if (cc == kCcSuccess) {
    Printf("Successfully %s Gratuitous ARP.\n", EnableWord(enable));
    return kStatusSuccess;
  }
  if (cc == kCcParameterNotSupported) {
    Printf("Gratuitous ARP is not supported for this BMC.\n");
  } else {
    Printf("Failed to %s Gratuitous ARP, Completion Code=%02Xh\n", EnableWord(enable), cc);
  }
  return kStatusFailed;
}

uint8_t ReadVlanState() {
  uint8_t value[2];
  const uint8_t cc = GetLanParameter(kLanParamVlanId, value, sizeof value);
  if (cc == kCcSuccess) {
    VlanEnabled = (value[1] & kVlanEnableBit) == kVlanEnableBit ? 1 : 0;
    VlanId = (value[1] & kVlanIdHighMask) * 256 + value[0];
  }
  return cc;
}

int ShowVlanState() {
  const uint8_t cc = ReadVlanState();
  if (cc != kCcSuccess) {
    Printf("Failed to get VLan status, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  Printf("VLAN is now %s.\n", VlanEnabled == 1 ? "enabled" : "disabled");
  if (VlanEnabled == 1) Printf("Tag: %d\n", VlanId);
  return kStatusSuccess;
}

int SetVlan(int enable, int tag) {
  uint8_t cc = ReadVlanState();
  if (cc != kCcSuccess) {
    Printf("Failed to get VLan status, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  if (tag > 0) VlanId = tag;
  const uint8_t value[2] = {static_cast<uint8_t>(VlanId & 0xFF),
                            static_cast<uint8_t>((VlanId >> 8) | (enable == 1 ? kVlanEnableBit : 0))};
  cc = SetLanParameter(kLanParamVlanId, value, sizeof value);
  if (cc != kCcSuccess) {
    Printf("Failed to set VLan status, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  return ShowVlanState();
}

#include "lan/vlan_arp.hpp"

#include "lan/lan_parameters.hpp"
#include "support/bytes.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// Parameter 0Ah bit 0: BMC-generated gratuitous ARPs (bit 1, ARP responses, is
// always written as 0).
constexpr uint8_t kGratuitousArpOn = 0x01;
constexpr uint8_t kGratuitousArpOff = 0x00;

// Parameter 14h: the ID's low byte, then bit 7 enabling tagging and bits 3:0
// the ID's high nibble.
constexpr uint8_t kVlanEnableBit = 0x80;
constexpr uint8_t kVlanIdHighMask = 0x0F;

constexpr const char kVlanReadFailure[] = "Failed to get VLan status";

}  // namespace

int SetGratuitousArp(bool enable) {
  const uint8_t value = enable ? kGratuitousArpOn : kGratuitousArpOff;
  const uint8_t cc = SetLanParameter(kLanParamArpControl, &value, 1);
  if (cc == kCcSuccess) {
    Printf("Successfully %s Gratuitous ARP.\n", EnableWord(enable));
    return kStatusSuccess;
  }
  if (cc == kCcParameterNotSupported) {
    Printf("Gratuitous ARP is not supported for this BMC.\n");
    return kStatusFailed;
  }
  return ReportFailure(enable ? "Failed to enable Gratuitous ARP" : "Failed to disable Gratuitous ARP", cc);
}

uint8_t ReadVlanState(VlanState* state) {
  uint8_t value[2];
  const uint8_t cc = GetLanParameter(kLanParamVlanId, value, sizeof value);
  if (cc == kCcSuccess) {
    state->enabled = (value[1] & kVlanEnableBit) == kVlanEnableBit;
    state->id = (value[1] & kVlanIdHighMask) << kBitsPerByte | value[0];
  }
  return cc;
}

int ShowVlanState() {
  VlanState state{};
  const uint8_t cc = ReadVlanState(&state);
  if (cc != kCcSuccess) return ReportFailure(kVlanReadFailure, cc);
  Printf("VLAN is now %s.\n", state.enabled ? "enabled" : "disabled");
  if (state.enabled) Printf("Tag: %d\n", state.id);
  return kStatusSuccess;
}

int SetVlan(bool enable, int tag) {
  VlanState state{};
  uint8_t cc = ReadVlanState(&state);
  if (cc != kCcSuccess) return ReportFailure(kVlanReadFailure, cc);
  const int id = tag > 0 ? tag : state.id;
  const uint8_t value[2] = {static_cast<uint8_t>(id & kByteMask),
                            static_cast<uint8_t>((id >> kBitsPerByte) | (enable ? kVlanEnableBit : 0))};
  cc = SetLanParameter(kLanParamVlanId, value, sizeof value);
  if (cc != kCcSuccess) return ReportFailure("Failed to set VLan status", cc);
  return ShowVlanState();
}

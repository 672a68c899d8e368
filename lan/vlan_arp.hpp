// -garp and -vlan: gratuitous ARP and 802.1Q VLAN tagging of the BMC's LAN port.
#pragma once

#include <cstdint>

int SetGratuitousArp(bool enable);
int ShowVlanState();
// tag 1..4094 sets that ID; 0 keeps the ID the BMC holds.
int SetVlan(bool enable, int tag);

// LAN parameter 14h as the tool reads it.
struct VlanState {
  bool enabled;
  int id;  // 12 bits
};
// Reads parameter 14h; the completion code, *state written only on success.
uint8_t ReadVlanState(VlanState* state);

// -garp and -vlan: gratuitous ARP and 802.1Q VLAN tagging of the BMC's LAN port.
#pragma once

#include <cstdint>

// The last VLAN state read or set.
extern int VlanEnabled;
extern int VlanId;

int SetGratuitousArp(int enable);
int ShowVlanState();
// tag 1..4094 sets that ID; 0 keeps the ID the BMC holds.
int SetVlan(int enable, int tag);
// Reads parameter 14h into VlanEnabled and VlanId; the completion code.
uint8_t ReadVlanState();

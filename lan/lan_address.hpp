// -m, -a, -k, -g, -dhcp: the BMC's LAN addresses and address source.
#pragma once

int ShowIpAndMac();
int SetIpAddress(const char* text);
int SetMacAddress(const char* text);
int ShowSubnetMask();
int SetSubnetMask(const char* text);
int ShowDhcpState();
int SetDhcp(bool enable);
int ShowGateway();
int SetGateway(const char* text);

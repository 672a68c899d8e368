#include "app/operations.hpp"

#include "controller/self_test.hpp"
#include "lan/lan_address.hpp"
#include "lan/vlan_arp.hpp"
#include "transport/raw_request.hpp"

namespace {

struct OperationEntry {
  Operation operation;
  OperationRunner run;
};

constexpr OperationEntry kOperationTable[] = {
    {Operation::RawRequest, [](const Selection& s) { return RawRequest(s.argc, s.argv + 2); }},
    {Operation::ShowSelfTest, [](const Selection&) { return ShowSelfTest(); }},
    {Operation::ShowIpAndMac, [](const Selection&) { return ShowIpAndMac(); }},
    {Operation::SetIpAddress, [](const Selection& s) { return SetIpAddress(s.argv[2]); }},
    {Operation::SetMacAddress, [](const Selection& s) { return SetMacAddress(s.argv[2]); }},
    {Operation::ShowSubnetMask, [](const Selection&) { return ShowSubnetMask(); }},
    {Operation::SetSubnetMask, [](const Selection& s) { return SetSubnetMask(s.argv[2]); }},
    {Operation::ShowDhcpState, [](const Selection&) { return ShowDhcpState(); }},
    {Operation::SetDhcp, [](const Selection& s) { return SetDhcp(s.flag); }},
    {Operation::ShowGateway, [](const Selection&) { return ShowGateway(); }},
    {Operation::SetGateway, [](const Selection& s) { return SetGateway(s.argv[2]); }},
    {Operation::SetGratuitousArp, [](const Selection& s) { return SetGratuitousArp(s.flag); }},
    {Operation::ShowVlanState, [](const Selection&) { return ShowVlanState(); }},
    {Operation::SetVlan, [](const Selection& s) { return SetVlan(s.flag, s.number[0]); }},
};

}  // namespace

OperationRunner FindOperation(Operation operation) {
  for (const OperationEntry& entry : kOperationTable) {
    if (entry.operation == operation) return entry.run;
  }
  return nullptr;
}

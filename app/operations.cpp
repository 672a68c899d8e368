#include "app/operations.hpp"

#include "controller/fan_mode.hpp"
#include "controller/firmware_version.hpp"
#include "controller/reset.hpp"
#include "controller/self_test.hpp"
#include "lan/lan_address.hpp"
#include "lan/vlan_arp.hpp"
#include "transport/raw_request.hpp"
#include "users/user_accounts.hpp"

namespace {

struct OperationEntry {
  Operation operation;
  OperationRunner run;
};

constexpr OperationEntry kOperationTable[] = {
    {Operation::RawRequest, [](const Selection& s) { return RawRequest(s.argc, s.argv + 2); }},
    {Operation::ShowFirmwareVersion, [](const Selection&) { return ShowFirmwareVersion(); }},
    {Operation::ColdResetBmc, [](const Selection&) { return ColdResetBmc(); }},
    {Operation::FactoryDefault, [](const Selection&) { return FactoryDefault(); }},
    {Operation::FactoryDefaultCleanLan, [](const Selection&) { return FactoryDefaultCleanLan(); }},
    {Operation::FactoryDefaultCleanFruLan, [](const Selection&) { return FactoryDefaultCleanFruLan(); }},
    {Operation::ShowFanMode, [](const Selection&) { return ShowFanMode(); }},
    {Operation::SetFanMode, [](const Selection& s) { return SetFanMode(static_cast<uint8_t>(s.number[0])); }},
    {Operation::ListUsers, [](const Selection&) { return ListUsers(); }},
    {Operation::ShowPrivilegeCodes, [](const Selection&) { return ShowPrivilegeCodes(); }},
    {Operation::DeleteUser, [](const Selection& s) { return DeleteUser(static_cast<uint8_t>(s.number[0])); }},
    {Operation::SetUserLevel,
     [](const Selection& s) {
       return SetUserLevel(static_cast<uint8_t>(s.number[0]), static_cast<uint8_t>(s.number[1]));
     }},
    {Operation::SetUserPassword,
     [](const Selection& s) { return SetUserPasswordCommand(static_cast<uint8_t>(s.number[0]), s.argv[4]); }},
    {Operation::AddUser,
     [](const Selection& s) {
       return AddUser(static_cast<uint8_t>(s.number[0]), s.argv[4], s.argv[5], static_cast<uint8_t>(s.number[1]));
     }},
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

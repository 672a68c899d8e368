// The system interface as the host's operating system sees it: what an IPMI
// driver asks while it starts and as it serves events (global enables,
// message flags, the event message buffer, the device GUID and the channels).
#include "sim/bmc_model.hpp"
#include "sim/controller_state.hpp"
#include "sim/handler.hpp"

namespace {

constexpr uint8_t kNetFnApp = 0x06;
constexpr uint8_t kCmdGetDeviceGuid = 0x08;
constexpr uint8_t kCmdSetBmcGlobalEnables = 0x2E;
constexpr uint8_t kCmdGetBmcGlobalEnables = 0x2F;
constexpr uint8_t kCmdClearMessageFlags = 0x30;
constexpr uint8_t kCmdGetMessageFlags = 0x31;
constexpr uint8_t kCmdReadEventMessageBuffer = 0x35;
constexpr uint8_t kCmdGetChannelInfo = 0x42;

// Global enable bits 3:0; bit 4 is reserved, bits 7:5 are OEM enables this BMC
// does not have.
constexpr uint8_t kGlobalEnablesImplemented = 0x0F;
// Read Event Message Buffer: nothing in the buffer (IPMI 2.0 section 22.8).
constexpr uint8_t kCcBufferEmpty = 0x80;

// Get Channel Info (IPMI 2.0 section 22.24, tables 6-3 to 6-5).
constexpr uint8_t kChannelNumberMask = 0x0F;
constexpr uint8_t kCurrentChannel = 0x0E;
constexpr uint8_t kSystemInterfaceChannel = 0x0F;
constexpr uint8_t kIpmiIana[] = {0xF2, 0x1B, 0x00};  // 7154, least significant byte first
// The system interface's interrupts: assigned by ACPI (QEMU describes the KCS
// interface there).
constexpr uint8_t kInterruptAssignedByAcpi = 0x60;

struct Channel {
  uint8_t number;
  uint8_t medium;    // 01h IPMB, 04h 802.3 LAN, 0Ch system interface
  uint8_t protocol;  // 01h IPMB-1.0, 05h KCS
  uint8_t sessions;  // bits 7:6: 00b session-less, 10b multi-session
  uint8_t auxiliary[2];
};

constexpr Channel kChannels[] = {
    {0x00, 0x01, 0x01, 0x00, {0x00, 0x00}},
    {0x01, 0x04, 0x01, 0x80, {0x00, 0x00}},
    {kSystemInterfaceChannel, 0x0C, 0x05, 0x00, {kInterruptAssignedByAcpi, kInterruptAssignedByAcpi}},
};

// This BMC has one GUID and gives it for the system and for itself.
IpmiReply GetDeviceGuid(BmcModel& bmc, const IpmiMessage&) { return Reply(bmc.State().systemGuid); }

IpmiReply SetBmcGlobalEnables(BmcModel& bmc, const IpmiMessage& request) {
  if (request.data.size() != 1) return Refuse(kSimCcRequestDataLengthInvalid);
  if ((request.data[0] & ~kGlobalEnablesImplemented) != 0) return Refuse(kSimCcInvalidDataField);
  bmc.State().controller.globalEnables = request.data[0];
  return Reply({});
}

IpmiReply GetBmcGlobalEnables(BmcModel& bmc, const IpmiMessage&) {
  return Reply({bmc.State().controller.globalEnables});
}

// No message queue, watchdog or OEM flag is ever set here: clearing any is
// accepted, and none is reported.
IpmiReply ClearMessageFlags(BmcModel&, const IpmiMessage& request) {
  if (request.data.size() != 1) return Refuse(kSimCcRequestDataLengthInvalid);
  return Reply({});
}

IpmiReply GetMessageFlags(BmcModel&, const IpmiMessage&) { return Reply({0x00}); }

IpmiReply ReadEventMessageBuffer(BmcModel&, const IpmiMessage&) { return Refuse(kCcBufferEmpty); }

IpmiReply GetChannelInfo(BmcModel&, const IpmiMessage& request) {
  if (request.data.size() != 1) return Refuse(kSimCcRequestDataLengthInvalid);
  uint8_t number = request.data[0] & kChannelNumberMask;
  // Requests come in through the system interface.
  if (number == kCurrentChannel) number = kSystemInterfaceChannel;
  for (const Channel& channel : kChannels) {
    if (channel.number != number) continue;
    return Reply({channel.number, channel.medium, channel.protocol, channel.sessions, kIpmiIana[0], kIpmiIana[1],
                  kIpmiIana[2], channel.auxiliary[0], channel.auxiliary[1]});
  }
  return Refuse(kSimCcInvalidDataField);
}

constexpr HandlerEntry kInterfaceHandlers[] = {
    {kNetFnApp, kCmdGetDeviceGuid, 0, GetDeviceGuid},
    {kNetFnApp, kCmdSetBmcGlobalEnables, 1, SetBmcGlobalEnables},
    {kNetFnApp, kCmdGetBmcGlobalEnables, 0, GetBmcGlobalEnables},
    {kNetFnApp, kCmdClearMessageFlags, 1, ClearMessageFlags},
    {kNetFnApp, kCmdGetMessageFlags, 0, GetMessageFlags},
    {kNetFnApp, kCmdReadEventMessageBuffer, 0, ReadEventMessageBuffer},
    {kNetFnApp, kCmdGetChannelInfo, 1, GetChannelInfo},
};

}  // namespace

std::span<const HandlerEntry> InterfaceHandlers() { return kInterfaceHandlers; }

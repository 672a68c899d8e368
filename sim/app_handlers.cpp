// Application network function: device identity.
#include "sim/bmc_model.hpp"
#include "sim/handler.hpp"

namespace {

constexpr uint8_t kNetFnApp = 0x06;
constexpr uint8_t kCmdGetDeviceId = 0x01;
constexpr uint8_t kCmdGetSystemGuid = 0x37;

IpmiReply GetDeviceId(BmcModel& bmc, const IpmiMessage&) { return Reply(bmc.State().deviceId); }

IpmiReply GetSystemGuid(BmcModel& bmc, const IpmiMessage&) { return Reply(bmc.State().systemGuid); }

constexpr HandlerEntry kAppHandlers[] = {
    {kNetFnApp, kCmdGetDeviceId, 0, GetDeviceId},
    {kNetFnApp, kCmdGetSystemGuid, 0, GetSystemGuid},
};

}  // namespace

std::span<const HandlerEntry> AppHandlers() { return kAppHandlers; }

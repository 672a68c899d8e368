// Application network function: device identity.
#include "sim/bmc_model.hpp"
#include "sim/handler.hpp"

namespace {

constexpr uint8_t kNetFnApp = 0x06;
constexpr uint8_t kCmdGetDeviceId = 0x01;
constexpr uint8_t kCmdGetSelfTestResults = 0x04;
constexpr uint8_t kCmdGetSystemGuid = 0x37;

IpmiReply GetDeviceId(BmcModel& bmc, const IpmiMessage&) { return Reply(bmc.State().deviceId); }

IpmiReply GetSystemGuid(BmcModel& bmc, const IpmiMessage&) { return Reply(bmc.State().systemGuid); }

IpmiReply GetSelfTestResults(BmcModel& bmc, const IpmiMessage&) { return Reply(bmc.State().selfTest); }

constexpr HandlerEntry kAppHandlers[] = {
    {kNetFnApp, kCmdGetDeviceId, 0, GetDeviceId},
    {kNetFnApp, kCmdGetSystemGuid, 0, GetSystemGuid},
    {kNetFnApp, kCmdGetSelfTestResults, 0, GetSelfTestResults},
};

}  // namespace

std::span<const HandlerEntry> AppHandlers() { return kAppHandlers; }

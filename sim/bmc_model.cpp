#include "sim/bmc_model.hpp"

#include <algorithm>
#include <utility>

namespace {

constexpr uint8_t kNetFnApp = 0x06;
constexpr uint8_t kCmdGetDeviceId = 0x01;
constexpr uint8_t kCmdGetSystemGuid = 0x37;

constexpr uint8_t kCcInvalidCommand = 0xC1;
constexpr uint8_t kCcRequestDataLengthInvalid = 0xC7;

using Handler = IpmiReply (BmcModel::*)(const IpmiMessage&);

struct HandlerEntry {
  uint8_t netFn;
  uint8_t cmd;
  size_t minDataLength;  // shorter requests get C7h before the handler runs
  Handler handle;
};

constexpr HandlerEntry kHandlers[] = {
    {kNetFnApp, kCmdGetDeviceId, 0, &BmcModel::GetDeviceId},
    {kNetFnApp, kCmdGetSystemGuid, 0, &BmcModel::GetSystemGuid},
};

IpmiReply Success(std::vector<uint8_t> data) { return IpmiReply{0x00, std::move(data)}; }

}  // namespace

BmcModel::BmcModel(Scenario scenario, const VirtualClock* clock)
    : scenario_(std::move(scenario)), clock_(clock), faultMatches_(scenario_.completionCodes.size(), 0) {}

std::optional<uint8_t> BmcModel::InjectedCompletionCode(const IpmiMessage& request) {
  // Every fault counts its own matches, so one fault never hides a request from
  // another's count; the first that fires answers.
  std::optional<uint8_t> injected;
  for (size_t i = 0; i < scenario_.completionCodes.size(); ++i) {
    const CompletionCodeFault& fault = scenario_.completionCodes[i];
    if (fault.netFn && *fault.netFn != request.netFn) continue;
    if (fault.cmd && *fault.cmd != request.cmd) continue;
    const unsigned match = ++faultMatches_[i];
    if (!injected && (fault.nth == 0 || fault.nth == match)) injected = fault.completionCode;
  }
  return injected;
}

std::optional<std::vector<uint8_t>> BmcModel::HandleFrame(std::span<const uint8_t> frame) {
  IpmiMessage request;
  if (!IpmiMessage::FromFrame(frame, &request)) return std::nullopt;
  requestLog_.push_back(request);

  if (const std::optional<uint8_t> injected = InjectedCompletionCode(request)) {
    return ResponseFrame(request, IpmiReply{*injected, {}});
  }
  const auto* entry = std::find_if(std::begin(kHandlers), std::end(kHandlers), [&](const HandlerEntry& e) {
    return e.netFn == request.netFn && e.cmd == request.cmd;
  });
  if (entry == std::end(kHandlers)) return ResponseFrame(request, IpmiReply{kCcInvalidCommand, {}});
  if (request.data.size() < entry->minDataLength) {
    return ResponseFrame(request, IpmiReply{kCcRequestDataLengthInvalid, {}});
  }
  return ResponseFrame(request, (this->*entry->handle)(request));
}

IpmiReply BmcModel::GetDeviceId(const IpmiMessage&) { return Success(scenario_.state.deviceId); }

IpmiReply BmcModel::GetSystemGuid(const IpmiMessage&) { return Success(scenario_.state.systemGuid); }

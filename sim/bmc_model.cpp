#include "sim/bmc_model.hpp"

#include <algorithm>
#include <utility>

#include "sim/handler.hpp"

namespace {

// Every group of commands the BMC implements.
std::span<const HandlerEntry> (*const kHandlerTables[])() = {
    AppHandlers, InterfaceHandlers, LanHandlers,    ControllerHandlers, UserHandlers,
    SdrHandlers, SelHandlers,       SensorHandlers, FruHandlers,
};

const HandlerEntry* FindHandler(uint8_t netFn, uint8_t cmd) {
  for (const auto table : kHandlerTables) {
    for (const HandlerEntry& entry : table()) {
      if (entry.netFn == netFn && entry.cmd == cmd) return &entry;
    }
  }
  return nullptr;
}

}  // namespace

BmcModel::BmcModel(Scenario scenario, const VirtualClock* clock)
    : scenario_(std::move(scenario)), clock_(clock), faultMatches_(scenario_.completionCodes.size(), 0) {}

void BmcModel::StartRestart() { restartStartedAt_ = clock_->NowMicroseconds(); }

bool BmcModel::Answering() const {
  if (!restartStartedAt_) return true;
  const ControllerState& controller = scenario_.state.controller;
  if (controller.restartNeverEnds) return false;
  constexpr uint64_t kMicrosecondsPerSecond = 1000000;
  return clock_->NowMicroseconds() - *restartStartedAt_ >= uint64_t{controller.restartSeconds} * kMicrosecondsPerSecond;
}

std::optional<uint8_t> BmcModel::InjectedCompletionCode(const IpmiMessage& request) {
  // Every fault counts its own matches, so one fault never hides a request from
  // another's count; the first that fires answers.
  std::optional<uint8_t> injected;
  for (size_t i = 0; i < scenario_.completionCodes.size(); ++i) {
    const CompletionCodeFault& fault = scenario_.completionCodes[i];
    if (fault.netFn && *fault.netFn != request.netFn) continue;
    if (fault.cmd && *fault.cmd != request.cmd) continue;
    if (request.data.size() < fault.dataPrefix.size() ||
        !std::equal(fault.dataPrefix.begin(), fault.dataPrefix.end(), request.data.begin())) {
      continue;
    }
    const unsigned match = ++faultMatches_[i];
    if (!injected && (fault.nth == 0 || fault.nth == match)) injected = fault.completionCode;
  }
  return injected;
}

std::optional<std::vector<uint8_t>> BmcModel::HandleFrame(std::span<const uint8_t> frame) {
  IpmiMessage request;
  if (!IpmiMessage::FromFrame(frame, &request)) return std::nullopt;
  // A restarting BMC takes no request: it is neither logged nor answered.
  if (!Answering()) return std::nullopt;
  requestLog_.push_back(request);

  if (const std::optional<uint8_t> injected = InjectedCompletionCode(request)) {
    return ResponseFrame(request, IpmiReply{*injected, {}});
  }
  const HandlerEntry* entry = FindHandler(request.netFn, request.cmd);
  if (entry == nullptr) return ResponseFrame(request, Refuse(kSimCcInvalidCommand));
  if (request.data.size() < entry->minDataLength) {
    return ResponseFrame(request, Refuse(kSimCcRequestDataLengthInvalid));
  }
  return ResponseFrame(request, entry->handle(*this, request));
}

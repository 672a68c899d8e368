#include "controller/reset.hpp"

#include "controller/controller_commands.hpp"
#include "controller/identify.hpp"
#include "platform/platform.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi.hpp"

namespace {

constexpr const char kIdentifyFailure[] = "Failed to get IPMI firmware reverison";

constexpr FactoryDefaultRequest kFactoryDefault = {kNetFnOemController, kCmdOemFactoryDefault, {}, 0};
constexpr FactoryDefaultRequest kFactoryDefaultCleanFruLan = {kNetFnOemController, kCmdOemFactoryDefaultClean, {}, 0};

// The restart wait: one-second steps, silent for the first 60 (the BMC is still
// restarting), then probed once per step; a line break after the 80th dot.
constexpr int kRestartSteps = 100;
constexpr int kFirstProbeStep = 60;
constexpr int kDotsPerLine = 40;
constexpr uint32_t kStepMicroseconds = 1000000;
constexpr uint8_t kNotProbed = 0xFF;

int FinishRequest(bool waitAfterReset) { return waitAfterReset ? WaitForBmcRestart() : kStatusSuccess; }

int SendFactoryDefault(const FactoryDefaultRequest& request, bool waitAfterReset) {
  if (IpmiCommand(request.netFn, request.cmd, request.Data()) != kCcSuccess) {
    Printf("Failed to reset the BMC to the factory default.\n");
    return kStatusFailed;
  }
  Printf("Reset to the factory default completed.\n");
  return FinishRequest(waitAfterReset);
}

// Factory defaults run only on an identified controller: its family, or the
// failure line and false.
bool Identify(uint8_t* bmcType) {
  const uint8_t cc = IdentifyBmc(bmcType);
  if (cc == kCcSuccess) return true;
  ReportFailure(kIdentifyFailure, cc);
  return false;
}

}  // namespace

int ColdResetBmc(bool waitAfterReset) {
  const uint8_t cc = IpmiCommand(kNetFnApp, kCmdColdReset);
  if (cc != kCcSuccess) return ReportFailure("Failed to perform BMC cold reset", cc);
  Printf("BMC cold reset successfully completed!\n");
  return FinishRequest(waitAfterReset);
}

int FactoryDefault(bool waitAfterReset) {
  uint8_t bmcType = kBmcTypeNone;
  if (!Identify(&bmcType)) return kStatusFailed;
  return SendFactoryDefault(kFactoryDefault, waitAfterReset);
}

int FactoryDefaultCleanFruLan(bool waitAfterReset) {
  uint8_t bmcType = kBmcTypeNone;
  if (!Identify(&bmcType)) return kStatusFailed;
  return SendFactoryDefault(kFactoryDefaultCleanFruLan, waitAfterReset);
}

int FactoryDefaultCleanLan(bool waitAfterReset) {
  uint8_t bmcType = kBmcTypeNone;
  if (!Identify(&bmcType)) return kStatusFailed;
  if (const ControllerFamily* family = FindControllerFamily(bmcType)) {
    return SendFactoryDefault(*family->cleanLanRequest, waitAfterReset);
  }
  Printf("Reset to factory default function does not support IPMI 1.5.\n");
  return kStatusUnsupported;
}

int WaitForBmcRestart() {
  Printf("Please wait a few minutes for the BMC to restart.\n");
  uint8_t probe = kNotProbed;
  for (int step = 0; step < kRestartSteps; ++step) {
    if (step >= kFirstProbeStep) {
      uint8_t bmcType = kBmcTypeNone;
      probe = IdentifyBmc(&bmcType);
      if (probe == kCcSuccess) {
        Printf("\n");
        break;
      }
      if (step % kDotsPerLine == 0) Printf("\n");
    }
    Printf(".");
    StallMicroseconds(kStepMicroseconds);
  }
  if (probe == kCcSuccess) {
    Printf("Done.\n");
    return kStatusSuccess;
  }
  Printf("Does not detect IPMI device.\n");
  return kStatusFailed;
}

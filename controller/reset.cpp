#include "controller/reset.hpp"

#include "controller/controller_commands.hpp"
#include "controller/identify.hpp"
#include "platform/platform.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

bool waitAfterReset;

namespace {

constexpr const char kIdentifyFailedFormat[] = "Failed to get IPMI firmware reverison, Completion Code=%02Xh\n";

constexpr FactoryDefaultRequest kFactoryDefault = {kNetFnOemController, kCmdOemFactoryDefault, {}, 0};
constexpr FactoryDefaultRequest kFactoryDefaultCleanFruLan = {kNetFnOemController, kCmdOemFactoryDefaultClean, {}, 0};

// The restart wait: one-second steps, silent for the first 60 (the BMC is still
// restarting), then probed once per step; a line break after the 80th dot.
constexpr int kRestartSteps = 100;
constexpr int kFirstProbeStep = 60;
constexpr int kDotsPerLine = 40;
constexpr uint32_t kStepMicroseconds = 1000000;
constexpr uint8_t kNotProbed = 0xFF;

int FinishRequest() { return waitAfterReset ? WaitForBmcRestart() : kStatusSuccess; }

int SendFactoryDefault(const FactoryDefaultRequest& request) {
  if (IpmiCommand(request.netFn, request.cmd, request.Data()) != kCcSuccess) {
    Printf("Failed to reset the BMC to the factory default.\n");
    return kStatusFailed;
  }
  Printf("Reset to the factory default completed.\n");
  return FinishRequest();
}

// Factory defaults run only on an identified controller.
bool Identify() {
  const uint8_t cc = IdentifyBmc();
  if (cc == kCcSuccess) return true;
  Printf(kIdentifyFailedFormat, cc);
  return false;
}

}  // namespace

int ColdResetBmc() {
  const uint8_t cc = IpmiCommand(kNetFnApp, kCmdColdReset);
  if (cc != kCcSuccess) {
    Printf("Failed to perform BMC cold reset, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  Printf("BMC cold reset successfully completed!\n");
  return FinishRequest();
}

int FactoryDefault() {
  if (!Identify()) return kStatusFailed;
  return SendFactoryDefault(kFactoryDefault);
}

int FactoryDefaultCleanFruLan() {
  if (!Identify()) return kStatusFailed;
  return SendFactoryDefault(kFactoryDefaultCleanFruLan);
}

int FactoryDefaultCleanLan() {
  if (!Identify()) return kStatusFailed;
  if (const ControllerFamily* family = FindControllerFamily(BmcType)) {
    return SendFactoryDefault(*family->cleanLanRequest);
  }
  Printf("Reset to factory default function does not support IPMI 1.5.\n");
  return kStatusUnsupported;
}

int WaitForBmcRestart() {
  Printf("Please wait a few minutes for the BMC to restart.\n");
  uint8_t probe = kNotProbed;
  for (int step = 0; step < kRestartSteps; ++step) {
    if (step >= kFirstProbeStep) {
      probe = IdentifyBmc();
      if (probe == kCcSuccess) {
        Printf("\n");
        break;
      }
      if (step % kDotsPerLine == 0) Printf("\n");
    }
    Printf(".");
    StallMicroseconds(kStepMicroseconds);
  }
  waitAfterReset = false;
  if (probe == kCcSuccess) {
    Printf("Done.\n");
    return kStatusSuccess;
  }
  Printf("Does not detect IPMI device.\n");
  return kStatusFailed;
}

#include "controller/reset.hpp"

#include "app/exit_status.hpp"
#include "app/switches.hpp"
#include "controller/identify.hpp"
#include "platform/platform.hpp"
#include "support/format.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

constexpr const char kIdentifyFailedFormat[] = "Failed to get IPMI firmware reverison, Completion Code=%02Xh\n";

// One factory-default request: network function, command and its data.
struct FactoryDefaultRequest {
  uint8_t netFn;
  uint8_t cmd;
  uint8_t data[9];
  uint8_t dataLength;
};

constexpr FactoryDefaultRequest kFactoryDefault = {kNetFnOemController, kCmdOemFactoryDefault, {}, 0};
constexpr FactoryDefaultRequest kFactoryDefaultCleanFruLan = {kNetFnOemController, kCmdOemFactoryDefaultClean, {}, 0};
// Cleaning only the LAN settings: the request differs by controller family.
constexpr uint8_t kCleanLanOnly = 0x01;
constexpr FactoryDefaultRequest kCleanLanByCleanCommand = {
    kNetFnOemController, kCmdOemFactoryDefaultClean, {kCleanLanOnly}, 1};
constexpr FactoryDefaultRequest kCleanLanByOwnCommand = {kNetFnOemController, kCmdOemFactoryDefaultCleanLan, {}, 0};
// OEM/Group request: IANA enterprise number 002B5Eh, least significant byte first,
// then the function bytes.
constexpr FactoryDefaultRequest kCleanLanByOemGroup = {
    kNetFnOemGroup, kCmdOemGroupFactoryDefault, {0x5E, 0x2B, 0x00, 0x0A, 0x01, 0xFF, 0x00, 0x00, 0x00}, 9};

struct CleanLanChoice {
  uint8_t bmcType;
  const FactoryDefaultRequest* request;
};
constexpr CleanLanChoice kCleanLanRequests[] = {
    {2, &kCleanLanByOemGroup},     {3, &kCleanLanByOwnCommand},   {4, &kCleanLanByOwnCommand},
    {5, &kCleanLanByOwnCommand},   {6, &kCleanLanByOwnCommand},   {7, &kCleanLanByOwnCommand},
    {8, &kCleanLanByOwnCommand},   {9, &kCleanLanByOwnCommand},   {10, &kCleanLanByCleanCommand},
    {11, &kCleanLanByCleanCommand}, {12, &kCleanLanByCleanCommand}, {13, &kCleanLanByOwnCommand},
    {14, &kCleanLanByOwnCommand},  {15, &kCleanLanByCleanCommand},
};

// The restart wait: one-second steps, silent for the first 60 (the BMC is still
// restarting), then probed once per step; a line break after the 80th dot.
constexpr int kRestartSteps = 100;
constexpr int kFirstProbeStep = 60;
constexpr int kDotsPerLine = 40;
constexpr uint32_t kStepMicroseconds = 1000000;
constexpr uint8_t kNotProbed = 0xFF;

int FinishRequest() { return waitAfterReset ? WaitForBmcRestart() : kStatusSuccess; }

int SendFactoryDefault(const FactoryDefaultRequest& request) {
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  if (IpmiRequest(kBmcSlaveAddress, request.netFn, request.cmd, request.data, request.dataLength, response, &count) !=
      kCcSuccess) {
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
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t cc = IpmiRequest(kBmcSlaveAddress, kNetFnApp, kCmdColdReset, nullptr, 0, response, &count);
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
  for (const CleanLanChoice& choice : kCleanLanRequests) {
    if (choice.bmcType == BmcType) return SendFactoryDefault(*choice.request);
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

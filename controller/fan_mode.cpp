#include "controller/fan_mode.hpp"

#include "controller/controller_commands.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi.hpp"

namespace {

// Functions of the fan-mode OEM command (first request data byte).
constexpr uint8_t kFanGetCurrentMode = 0x00;
constexpr uint8_t kFanSetMode = 0x01;
constexpr uint8_t kFanGetSupportedModes = 0x02;

// A supported-mode reply that is not exactly one byte, or is FFh, does not say
// which modes there are: all of them are listed.
constexpr uint8_t kAllModes = 0xFF;
constexpr uint32_t kSupportedModesReplyLength = 1;

struct FanMode {
  const char* name;      // in the current-mode line
  const char* listLine;  // in the mode list
};
// Indexed by mode number; bit n of the supported-mode mask is mode n.
constexpr FanMode kFanModes[] = {
    {"Standard", "0:Standard\n"},
    {"Full", "1:Full\n"},
    {"Optimal", "2:Optimal\n"},
    {"PUE(Power Utilization Effectiveness) Optimal", "3:PUE(Power Utilization Effectiveness) Optimal\n"},
    {"Heavy IO speed", "4:Heavy IO\n"},
};
constexpr uint32_t kFanModeCount = sizeof kFanModes / sizeof kFanModes[0];

}  // namespace

int ShowFanMode() {
  const uint8_t request[] = {kFanGetCurrentMode};
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnOemController, kCmdOemFanMode, request, &reply);
  ByteReader reader = reply.Reader();
  const uint8_t mode = reader.Byte();
  const uint8_t result = DecodedResult(cc, reader);
  if (result != kCcSuccess) return ReportFailure("Failed to get fan speed mode", result);
  // A mode the table does not know has no name.
  const char* name = mode < kFanModeCount ? kFanModes[mode].name : "";
  Printf("Current Fan Speed Mode is [ %s Mode ]\n\n", name);
  ListFanModes();
  return kStatusSuccess;
}

void ListFanModes() {
  const uint8_t request[] = {kFanGetSupportedModes};
  IpmiResponse reply;
  uint8_t mask = kAllModes;
  if (IpmiExchange(kNetFnOemController, kCmdOemFanMode, request, &reply) == kCcSuccess &&
      reply.count == kSupportedModesReplyLength) {
    mask = reply.data[0];
  }
  Printf("%s", mask == kAllModes ? "Fan Modes:\n" : "Supported Fan modes:\n");
  for (uint32_t mode = 0; mode < kFanModeCount; ++mode) {
    if ((mask >> mode) & 1u) Printf("%s", kFanModes[mode].listLine);
  }
}

int SetFanMode(uint8_t mode) {
  const uint8_t request[] = {kFanSetMode, mode};
  const uint8_t cc = IpmiCommand(kNetFnOemController, kCmdOemFanMode, request);
  if (cc != kCcSuccess) return ReportFailure("Failed to set fan speed mode", cc);
  Printf("Done.\n");
  return kStatusSuccess;
}

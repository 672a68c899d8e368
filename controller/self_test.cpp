#include "controller/self_test.hpp"

#include "controller/controller_commands.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "transport/ipmi.hpp"
#include "transport/ipmi_defs.hpp"

namespace {

// Get Self Test Results always carries the result code and its detail byte
// (IPMI 2.0 section 20.4).
constexpr uint32_t kSelfTestResponseBytes = 2;

constexpr uint8_t kSelfTestPassed = 0x55;
constexpr uint8_t kSelfTestNotImplemented = 0x56;
constexpr uint8_t kSelfTestCorrupted = 0x57;
constexpr uint8_t kSelfTestFatal = 0x58;
constexpr uint8_t kSelfTestNotAvailable = 0xFF;

struct ResultText {
  uint8_t code;
  const char* line;
  bool showsFailureCode;
};
constexpr ResultText kResultTexts[] = {
    {kSelfTestPassed, "Selftest: Passed.\n", false},
    {kSelfTestNotImplemented, "Selftest: Not implemented.\n", false},
    {kSelfTestCorrupted, "Selftest: Device corrupted.\n", false},
    {kSelfTestFatal, "Selftest: Fatal error.\n", true},
    {kSelfTestNotAvailable, "Selftest: N/A.\n", false},
};
constexpr ResultText kDeviceSpecific = {0, "Selftest: Device specific.\n", true};

// Detail bits of result 57h, bit 7 first.
constexpr const char* kCorruptionLines[8] = {
    " -> SEL device not accessible.\n",
    " -> SDR repository not accessible.\n",
    " -> FRU device not accessible.\n",
    " -> IPMB signal lines do not respond.\n",
    " -> SDR repository empty.\n",
    " -> Internal Use Area corrupted.\n",
    " -> Controller update boot block corrupted.\n",
    " -> Controller operational firmware corrupted.\n",
};

}  // namespace

void PrintSelfTestResult(const uint8_t* response) {
  const ResultText* result = &kDeviceSpecific;
  for (const ResultText& entry : kResultTexts) {
    if (entry.code == response[0]) result = &entry;
  }
  Printf("%s", result->line);
  if (result->showsFailureCode) Printf("Failure code: %02Xh.\n", response[1]);
  if (response[0] == kSelfTestCorrupted) {
    for (unsigned bit = 0; bit < 8; ++bit) {
      if ((response[1] & (0x80u >> bit)) != 0) Printf("%s", kCorruptionLines[bit]);
    }
  }
}

int ShowSelfTest() {
  uint8_t response[kKcsMaxResponseData];
  uint32_t count = 0;
  const uint8_t cc =
      IpmiRequestForData(kNetFnApp, kCmdGetSelfTestResults, {}, response, &count, kSelfTestResponseBytes);
  if (cc != kCcSuccess) {
    Printf("Failed to get self test result, Completion Code=%02Xh\n", cc);
    return kStatusFailed;
  }
  PrintSelfTestResult(response);
  return kStatusSuccess;
}

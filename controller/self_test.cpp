#include "controller/self_test.hpp"

#include "controller/controller_commands.hpp"
#include "support/exit_status.hpp"
#include "support/format.hpp"
#include "support/report.hpp"
#include "transport/ipmi.hpp"

namespace {

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

void PrintSelfTestResult(const SelfTestResult& result) {
  const ResultText* text = &kDeviceSpecific;
  for (const ResultText& entry : kResultTexts) {
    if (entry.code == result.code) text = &entry;
  }
  Printf("%s", text->line);
  if (text->showsFailureCode) Printf("Failure code: %02Xh.\n", result.detail);
  if (result.code == kSelfTestCorrupted) {
    for (unsigned bit = 0; bit < 8; ++bit) {
      if ((result.detail & (0x80u >> bit)) != 0) Printf("%s", kCorruptionLines[bit]);
    }
  }
}

int ShowSelfTest() {
  // Get Self Test Results always carries the result code and its detail byte
  // (IPMI 2.0 section 20.4).
  IpmiResponse reply;
  const uint8_t cc = IpmiExchange(kNetFnApp, kCmdGetSelfTestResults, {}, &reply);
  ByteReader reader = reply.Reader();
  const SelfTestResult result = {reader.Byte(), reader.Byte()};
  const uint8_t decoded = DecodedResult(cc, reader);
  if (decoded != kCcSuccess) return ReportFailure("Failed to get self test result", decoded);
  PrintSelfTestResult(result);
  return kStatusSuccess;
}

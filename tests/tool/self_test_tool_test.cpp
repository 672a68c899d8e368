// -selftest: every result code and detail bit in words.
#include <gtest/gtest.h>

#include "tests/tool/tool_harness.hpp"

namespace {

const char* const kBitLines[8] = {
    " -> SEL device not accessible.\n",
    " -> SDR repository not accessible.\n",
    " -> FRU device not accessible.\n",
    " -> IPMB signal lines do not respond.\n",
    " -> SDR repository empty.\n",
    " -> Internal Use Area corrupted.\n",
    " -> Controller update boot block corrupted.\n",
    " -> Controller operational firmware corrupted.\n",
};

ToolRun SelfTest(const std::string& bytes) {
  return RunTool(ScenarioFrom(R"({"selfTest": ")" + bytes + R"("})"), {"-selftest"});
}

TEST(ToolSelfTest, ResultCodes) {
  const struct {
    const char* bytes;
    std::string output;
  } cases[] = {
      {"55 00", "Selftest: Passed.\n"},
      {"55 FF", "Selftest: Passed.\n"},
      {"56 00", "Selftest: Not implemented.\n"},
      {"57 00", "Selftest: Device corrupted.\n"},
      {"57 81", std::string("Selftest: Device corrupted.\n") + kBitLines[0] + kBitLines[7]},
      {"58 0A", "Selftest: Fatal error.\nFailure code: 0Ah.\n"},
      {"FF 12", "Selftest: N/A.\n"},
      {"60 3C", "Selftest: Device specific.\nFailure code: 3Ch.\n"},
      {"00 00", "Selftest: Device specific.\nFailure code: 00h.\n"},
      {"54 FF", "Selftest: Device specific.\nFailure code: FFh.\n"},
      {"59 01", "Selftest: Device specific.\nFailure code: 01h.\n"},
      {"FE 80", "Selftest: Device specific.\nFailure code: 80h.\n"},
      {"55 00 01 02", "Selftest: Passed.\n"},  // extra bytes are not read
  };
  for (const auto& c : cases) {
    const ToolRun run = SelfTest(c.bytes);
    EXPECT_EQ(run.output, c.output) << c.bytes;
    EXPECT_EQ(run.status, 0) << c.bytes;
    EXPECT_EQ(run.requests, std::vector<std::string>{"06 04"});
  }
}

TEST(ToolSelfTest, EachCorruptionBitInOrder) {
  for (int bit = 7; bit >= 0; --bit) {
    char bytes[8];
    std::snprintf(bytes, sizeof bytes, "57 %02X", 1 << bit);
    EXPECT_EQ(SelfTest(bytes).output, std::string("Selftest: Device corrupted.\n") + kBitLines[7 - bit]) << bytes;
  }
  std::string all = "Selftest: Device corrupted.\n";
  for (const char* line : kBitLines) all += line;
  EXPECT_EQ(SelfTest("57 FF").output, all);
}

TEST(ToolSelfTest, Failures) {
  const struct {
    std::string scenario;
    std::string output;
  } cases[] = {
      {R"({"completionCodes": [{"code": "C1"}]})", "Failed to get self test result, Completion Code=C1h\n"},
      // Fewer than the two bytes every answer carries: never shown as a result.
      {R"({"selfTest": "57"})", "Failed to get self test result, Completion Code=CEh\n"},
      {R"({"selfTest": ""})", "Failed to get self test result, Completion Code=CEh\n"},
      {R"({"kcs": {"forceStateAt": "readPhase", "forcedState": "error"}})",
       "Error: KCS is under error state.\nFailed to get self test result, Completion Code=03h\n"},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(ScenarioFrom(c.scenario), {"-selftest"});
    EXPECT_EQ(run.output, c.output) << c.scenario;
    EXPECT_EQ(run.status, 11) << c.scenario;
  }
}

}  // namespace

// -raw: operands to request bytes, response to hexadecimal text.
#include <gtest/gtest.h>

#include "tests/tool/tool_harness.hpp"

namespace {

Scenario WithKcs(KcsFaults faults) {
  Scenario s = DefaultScenario();
  s.kcs = std::move(faults);
  return s;
}

Scenario Injecting(uint8_t code) {
  Scenario s = DefaultScenario();
  CompletionCodeFault fault;
  fault.completionCode = code;
  s.completionCodes.push_back(fault);
  return s;
}

Scenario Answering(std::vector<uint8_t> frame) {
  KcsFaults faults;
  faults.responseFrame = std::move(frame);
  return WithKcs(faults);
}

KcsFaults NoByteEver() {
  KcsFaults faults;
  faults.obfNeverSet = true;
  return faults;
}

TEST(ToolRawRequest, RequestsAndOutput) {
  const std::string deviceId = "20 01 01 02 02 BF 00 00 00 00 00 00 00 00 00 \n";
  const struct {
    Scenario scenario;
    std::vector<std::string> args;
    int status;
    std::string output;
    std::vector<std::string> requests;
  } cases[] = {
      {DefaultScenario(), {"-raw", "06", "01"}, 0, deviceId, {"06 01"}},
      {DefaultScenario(), {"-raw", "0x06", "0X01"}, 0, deviceId, {"06 01"}},
      {DefaultScenario(), {"-raw", "106", "001"}, 0, deviceId, {"06 01"}},
      // The network function keeps six bits in the frame: 46h arrives as 06h.
      {DefaultScenario(), {"-raw", "46", "01"}, 0, deviceId, {"06 01"}},
      // Data operands read as the NetFn and command are: zz and x6 give 00h.
      {DefaultScenario(), {"-raw", "0c", "02", "1", "3", "zz", "x6"}, 0, "11 C0 A8 00 78 \n", {"0C 02 01 03 00 00"}},
      {DefaultScenario(),
       {"-raw", "06", "7f"},
       11,
       "IPMI command not completed normally, Completion Code=C1h\n",
       {"06 7F"}},
      {Answering({0x1C, 0x01, 0x00}), {"-raw", "6", "1"}, 0, "\n", {}},
      {Injecting(0xC1),
       {"-raw", "06", "01"},
       11,
       "IPMI command not completed normally, Completion Code=C1h\n",
       {"06 01"}},
      {Injecting(0xFF),
       {"-raw", "06", "01"},
       11,
       "IPMI command not completed normally, Completion Code=FFh\n",
       {"06 01"}},
      {WithKcs(NoByteEver()),
       {"-raw", "06", "01"},
       11,
       "Error: time out.\nIPMI command not completed normally, Completion Code=03h\n",
       {"06 01"}},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(c.scenario, c.args);
    SCOPED_TRACE(c.args[1] + " " + c.args[2]);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, c.output);
    if (c.scenario.kcs.responseFrame) continue;  // the answer did not come from the model's log
    EXPECT_EQ(run.requests, c.requests);
  }
}

TEST(ToolRawRequest, DataOperandLimit) {
  std::vector<std::string> args{"-raw", "06", "52"};
  args.resize(3 + 110, "ab");
  const ToolRun fits = RunTool(args);
  ASSERT_EQ(fits.requests.size(), 1u);
  EXPECT_EQ(fits.requests[0].size(), std::string("06 52").size() + 110 * 3);

  args.push_back("ab");
  const ToolRun tooMany = RunTool(args);
  EXPECT_EQ(tooMany.status, 12);
  EXPECT_EQ(tooMany.output, "Too many data bytes: one request carries at most 110.\n");
  EXPECT_TRUE(tooMany.requests.empty());
}

TEST(ToolRawRequest, LongestResponsePrintsEveryByte) {
  std::vector<uint8_t> frame(200, 0x7E);
  frame[0] = 0x1C;
  frame[1] = 0x01;
  frame[2] = 0x00;
  const ToolRun run = RunTool(Answering(frame), {"-raw", "06", "01"});
  EXPECT_EQ(run.status, 0);
  std::string expected;
  for (int i = 0; i < 197; ++i) expected += "7E ";
  EXPECT_EQ(run.output, expected + "\n");
}

}  // namespace

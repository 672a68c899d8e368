// Whole runs of the tool through the dispatcher: what the user sees, the exit
// status, and that nothing reaches the BMC when the dispatcher ends the run.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/tool/tool_harness.hpp"

namespace {

std::string UsageText() {
  std::ifstream in(TOLVANE_TEST_DATA "/usage.txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ToolDispatch, NoCommandShowsTheSixtyOneUsageLines) {
  const ToolRun run = RunTool({});
  EXPECT_EQ(run.status, 31);
  EXPECT_EQ(run.output, UsageText());
  EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 61);
  EXPECT_TRUE(run.requests.empty());
}

TEST(ToolDispatch, DispatcherOutcomes) {
  const std::string usage = UsageText();
  const struct {
    std::vector<std::string> args;
    int status;
    std::string output;
  } cases[] = {
      {{"-M"}, 31, usage},
      {{"-ver", "now"}, 31, usage},
      {{"-vlan", "on", "0"}, 12, "Please enter an integer between 1 and 4094 inclusive for VLAN Tag.\n"},
      {{"-vlan", "on", "4095"}, 12, "Please enter an integer between 1 and 4094 inclusive for VLAN Tag.\n"},
      {{"-fan", "5"}, 12, "Invalid mode.\n"},
      {{"-fan", "-1"}, 12, "Invalid mode.\n"},
      {{"-user", "del", "x"}, 12, "Invalid parameters.\n"},
      {{"-user", "add", "1", "n", "p", "x"}, 12, "Invalid parameters.\n"},
      {{"-raw", "06"}, 31, usage},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(c.args);
    SCOPED_TRACE(c.args[0]);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.output, c.output);
    EXPECT_TRUE(run.requests.empty());
  }
}

}  // namespace

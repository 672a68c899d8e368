// Arguments of any length and any bytes: a defined result, never a crash.
#include <gtest/gtest.h>

#include "tests/tool/tool_harness.hpp"

namespace {

TEST(ToolBadInput, OddArgumentsEndInUsageOrAMessage) {
  const std::string huge(100000, 'A');
  const std::string hugeDigits(5000, '9');
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{""}, 31},
      {{"", ""}, 31},
      {{huge}, 31},
      {{"-" + huge}, 31},
      {{"-m\xc3\xa9"}, 31},
      {{"\xff\xfe\xfd"}, 31},
      {{"-vlan", "on", hugeDigits}, 12},
      {{"-vlan", "on", huge}, 31},
      {{"-fan", "\xe2\x82\xac"}, 31},
      {{"-user", "del", huge}, 12},
      {{"-sel", huge}, 31},
      {{"-fru", huge}, 31},
      {{"-fru", huge, huge}, 31},
  };
  for (const auto& c : cases) {
    const ToolRun run = RunTool(c.args);
    SCOPED_TRACE(c.args[0].substr(0, 20));
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(run.requests.empty());
  }
}

}  // namespace
